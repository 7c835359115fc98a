#pragma once
// Capture and playback as two streams: the capture side runs `audioCallback` on
// each input buffer as it arrives and queues what it composes; the playback side
// plays that, with silence where the capture side has not caught up. The
// callback sees exactly the input and order it would see in one duplex stream.
// Neither side allocates, locks or waits.

#include <cstddef>

#include "app/constants.hpp"

// The playback side keeps at most this much composed output waiting beyond what
// one call plays, so a head start of the capture side (at start-up, or after the
// playback device stalled) does not delay the tone and the playback for good.
// Room for the capture side's own bursts: over the sound servers' ALSA plugins
// it delivers several buffers at once.
inline constexpr std::size_t kRelayBacklogFrames = 8 * kFramesPerBuffer;

// Only while neither side runs.
void resetOutputRelay();
// Capture thread: any frame count; a null input is silence.
void relayCapture(const float* input, unsigned long frameCount);
// Playback thread: writes every one of the frameCount samples.
void relayPlayback(float* output, unsigned long frameCount);

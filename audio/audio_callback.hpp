#pragma once
// The per-buffer work of the audio thread: capture, block completion, output.
// Never allocates, locks, blocks or does I/O. Returns 0: the stream goes on.
//
// For every frame: the input sample joins `captureBlock`; when the block is full,
// its raw copy goes to `lastBlock`, the copy scaled by `inputGain` to the spectrum,
// and `spectrumReady` is raised; then the output sample is composed from silence,
// the reference tone and recorded playback, times `outputVolume` and 4.
// A null input counts as silence, and so does a sample that is NaN, infinite or
// beyond 1e6 in size; a null output is not written.

#include "audio/tone.hpp"

struct AudioShared;

int audioCallback(AudioShared& audio, const float* input, float* output, unsigned long frameCount);

// The same for an input the user also hears (a sound file in place of the microphone):
// each input sample is where the output starts, before the tone and playback steps.
// `input` must not be null.
int audioCallbackHeard(AudioShared& audio, const float* input, float* output, unsigned long frameCount);
// Paused input: composes the output (tone, playback) without capturing anything,
// so the block being filled waits where it is.
void composeOnly(AudioShared& audio, float* output, unsigned long frameCount);
// A sound file in place of the input device: `frameCount` frames of the file (audio/file_feed.hpp)
// through the callback, the output starting from them; while frozen the file waits and only the
// tone and playback sound. A null output is not written.
void feedFromFile(AudioShared& audio, float* output, unsigned long frameCount);
// The capture side of two streams: the callback on each buffer of `input` (any frame count; null
// is silence), what it composes queued for the playback side (audio/output_relay.hpp).
void relayCapture(AudioShared& audio, const float* input, unsigned long frameCount);

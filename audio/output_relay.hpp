#pragma once
// Capture and playback as two streams: the capture side runs `audioCallback` on
// each input buffer as it arrives and queues what it composes; the playback side
// plays that, with silence while too little of it waits (see below). The
// callback sees exactly the input and order it would see in one duplex stream.
// Neither side allocates, locks or waits.

#include <array>
#include <atomic>
#include <cstddef>

#include "core/constants.hpp"
#include "audio/sample_ring.hpp"
#include "audio/tone.hpp"

struct TunerState;

// Both sides come in bursts (several buffers back to back once a device period
// is ready, later still when the machine is busy), so the playback side keeps a
// cushion: it starts, and starts again after running dry, only once this much
// composed output waits. One gap of silence then replaces many small ones.
//
// While the reference tone sounds alone, the playback side does not wait: where the
// relay runs dry it composes the tone on itself, sample for sample as the capture
// side will, from the tone's state at the last sample it played, and drops as many
// of the composed samples when they come. Only a request changed in between (the
// button let go, another key) can make the two differ; then the composed output
// fades in over kRelayFadeFrames. Carrying on stops after kRelayCarryFrames: the rest
// is a gap as before, and what the capture side composed meanwhile fades in after it.
inline constexpr std::size_t kRelayCushionFrames = 4 * kFramesPerBuffer;
// Longer than any stall the capture side's own buffer outlasts without losing input.
inline constexpr std::size_t kRelayCarryFrames = 16 * kFramesPerBuffer;  // 186 ms
inline constexpr std::size_t kRelayFadeFrames = 128;                     // 2.9 ms
// Above this much waiting output the oldest goes, down to the cushion, so a head
// start of the capture side does not delay the tone and the playback for good.
inline constexpr std::size_t kRelayHighFrames = kRelayCushionFrames + 8 * kFramesPerBuffer;

// The least output found waiting by a playback call that played from the ring, over
// each stretch of this many frames of playback (the last stretch takes the rest).
inline constexpr std::size_t kFillWindowFrames = 10 * static_cast<std::size_t>(kSampleRate);
inline constexpr std::size_t kFillWindows = 64;
inline constexpr unsigned long long kNoFill = ~0ull;  // no such call in the stretch

// Frame counts since the last reset, for the start-up and shutdown report.
struct RelayCounts {
  unsigned long long captured = 0;
  unsigned long long played = 0;
  unsigned long long silent = 0;   // played as silence: the capture side had not delivered
  unsigned long long gaps = 0;     // playback calls that played some silence
  unsigned long long dropped = 0;  // composed but never played
  unsigned long long carried = 0;  // played as the tone carried on by the playback side
  unsigned long long carries = 0;  // times the relay ran dry with the tone carried on
  std::array<unsigned long long, kFillWindows> leastFill{};  // per stretch, or kNoFill
};

inline constexpr std::size_t kRelayRingFrames = 16384;  // above the high mark plus a capture burst
inline constexpr std::size_t kToneMarks = 64;            // more buffers than the sample ring holds

// Where the tone stood after a composed buffer: `at` counts every sample ever queued
// in the ring before that point.
struct ToneMark {
  std::size_t at = 0;
  ToneVoice voice;
  bool alone = false;  // the tone is all that sounds: no recorded playback
};

struct OutputRelay {
  SampleRing<kRelayRingFrames> composedOutput;
  SampleRing<kToneMarks, ToneMark> toneMarks;
  float composed[kFramesPerBuffer] = {};  // capture thread only
  std::size_t queued = 0;                 // capture thread only: samples ever queued

  // Playback thread only.
  bool priming = true;      // waiting for the cushion
  std::size_t taken = 0;    // samples ever taken off the ring, played or dropped
  ToneMark latest;          // the newest mark at or before `taken`
  ToneMark next;            // a mark read ahead of `taken`, while `nextRead`
  bool nextRead = false;
  ToneVoice carrying;       // the tone carried on, while `owed` > 0
  std::size_t owed = 0;     // samples played ahead of the ring, to drop as they come
  bool carriedOut = false;  // the carry ran past kRelayCarryFrames into silence
  std::size_t fading = 0;   // samples left of the fade from the carried tone to the composed output
  float ours[kFramesPerBuffer] = {};     // the carried tone under a fade
  float skipped[kFramesPerBuffer] = {};  // the carried tone brought up to the ring's place

  // Written by one side each, read by the report.
  std::atomic<unsigned long long> captured{0}, played{0}, silent{0}, gaps{0}, dropped{0}, carried{0}, carries{0};
  std::array<std::atomic<unsigned long long>, kFillWindows> leastFill;  // written by the playback side
};

// Only while neither side runs.
void resetOutputRelay(OutputRelay& relay);
RelayCounts outputRelayCounts(const OutputRelay& relay);
// Capture thread: one buffer the callback composed (at most kFramesPerBuffer samples), queued
// for the playback side with the tone's state after it.
void queueComposed(OutputRelay& relay, const TunerState& record, const float* samples, std::size_t count);
// Playback thread: writes every one of the frameCount samples.
void relayPlayback(OutputRelay& relay, const TunerState& record, float* output, unsigned long frameCount);

#pragma once
// A copy of every input sample the callback captures, for a recording of the
// session: the audio thread pushes into a lock-free ring, a writer thread takes.
// When the ring is full the newest samples are dropped and counted; the audio
// thread never waits.

#include <atomic>
#include <cstddef>

#include "audio/sample_ring.hpp"

inline constexpr std::size_t kTapRingFrames = std::size_t{1} << 18;  // 5.9 s at 44100 Hz

struct InputTap {
  SampleRing<kTapRingFrames> tapped;
  std::atomic<bool> on{false};
  std::atomic<unsigned long long> dropped{0};  // written by the audio thread only
};

// Main thread, while no callback runs: empties the ring, zeroes the count, turns the tap on.
void startInputTap(InputTap& tap);
// Main thread, once no callback runs any more: turns the tap off; what waits can still be taken.
void stopInputTap(InputTap& tap);
// Audio thread: copies `frameCount` input samples (a null input is silence) while the tap is on.
void tapInput(InputTap& tap, const float* input, unsigned long frameCount);
// Writer thread: takes up to `count` samples, oldest first; returns how many.
std::size_t takeTapped(InputTap& tap, float* samples, std::size_t count);
// Samples lost to a full ring since the tap was started.
unsigned long long tapDropped(const InputTap& tap);

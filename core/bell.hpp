#pragma once
// The frame loop's bell: the audio thread rings it when a block is ready, so a
// waiting loop learns of the block at once instead of looking every few
// milliseconds. The platform hangs a ringer on the run's bell while the window is
// open; ringing is a single non-blocking operation, safe on the audio thread, and
// ringing a bell with no ringer does nothing.

#include <atomic>
#include <cstdint>

using BellRinger = void (*)();

struct Bell {
  std::atomic<BellRinger> ringer{nullptr};
  std::atomic<std::int64_t> lastRing{0};  // steady-clock nanoseconds of the last ring; 0 before the first
};

// Main thread, before the audio starts and after it stopped: the ringer to call, or none.
void hangBell(Bell& bell, BellRinger ringer);
// Audio thread: notes the moment and calls the ringer, if one hangs.
void ringBell(Bell& bell);
// The moment of the last ring, in nanoseconds of the steady clock; 0 before the first.
std::int64_t lastRingNanoseconds(const Bell& bell);

#pragma once
// The frame loop's bell: the audio thread rings it when a block is ready, so a
// waiting loop learns of the block at once instead of looking every few
// milliseconds. The platform hangs a bell while the window is open; ringing one
// is a single non-blocking operation, safe on the audio thread, and ringing
// without one does nothing.

#include <cstdint>

using Bell = void (*)();

// Main thread, before the audio starts and after it stopped: the bell to ring, or none.
void hangBell(Bell bell);
// Audio thread: notes the moment and rings the bell, if one hangs.
void ringBell();
// The moment of the last ring, in nanoseconds of the steady clock; 0 before the first.
std::int64_t lastRingNanoseconds();

#pragma once
// Every analysed block in order, for a reader that must see each one (MIDI out): the frame
// step takes only the newest block, and a busy machine can hold it back past the next. The
// audio thread queues a copy as it completes a block; the main thread takes them oldest
// first. A full queue drops the block and the reader sees the gap in the numbers.

#include <atomic>
#include <cstdint>

#include "core/constants.hpp"

inline constexpr int kQueuedBlocks = 32;  // 1.5 s at 44100 Hz: a main thread later than that has stalled

struct QueuedBlock {
  float samples[kBlockSize];  // raw, before any gain
  float gain;                 // the gain the block was analysed with
  std::uint32_t number;       // counts blocks queued or dropped since the start: a jump is a gap
};

struct BlockQueue {
  QueuedBlock slots[kQueuedBlocks];
  std::atomic<std::uint32_t> written{0};  // blocks ever queued: the audio thread's
  std::atomic<std::uint32_t> taken{0};    // blocks ever taken: the main thread's
  std::atomic<bool> on{false};
  std::uint32_t numbered = 0;  // the audio thread's count, dropped blocks included
};

// Main thread, while no callback runs: empties the queue and turns it on.
void startBlockQueue(BlockQueue& queue);
// Main thread: turns it off; blocks queued can still be taken.
void stopBlockQueue(BlockQueue& queue);
// Audio thread, as a block completes: `raw` its kBlockSize samples before gain.
void queueBlock(BlockQueue& queue, const double* raw, float gain);
// Main thread: the oldest block queued into `block`; false when none waits.
bool takeQueuedBlock(BlockQueue& queue, QueuedBlock& block);

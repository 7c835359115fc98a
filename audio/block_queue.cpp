#include "audio/block_queue.hpp"

#include <atomic>

namespace {

QueuedBlock slots[kQueuedBlocks];
std::atomic<std::uint32_t> written{0};  // blocks ever queued: the audio thread's
std::atomic<std::uint32_t> taken{0};    // blocks ever taken: the main thread's
std::atomic<bool> queueOn{false};
std::uint32_t numbered = 0;  // the audio thread's count, dropped blocks included

}  // namespace

void startBlockQueue() {
  written.store(0, std::memory_order_relaxed);
  taken.store(0, std::memory_order_relaxed);
  numbered = 0;
  queueOn.store(true, std::memory_order_release);
}

void stopBlockQueue() { queueOn.store(false, std::memory_order_relaxed); }

void queueBlock(const double* raw, float gain) {
  if (!queueOn.load(std::memory_order_acquire)) return;
  const std::uint32_t number = numbered++;
  const std::uint32_t head = written.load(std::memory_order_relaxed);
  if (head - taken.load(std::memory_order_acquire) >= kQueuedBlocks) return;  // full: the reader sees the gap
  QueuedBlock& slot = slots[head % kQueuedBlocks];
  for (int i = 0; i < kBlockSize; ++i) slot.samples[i] = static_cast<float>(raw[i]);
  slot.gain = gain;
  slot.number = number;
  written.store(head + 1, std::memory_order_release);
}

bool takeQueuedBlock(QueuedBlock& block) {
  const std::uint32_t tail = taken.load(std::memory_order_relaxed);
  if (written.load(std::memory_order_acquire) == tail) return false;
  block = slots[tail % kQueuedBlocks];
  taken.store(tail + 1, std::memory_order_release);
  return true;
}

#include "audio/block_queue.hpp"

void startBlockQueue(BlockQueue& queue) {
  queue.written.store(0, std::memory_order_relaxed);
  queue.taken.store(0, std::memory_order_relaxed);
  queue.numbered = 0;
  queue.on.store(true, std::memory_order_release);
}

void stopBlockQueue(BlockQueue& queue) { queue.on.store(false, std::memory_order_relaxed); }

void queueBlock(BlockQueue& queue, const double* raw, float gain) {
  if (!queue.on.load(std::memory_order_acquire)) return;
  const std::uint32_t number = queue.numbered++;
  const std::uint32_t head = queue.written.load(std::memory_order_relaxed);
  if (head - queue.taken.load(std::memory_order_acquire) >= kQueuedBlocks) return;  // full: the reader sees the gap
  QueuedBlock& slot = queue.slots[head % kQueuedBlocks];
  for (int i = 0; i < kBlockSize; ++i) slot.samples[i] = static_cast<float>(raw[i]);
  slot.gain = gain;
  slot.number = number;
  queue.written.store(head + 1, std::memory_order_release);
}

bool takeQueuedBlock(BlockQueue& queue, QueuedBlock& block) {
  const std::uint32_t tail = queue.taken.load(std::memory_order_relaxed);
  if (queue.written.load(std::memory_order_acquire) == tail) return false;
  block = queue.slots[tail % kQueuedBlocks];
  queue.taken.store(tail + 1, std::memory_order_release);
  return true;
}

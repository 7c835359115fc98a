#include "core/bell.hpp"

#include <atomic>
#include <chrono>

namespace {

std::atomic<Bell> hanging{nullptr};
std::atomic<std::int64_t> lastRing{0};

}  // namespace

void hangBell(Bell bell) { hanging.store(bell, std::memory_order_release); }

void ringBell() {
  const Bell bell = hanging.load(std::memory_order_acquire);
  if (bell == nullptr) return;
  // The steady clock is read without a system call; it times how soon the picture follows.
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  lastRing.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), std::memory_order_relaxed);
  bell();
}

std::int64_t lastRingNanoseconds() { return lastRing.load(std::memory_order_relaxed); }

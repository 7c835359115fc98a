#include "core/bell.hpp"

#include <chrono>

void hangBell(Bell& bell, BellRinger ringer) { bell.ringer.store(ringer, std::memory_order_release); }

void ringBell(Bell& bell) {
  const BellRinger ringer = bell.ringer.load(std::memory_order_acquire);
  if (ringer == nullptr) return;
  // The steady clock is read without a system call; it times how soon the picture follows.
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  bell.lastRing.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), std::memory_order_relaxed);
  ringer();
}

std::int64_t lastRingNanoseconds(const Bell& bell) { return bell.lastRing.load(std::memory_order_relaxed); }

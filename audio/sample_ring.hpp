#pragma once
// A fixed ring of float samples (or other plain values) between one writing thread
// and one reading thread. Neither side allocates, locks or waits; the writer publishes with
// release and the reader takes with acquire.

#include <array>
#include <atomic>
#include <cstddef>

template <std::size_t Capacity, typename T = float>
class SampleRing {
  static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

 public:
  // Writer: appends as many of the samples as there is room for; returns how many.
  std::size_t push(const T* samples, std::size_t count) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t tail = tail_.load(std::memory_order_acquire);
    const std::size_t room = Capacity - (head - tail);
    const std::size_t taken = count < room ? count : room;
    for (std::size_t i = 0; i < taken; ++i) buffer_[(head + i) & (Capacity - 1)] = samples[i];
    head_.store(head + taken, std::memory_order_release);
    return taken;
  }

  // Reader: takes up to count samples, oldest first; returns how many.
  std::size_t pop(T* samples, std::size_t count) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t head = head_.load(std::memory_order_acquire);
    const std::size_t waiting = head - tail;
    const std::size_t taken = count < waiting ? count : waiting;
    for (std::size_t i = 0; i < taken; ++i) samples[i] = buffer_[(tail + i) & (Capacity - 1)];
    tail_.store(tail + taken, std::memory_order_release);
    return taken;
  }

  // Reader: drops the oldest samples beyond the newest `keep`; returns how many went.
  std::size_t dropAllBut(std::size_t keep) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t head = head_.load(std::memory_order_acquire);
    const std::size_t waiting = head - tail;
    if (waiting <= keep) return 0;
    tail_.store(head - keep, std::memory_order_release);
    return waiting - keep;
  }

  // Reader: drops up to `count` of the oldest samples; returns how many went.
  std::size_t drop(std::size_t count) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t head = head_.load(std::memory_order_acquire);
    const std::size_t taken = count < head - tail ? count : head - tail;
    tail_.store(tail + taken, std::memory_order_release);
    return taken;
  }

  // Either side: a snapshot, exact only on the reader's side of a quiet writer.
  std::size_t waiting() const {
    return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_acquire);
  }

  // Only while neither thread runs.
  void clear() {
    head_.store(0, std::memory_order_relaxed);
    tail_.store(0, std::memory_order_relaxed);
  }

 private:
  std::array<T, Capacity> buffer_{};
  std::atomic<std::size_t> head_{0};  // total samples ever written
  std::atomic<std::size_t> tail_{0};  // total samples ever read
};

#include "audio/input_tap.hpp"

#include <algorithm>

#include "core/constants.hpp"

namespace {

const float kSilence[kFramesPerBuffer] = {};

void push(InputTap& tap, const float* samples, std::size_t count) {
  const std::size_t taken = tap.tapped.push(samples, count);
  if (taken < count)
    tap.dropped.store(tap.dropped.load(std::memory_order_relaxed) + (count - taken), std::memory_order_relaxed);
}

}  // namespace

void startInputTap(InputTap& tap) {
  tap.tapped.clear();
  tap.dropped.store(0, std::memory_order_relaxed);
  tap.on.store(true, std::memory_order_relaxed);
}

void stopInputTap(InputTap& tap) { tap.on.store(false, std::memory_order_relaxed); }

void tapInput(InputTap& tap, const float* input, unsigned long frameCount) {
  if (!tap.on.load(std::memory_order_relaxed)) return;
  if (input != nullptr) {
    push(tap, input, frameCount);
    return;
  }
  for (unsigned long done = 0; done < frameCount;) {
    const std::size_t count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    push(tap, kSilence, count);
    done += count;
  }
}

std::size_t takeTapped(InputTap& tap, float* samples, std::size_t count) { return tap.tapped.pop(samples, count); }

unsigned long long tapDropped(const InputTap& tap) { return tap.dropped.load(std::memory_order_relaxed); }

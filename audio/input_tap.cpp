#include "audio/input_tap.hpp"

#include <algorithm>
#include <atomic>

#include "core/constants.hpp"
#include "audio/sample_ring.hpp"

namespace {

SampleRing<kTapRingFrames> tapped;
std::atomic<bool> tapOn{false};
std::atomic<unsigned long long> dropped{0};  // written by the audio thread only
const float kSilence[kFramesPerBuffer] = {};

void push(const float* samples, std::size_t count) {
  const std::size_t taken = tapped.push(samples, count);
  if (taken < count) dropped.store(dropped.load(std::memory_order_relaxed) + (count - taken), std::memory_order_relaxed);
}

}  // namespace

void startInputTap() {
  tapped.clear();
  dropped.store(0, std::memory_order_relaxed);
  tapOn.store(true, std::memory_order_relaxed);
}

void stopInputTap() { tapOn.store(false, std::memory_order_relaxed); }

void tapInput(const float* input, unsigned long frameCount) {
  if (!tapOn.load(std::memory_order_relaxed)) return;
  if (input != nullptr) {
    push(input, frameCount);
    return;
  }
  for (unsigned long done = 0; done < frameCount;) {
    const std::size_t count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    push(kSilence, count);
    done += count;
  }
}

std::size_t takeTapped(float* samples, std::size_t count) { return tapped.pop(samples, count); }

unsigned long long tapDropped() { return dropped.load(std::memory_order_relaxed); }

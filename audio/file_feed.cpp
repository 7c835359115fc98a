#include "audio/file_feed.hpp"

#include <algorithm>
#include <atomic>

#include "core/constants.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/sample_ring.hpp"

namespace {

SampleRing<kFeedRingFrames> ahead;
std::atomic<bool> ended{false};
float frames[kFramesPerBuffer];  // audio thread only
// Written by the audio thread only.
std::atomic<unsigned long long> fed{0}, underrun{0}, paused{0};
constexpr auto kRelaxed = std::memory_order_relaxed;

void add(std::atomic<unsigned long long>& counter, unsigned long long count) {
  counter.store(counter.load(kRelaxed) + count, kRelaxed);
}

void feedBuffer(float* output, unsigned long count) {
  if (tuner.frozen.load(kRelaxed)) {
    composeOnly(output, count);
    add(paused, count);
    return;
  }
  // Read before the ring: once the end is seen, every sample of the file is already in it.
  const bool fileEnded = ended.load(std::memory_order_acquire);
  const std::size_t taken = ahead.pop(frames, count);
  std::fill(frames + taken, frames + count, 0.0f);
  add(fed, taken);
  if (!fileEnded) add(underrun, count - taken);
  audioCallbackHeard(frames, output, count);
}

}  // namespace

void resetFileFeed() {
  ahead.clear();
  ended.store(false, kRelaxed);
  for (auto* counter : {&fed, &underrun, &paused}) counter->store(0, kRelaxed);
}

std::size_t fileFeedRoom() { return kFeedRingFrames - ahead.waiting(); }

std::size_t pushFileSamples(const float* samples, std::size_t count) { return ahead.push(samples, count); }

void markFileEnded() { ended.store(true, std::memory_order_release); }

void feedFromFile(float* output, unsigned long frameCount) {
  for (unsigned long done = 0; done < frameCount;) {
    const unsigned long count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    feedBuffer(output != nullptr ? output + done : nullptr, count);
    done += count;
  }
}

FeedCounts fileFeedCounts() { return {fed.load(kRelaxed), underrun.load(kRelaxed), paused.load(kRelaxed)}; }

bool fileFeedDone() { return ended.load(std::memory_order_acquire) && ahead.waiting() == 0; }

bool fileFeedEnded() { return ended.load(std::memory_order_acquire); }

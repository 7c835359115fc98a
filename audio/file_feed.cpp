#include "audio/file_feed.hpp"

#include <algorithm>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

void add(std::atomic<unsigned long long>& counter, unsigned long long count) {
  counter.store(counter.load(kRelaxed) + count, kRelaxed);
}

}  // namespace

void resetFileFeed(FileFeed& feed) {
  feed.ahead.clear();
  feed.ended.store(false, kRelaxed);
  for (auto* counter : {&feed.fed, &feed.underrun, &feed.paused}) counter->store(0, kRelaxed);
}

std::size_t fileFeedRoom(const FileFeed& feed) { return kFeedRingFrames - feed.ahead.waiting(); }

std::size_t pushFileSamples(FileFeed& feed, const float* samples, std::size_t count) {
  return feed.ahead.push(samples, count);
}

void markFileEnded(FileFeed& feed) { feed.ended.store(true, std::memory_order_release); }

const float* takeFileFrames(FileFeed& feed, unsigned long count) {
  // Read before the ring: once the end is seen, every sample of the file is already in it.
  const bool fileEnded = feed.ended.load(std::memory_order_acquire);
  const std::size_t taken = feed.ahead.pop(feed.frames, count);
  std::fill(feed.frames + taken, feed.frames + count, 0.0f);
  add(feed.fed, taken);
  if (!fileEnded) add(feed.underrun, count - taken);
  return feed.frames;
}

void notePausedFrames(FileFeed& feed, unsigned long count) { add(feed.paused, count); }

FeedCounts fileFeedCounts(const FileFeed& feed) {
  return {feed.fed.load(kRelaxed), feed.underrun.load(kRelaxed), feed.paused.load(kRelaxed)};
}

bool fileFeedDone(const FileFeed& feed) { return feed.ended.load(std::memory_order_acquire) && feed.ahead.waiting() == 0; }

bool fileFeedEnded(const FileFeed& feed) { return feed.ended.load(std::memory_order_acquire); }

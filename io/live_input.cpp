#include "io/live_input.hpp"

#include <chrono>
#include <cstdio>

#include "core/constants.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "audio/file_feed.hpp"
#include "platform/process.hpp"

namespace {

constexpr int kReadFrames = 4096;                                // one read: 93 ms of sound
constexpr std::chrono::milliseconds kReaderRest{20};             // while the ring is full
constexpr std::chrono::milliseconds kMostBehind{100};            // a clock stalled longer starts again from now
const auto kBufferPeriod = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
    std::chrono::duration<double>(kFramesPerBuffer / kSampleRate));

}  // namespace

bool FileInput::open(const std::string& path, std::string& reason) {
  path_ = path;
  if (!reader_.open(path, reason)) return false;
  chunk_.assign(kReadFrames, 0.0f);
  return true;
}

bool FileInput::fill() {
  if (reader_.ended() || !failure_.empty()) return false;
  if (fileFeedRoom(audio_->feed) < static_cast<std::size_t>(kReadFrames)) return true;
  const long long before = reader_.samplesRead();
  if (!reader_.read(chunk_.data(), kReadFrames, failure_)) return false;
  pushFileSamples(audio_->feed, chunk_.data(), static_cast<std::size_t>(reader_.samplesRead() - before));
  return !reader_.ended();
}

void FileInput::startReading(AudioShared& audio) {
  audio_ = &audio;
  resetFileFeed(audio.feed);
  stopping_.store(false);
  while (fileFeedRoom(audio.feed) >= static_cast<std::size_t>(kReadFrames) && fill()) {
  }
  readerThread_ = std::thread([this] { runReader(); });
}

void FileInput::runReader() {
  nameThisThread("sonavel-file");
  while (!stopping_.load(std::memory_order_relaxed)) {
    const bool room = fileFeedRoom(audio_->feed) >= static_cast<std::size_t>(kReadFrames);
    if (!fill()) break;
    if (!room) std::this_thread::sleep_for(kReaderRest);
  }
  markFileEnded(audio_->feed);  // also after a read error: what was read plays, then silence
}

void FileInput::startClock() { clockThread_ = std::thread([this] { runClock(); }); }

void FileInput::runClock() {
  nameThisThread("sonavel-clock");
  using Clock = std::chrono::steady_clock;
  auto next = Clock::now();
  while (!stopping_.load(std::memory_order_relaxed)) {
    next += kBufferPeriod;
    std::this_thread::sleep_until(next);
    feedFromFile(*audio_, nullptr, kFramesPerBuffer);
    // After a stall (a suspended machine) go on from now rather than rush through the missed time.
    if (Clock::now() - next > kMostBehind) next = Clock::now();
  }
}

void FileInput::stop() {
  stopping_.store(true);
  if (clockThread_.joinable()) clockThread_.join();
  if (readerThread_.joinable()) readerThread_.join();
}

std::string underrunLine(const std::string& path, const FeedCounts& counts) {
  if (path.empty() || counts.underrun == 0) return "";
  char line[256];
  std::snprintf(line, sizeof line, "%s: not read in time: %.2f s of it played as silence", path.c_str(),
                static_cast<double>(counts.underrun) / kSampleRate);
  return line;
}

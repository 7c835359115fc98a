#include "io/resampler.hpp"

#include <soxr.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/constants.hpp"

namespace {

constexpr int kSourceReadFrames = 4096;  // one read of the file's samples, whatever its rate
constexpr int kTargetRate = static_cast<int>(kSampleRate);
constexpr unsigned kOneThread = 1;  // the reading thread converts; soxr starts none of its own
constexpr int kAheadBlockFrames = 8192;  // one block converted ahead: 186 ms of sound
constexpr int kAheadBlocks = 4;          // blocks the worker may be ahead of the reader

soxr_t handle(void* soxr) { return static_cast<soxr_t>(soxr); }

}  // namespace

Resampler::~Resampler() {
  if (worker_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  if (soxr_ != nullptr) soxr_delete(handle(soxr_));
}

bool Resampler::open(int fromRate, const std::string& name, RateSource source, std::string& reason) {
  name_ = name;
  source_ = std::move(source);
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(kOneThread);
  soxr_error_t error = nullptr;
  soxr_ = soxr_create(fromRate, kTargetRate, 1, &error, &io, &quality, &runtime);
  if (soxr_ == nullptr || error != nullptr) {
    reason = name_ + ": cannot convert from " + std::to_string(fromRate) + " Hz: " + (error ? error : "no converter");
    return false;
  }
  input_.assign(kSourceReadFrames, 0.0f);
  return true;
}

bool Resampler::takeInput(std::string& reason) {
  const int got = source_(input_.data(), kSourceReadFrames, reason);
  if (got < 0) return false;
  // A bad sample is silenced before the filter, which would spread it over many output samples:
  // it then costs one sample at any rate, as it does in a file at 44100 Hz.
  for (int i = 0; i < got; ++i)
    if (!(std::fabs(input_[i]) <= kLoudestInput)) input_[i] = 0.0f;
  inputFirst_ = 0;
  inputCount_ = got;
  inputEnded_ = got == 0;
  return true;
}

bool Resampler::read(float* samples, int count, std::string& reason) {
  return worker_.joinable() ? readAhead(samples, count, reason) : convert(samples, count, reason);
}

bool Resampler::convert(float* samples, int count, std::string& reason) {
  int filled = 0;
  while (filled < count && !drained_) {
    if (inputFirst_ == inputCount_ && !inputEnded_ && !takeInput(reason)) return false;
    // No input pointer asks soxr for its tail: the last samples the filter still holds.
    const float* in = inputEnded_ ? nullptr : input_.data() + inputFirst_;
    std::size_t used = 0, made = 0;
    const soxr_error_t error = soxr_process(handle(soxr_), in, static_cast<std::size_t>(inputCount_ - inputFirst_),
                                            &used, samples + filled, static_cast<std::size_t>(count - filled), &made);
    if (error != nullptr) {
      reason = name_ + ": conversion failed: " + error;
      return false;
    }
    inputFirst_ += static_cast<int>(used);
    filled += static_cast<int>(made);
    made_ += static_cast<long long>(made);
    drained_ = inputEnded_ && made == 0;
  }
  std::fill(samples + filled, samples + count, 0.0f);
  return true;
}

void Resampler::convertAhead() {
  if (worker_.joinable()) return;
  ring_.assign(static_cast<std::size_t>(kAheadBlocks) * kAheadBlockFrames, 0.0f);
  worker_ = std::thread([this] { runAhead(); });
}

// The worker: converts a block whenever the ring has room, until the tail is out or a read fails.
void Resampler::runAhead() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!drained_ && workerFailure_.empty()) {
    changed_.wait(lock, [this] { return stopping_ || blocksMade_ - blocksTaken_ < kAheadBlocks; });
    if (stopping_) break;
    float* block = ring_.data() + static_cast<std::size_t>(blocksMade_ % kAheadBlocks) * kAheadBlockFrames;
    lock.unlock();
    std::string reason;
    const bool converted = convert(block, kAheadBlockFrames, reason);
    lock.lock();
    if (converted) ++blocksMade_;
    else workerFailure_ = reason;
    madeShared_ = made_;
    drainedShared_ = drained_;
    changed_.notify_all();
  }
  workerDone_ = true;
  changed_.notify_all();
}

bool Resampler::readAhead(float* samples, int count, std::string& reason) {
  int filled = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (filled < count) {
    changed_.wait(lock, [this] { return blocksMade_ > blocksTaken_ || workerDone_; });
    madeSeen_ = madeShared_;
    drainedSeen_ = drainedShared_;
    if (blocksMade_ == blocksTaken_) {  // the worker has stopped and every block is out
      if (!workerFailure_.empty()) {
        reason = workerFailure_;
        return false;
      }
      std::fill(samples + filled, samples + count, 0.0f);
      return true;
    }
    const float* block = ring_.data() + static_cast<std::size_t>(blocksTaken_ % kAheadBlocks) * kAheadBlockFrames;
    const int take = std::min(count - filled, kAheadBlockFrames - blockNext_);
    std::copy_n(block + blockNext_, take, samples + filled);
    filled += take;
    handed_ += take;
    blockNext_ += take;
    if (blockNext_ == kAheadBlockFrames) {
      blockNext_ = 0;
      ++blocksTaken_;
      changed_.notify_all();
    }
  }
  return true;
}

bool Resampler::ended() const {
  return worker_.joinable() ? drainedSeen_ && handed_ >= madeSeen_ : drained_;
}

long long Resampler::samplesOut() const { return worker_.joinable() ? std::min(handed_, madeSeen_) : made_; }

long long convertedFrames(long long frames, int rate) {
  if (frames <= 0 || rate <= 0) return 0;
  const long long whole = frames / rate, part = frames % rate;
  if (whole > LLONG_MAX / kTargetRate - 1) return LLONG_MAX;
  // The part first: part * 2 * 44100 < 2^35 for any rate the reader accepts.
  return whole * kTargetRate + (part * 2 * kTargetRate + rate) / (2LL * rate);
}

std::string conversionLine(const std::string& path, int fileRate) {
  return path + " is at " + std::to_string(fileRate) + " Hz: converted to " + std::to_string(kTargetRate) +
         " Hz as it is read";
}

#include "io/resampler.hpp"

#include <soxr.h>

#include <algorithm>
#include <climits>

#include "core/constants.hpp"

namespace {

constexpr int kSourceReadFrames = 4096;  // one read of the file's samples, whatever its rate
constexpr int kTargetRate = static_cast<int>(kSampleRate);
constexpr unsigned kOneThread = 1;  // the reading thread converts; soxr starts none of its own

soxr_t handle(void* soxr) { return static_cast<soxr_t>(soxr); }

}  // namespace

Resampler::~Resampler() {
  if (soxr_ != nullptr) soxr_delete(handle(soxr_));
}

bool Resampler::open(int fromRate, const std::string& name, std::string& reason) {
  name_ = name;
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

bool Resampler::takeInput(const RateSource& source) {
  const int got = source(input_.data(), kSourceReadFrames);
  if (got < 0) return false;
  inputFirst_ = 0;
  inputCount_ = got;
  inputEnded_ = got == 0;
  return true;
}

bool Resampler::read(float* samples, int count, const RateSource& source, std::string& reason) {
  int filled = 0;
  while (filled < count && !drained_) {
    if (inputFirst_ == inputCount_ && !inputEnded_ && !takeInput(source)) return false;
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
    drained_ = inputEnded_ && made == 0;
  }
  std::fill(samples + filled, samples + count, 0.0f);
  return true;
}

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

#include "io/sound_input.hpp"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>

#include "platform/quiet_stderr.hpp"
#include "platform/regular_file.hpp"

namespace {

// Read ahead in chunks of about 64 k samples: one system call per chunk, not per buffer,
// and a bounded chunk however many channels the file has.
constexpr int kReadAheadSamples = 65536;
constexpr int kMostChannels = 1024;

// libsndfile's code for a read that came up short while it probed the file; its text
// blames a missing file or a pipe, which the caller has already ruled out.
constexpr int kSndfileShortRead = 7;

std::string sndfileError(SNDFILE* file) { return sf_strerror(file); }

std::string openError() {
  return sf_error(nullptr) == kSndfileShortRead ? "its data ends early or is damaged" : sndfileError(nullptr);
}

}  // namespace

MonoSoundReader::~MonoSoundReader() {
  resampler_.reset();  // its thread may be reading the file
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
  if (fd_ >= 0) closeFile(fd_);
}

bool MonoSoundReader::open(const std::string& path, std::string& reason) {
  path_ = path;
  int fd = openInputFile(path, reason);
  if (fd < 0) return false;
  fd_ = fd;  // closed after libsndfile is done: on Windows it would close only the handle beneath it
  SF_INFO info{};
  SNDFILE* file = nullptr;
  {
    QuietStderr quiet;
    file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
  }
  if (file == nullptr) {
    reason = path + ": cannot read it as sound: " + openError();
    return false;
  }
  file_ = file;
  if (info.samplerate < kLowestFileRate || info.samplerate > kHighestFileRate) {
    reason = path + ": sample rate is " + std::to_string(info.samplerate) + " Hz; only " +
             std::to_string(kLowestFileRate) + " to " + std::to_string(kHighestFileRate) + " Hz can be read";
    return false;
  }
  if (info.channels < 1 || info.channels > kMostChannels) {
    reason = path + ": unsupported channel count " + std::to_string(info.channels);
    return false;
  }
  frames_ = info.frames > 0 && info.frames != SF_COUNT_MAX ? info.frames : 0;  // the largest count: "unknown"
  fileFrames_ = frames_;
  fileRate_ = info.samplerate;
  if (fileRate_ != kReplaySampleRate) {
    resampler_ = std::make_unique<Resampler>();
    auto source = [this](float* samples, int count, std::string& why) { return readAtFileRate(samples, count, why); };
    if (!resampler_->open(fileRate_, path, source, reason)) return false;
    frames_ = convertedFrames(frames_, fileRate_);
  }
  channels_ = info.channels;
  chatty_ = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
  const int chunkFrames = std::max(1, kReadAheadSamples / channels_);
  chunk_.assign(static_cast<std::size_t>(chunkFrames) * channels_, 0.0f);
  return true;
}

bool MonoSoundReader::refill(std::string& reason) {
  QuietStderr quiet(chatty_);
  SNDFILE* file = static_cast<SNDFILE*>(file_);
  const sf_count_t got = sf_readf_float(file, chunk_.data(), static_cast<sf_count_t>(chunk_.size()) / channels_);
  chunkNext_ = 0;
  chunkFrames_ = got > 0 ? static_cast<int>(got) : 0;
  if (got > 0) return true;
  ended_ = true;
  if (sf_error(file) == SF_ERR_NO_ERROR) return true;
  reason = path_ + ": read error: " + sndfileError(file);
  return false;
}

int MonoSoundReader::readAtFileRate(float* samples, int count, std::string& reason) {
  int filled = 0;
  while (filled < count) {
    if (chunkNext_ >= chunkFrames_) {
      if (ended_) break;
      if (!refill(reason)) return -1;
      continue;
    }
    const int take = std::min(count - filled, chunkFrames_ - chunkNext_);
    for (int frame = chunkNext_; frame < chunkNext_ + take; ++frame) {
      const float* values = chunk_.data() + static_cast<std::size_t>(frame) * channels_;
      if (channels_ == 1) {
        samples[filled++] = values[0];
        continue;
      }
      double sum = 0.0;
      for (int c = 0; c < channels_; ++c) sum += values[c];
      samples[filled++] = static_cast<float>(sum / channels_);
    }
    chunkNext_ += take;
  }
  samplesRead_ += filled;
  return filled;
}

bool MonoSoundReader::read(float* samples, int count, std::string& reason) {
  if (resampler_) return resampler_->read(samples, count, reason);
  const int got = readAtFileRate(samples, count, reason);
  if (got < 0) return false;
  std::fill(samples + got, samples + count, 0.0f);
  return true;
}

bool soundFileHoldsFrame(const std::string& path, long long frame) {
  std::string ignored;
  const int fd = openInputFile(path, ignored);
  if (fd < 0 || frame < 0) {
    if (fd >= 0) closeFile(fd);
    return false;
  }
  QuietStderr quiet;
  SF_INFO info{};
  SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
  bool holds = false;
  if (file != nullptr) {
    std::vector<float> one(static_cast<std::size_t>(std::max(info.channels, 1)));
    holds = frame < info.frames && sf_seek(file, frame, SEEK_SET) == frame && sf_readf_float(file, one.data(), 1) == 1;
    sf_close(file);
  }
  closeFile(fd);
  return holds;
}

#include "io/sound_output.hpp"

#include <sndfile.h>

#include "core/constants.hpp"

FloatWavWriter::~FloatWavWriter() {
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
}

bool FloatWavWriter::open(int fd, const std::string& path, std::string& reason) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(kSampleRate);
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (file == nullptr) {
    reason = path + ": cannot write: " + sf_strerror(nullptr);
    return false;
  }
  file_ = file;
  path_ = path;
  failed_ = false;
  return true;
}

bool FloatWavWriter::write(const float* samples, int count) {
  if (file_ == nullptr || failed_) return false;
  if (sf_writef_float(static_cast<SNDFILE*>(file_), samples, count) != count) failed_ = true;
  return !failed_;
}

bool FloatWavWriter::updateHeader() {
  if (file_ == nullptr || failed_) return false;
  sf_command(static_cast<SNDFILE*>(file_), SFC_UPDATE_HEADER_NOW, nullptr, 0);
  return true;
}

bool FloatWavWriter::close(std::string& reason) {
  if (file_ == nullptr) return true;
  SNDFILE* file = static_cast<SNDFILE*>(file_);
  file_ = nullptr;
  if (failed_) reason = path_ + ": write error: " + sf_strerror(file);
  bool closed = sf_close(file) == 0;
  if (!failed_ && !closed) reason = path_ + ": write error on close";
  return !failed_ && closed;
}

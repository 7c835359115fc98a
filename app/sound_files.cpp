#include "app/sound_files.hpp"

#include <png.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>

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
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
}

bool MonoSoundReader::open(const std::string& path, std::string& reason) {
  path_ = path;
  int fd = openInputFile(path, reason);
  if (fd < 0) return false;
  SF_INFO info{};
  SNDFILE* file = nullptr;
  {
    QuietStderr quiet;
    file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
  }
  if (file == nullptr) {
    reason = path + ": cannot read it as sound: " + openError();
    return false;
  }
  file_ = file;
  if (info.samplerate != kReplaySampleRate) {
    reason = path + ": sample rate is " + std::to_string(info.samplerate) + " Hz; only 44100 Hz is supported";
    return false;
  }
  if (info.channels < 1 || info.channels > kMostChannels) {
    reason = path + ": unsupported channel count " + std::to_string(info.channels);
    return false;
  }
  frames_ = info.frames > 0 ? info.frames : 0;
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

bool MonoSoundReader::read(float* samples, int count, std::string& reason) {
  int filled = 0;
  while (filled < count) {
    if (chunkNext_ >= chunkFrames_) {
      if (ended_) break;
      if (!refill(reason)) return false;
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
  std::fill(samples + filled, samples + count, 0.0f);
  return true;
}

FloatWavWriter::~FloatWavWriter() {
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
}

bool FloatWavWriter::open(int fd, const std::string& path, std::string& reason) {
  SF_INFO info{};
  info.samplerate = kReplaySampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (file == nullptr) {
    reason = path + ": cannot write: " + sndfileError(nullptr);
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
  if (failed_) reason = path_ + ": write error: " + sndfileError(file);
  bool closed = sf_close(file) == 0;
  if (!failed_ && !closed) reason = path_ + ": write error on close";
  return !failed_ && closed;
}

namespace {

// libpng would print its complaint itself; it is kept for our own line instead.
void keepPngError(png_structp png, png_const_charp message) {
  const int writeErrno = errno;
  auto* kept = static_cast<std::string*>(png_get_error_ptr(png));
  if (std::strcmp(message, "Write Error") == 0) *kept = std::string("write error: ") + std::strerror(writeErrno);
  else *kept = std::string("PNG encoding error: ") + message;
  png_longjmp(png, 1);
}

void ignorePngWarning(png_structp, png_const_charp) {}

}  // namespace

bool writePicturePng(std::FILE* file, const Framebuffer& picture, std::string& reason) {
  return writePngRows(
      file, picture.width, picture.height,
      [&picture](int y) { return picture.pixels + static_cast<std::ptrdiff_t>(y) * picture.pitch; }, reason);
}

bool writePngRows(std::FILE* file, int width, int height, const PngRowSource& source, std::string& reason) {
  std::string pngError;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngError, keepPngError, ignorePngWarning);
  if (png == nullptr) {
    reason = "cannot start the PNG encoder";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  // One row of RGB bytes; allocated before setjmp so that a longjmp leaks nothing.
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    reason = pngError.empty() ? std::string("PNG encoding error") : pngError;
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* pixels = source(y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t pixel = pixels[x];
      row[x * 3 + 0] = static_cast<png_byte>(pixel >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(pixel >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(pixel);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file) != 0 || std::ferror(file)) {
    reason = std::string("write error: ") + std::strerror(errno);
    return false;
  }
  return true;
}

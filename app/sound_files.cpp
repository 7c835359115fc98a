#include "app/sound_files.hpp"

#include <png.h>
#include <sndfile.h>

#include <csetjmp>
#include <memory>

namespace {

constexpr sf_count_t kReadChunkFrames = 4096;
// A bound on what is read into memory: 2^30 samples is 4 GiB of floats, over 6 hours of sound.
constexpr std::size_t kMostInputSamples = std::size_t{1} << 30;
constexpr int kMostChannels = 1024;

std::string sndfileError(SNDFILE* file) { return sf_strerror(file); }

}  // namespace

bool readMonoSound(const std::string& path, std::vector<float>& samples, std::string& reason) {
  samples.clear();
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    reason = path + ": cannot read it as sound: " + sndfileError(nullptr);
    return false;
  }
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> closer(file, sf_close);
  if (info.samplerate != kReplaySampleRate) {
    reason = path + ": sample rate is " + std::to_string(info.samplerate) + " Hz; only 44100 Hz is supported";
    return false;
  }
  if (info.channels < 1 || info.channels > kMostChannels) {
    reason = path + ": unsupported channel count " + std::to_string(info.channels);
    return false;
  }
  if (info.frames > 0 && static_cast<std::size_t>(info.frames) > kMostInputSamples) {
    reason = path + ": too long (more than 2^30 samples)";
    return false;
  }
  if (info.frames > 0) samples.reserve(static_cast<std::size_t>(info.frames));
  const int channels = info.channels;
  std::vector<float> chunk(static_cast<std::size_t>(kReadChunkFrames) * channels);
  for (;;) {
    sf_count_t got = sf_readf_float(file, chunk.data(), kReadChunkFrames);
    if (got <= 0) break;
    if (samples.size() + static_cast<std::size_t>(got) > kMostInputSamples) {
      reason = path + ": too long (more than 2^30 samples)";
      return false;
    }
    for (sf_count_t frame = 0; frame < got; ++frame) {
      const float* values = chunk.data() + frame * channels;
      if (channels == 1) {
        samples.push_back(values[0]);
        continue;
      }
      double sum = 0.0;
      for (int c = 0; c < channels; ++c) sum += values[c];
      samples.push_back(static_cast<float>(sum / channels));
    }
  }
  if (sf_error(file) != SF_ERR_NO_ERROR) {
    reason = path + ": read error: " + sndfileError(file);
    return false;
  }
  return true;
}

FloatWavWriter::~FloatWavWriter() {
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
}

bool FloatWavWriter::open(const std::string& path, std::string& reason) {
  SF_INFO info{};
  info.samplerate = kReplaySampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
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

bool FloatWavWriter::close(std::string& reason) {
  if (file_ == nullptr) return true;
  SNDFILE* file = static_cast<SNDFILE*>(file_);
  file_ = nullptr;
  if (failed_) reason = path_ + ": write error: " + sndfileError(file);
  bool closed = sf_close(file) == 0;
  if (!failed_ && !closed) reason = path_ + ": write error on close";
  return !failed_ && closed;
}

bool writePicturePng(std::FILE* file, const Framebuffer& picture, std::string& reason) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) {
    reason = "cannot start the PNG encoder";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  // One row of RGB bytes; allocated before setjmp so that a longjmp leaks nothing.
  std::vector<png_byte> row(static_cast<std::size_t>(picture.width) * 3);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    reason = "PNG encoding or write error";
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      std::uint32_t pixel = pixelAt(picture, x, y);
      row[x * 3 + 0] = static_cast<png_byte>(pixel >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(pixel >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(pixel);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file) != 0 || std::ferror(file)) {
    reason = "write error";
    return false;
  }
  return true;
}

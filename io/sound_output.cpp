#include "io/sound_output.hpp"

#include <sndfile.h>

#include <cerrno>
#include <cstring>

#include "core/constants.hpp"
#include "platform/file_writes.hpp"
#include "platform/regular_file.hpp"

namespace {

// libsndfile's float WAV header, chunk by chunk: RIFF and WAVE, fmt (16 bytes), fact (4),
// PEAK (16), then the data chunk's own 8. RF64 fits the same 80 bytes: its ds64 chunk of
// 64-bit sizes takes the place of fact and PEAK.
constexpr std::size_t kHeaderBytes = 80;
constexpr std::size_t kFmtAt = 12, kFmtBytes = 24, kFactAt = 36, kPeakAt = 48, kDataAt = 72;
constexpr std::uint32_t kDs64Bytes = 28;
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;  // a 32-bit size that says "see ds64"

void put32(unsigned char* at, std::uint64_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
void put64(unsigned char* at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
std::uint32_t get32(const unsigned char* at) {
  return static_cast<std::uint32_t>(at[0] | at[1] << 8 | at[2] << 16) | static_cast<std::uint32_t>(at[3]) << 24;
}
bool chunkIs(const unsigned char* header, std::size_t at, const char* id, std::uint32_t bytes) {
  return std::memcmp(header + at, id, 4) == 0 && get32(header + at + 4) == bytes;
}

// Rewrites the header libsndfile wrote as RF64 for `frames` samples; false with why.
bool rewriteAsRf64(int fd, std::uint64_t frames, std::string& why) {
  const std::uint64_t dataBytes = frames * sizeof(float);
  std::uint64_t size = 0;
  if (!regularFileSize(fd, size)) return true;  // a device or pipe keeps no header
  unsigned char wav[kHeaderBytes];
  if (!readAt(fd, wav, kHeaderBytes, 0) ||
      std::memcmp(wav, "RIFF", 4) != 0 || std::memcmp(wav + 8, "WAVE", 4) != 0 || !chunkIs(wav, kFmtAt, "fmt ", 16) ||
      !chunkIs(wav, kFactAt, "fact", 4) || !chunkIs(wav, kPeakAt, "PEAK", 16) || std::memcmp(wav + kDataAt, "data", 4) != 0 ||
      size != kHeaderBytes + dataBytes) {
    why = "more than 4 GiB, and its WAV header is not one that can be made RF64";
    return false;
  }
  unsigned char rf64[kHeaderBytes];
  std::memcpy(rf64, "RF64", 4);
  put32(rf64 + 4, kSizeInDs64);
  std::memcpy(rf64 + 8, "WAVE", 4);
  std::memcpy(rf64 + 12, "ds64", 4);
  put32(rf64 + 16, kDs64Bytes);
  put64(rf64 + 20, kHeaderBytes + dataBytes - 8);
  put64(rf64 + 28, dataBytes);
  put64(rf64 + 36, frames);
  put32(rf64 + 44, 0);  // no table of other long chunks
  std::memcpy(rf64 + 48, wav + kFmtAt, kFmtBytes);
  std::memcpy(rf64 + 72, "data", 4);
  put32(rf64 + 76, kSizeInDs64);
  if (writeAt(fd, rf64, kHeaderBytes, 0)) return true;
  why = std::strerror(errno);
  return false;
}

// libsndfile stamps the PEAK chunk with the second it wrote it; a zero there makes the same
// run give the same bytes. False with errno set when the header could not be rewritten.
bool clearPeakTime(int fd) {
  constexpr std::size_t kPeakTimeAt = kPeakAt + 12;  // after the chunk's id, its size and the version
  std::uint64_t size = 0;
  if (!regularFileSize(fd, size) || size < kHeaderBytes) return true;  // a device or pipe keeps no header
  unsigned char wav[kHeaderBytes];
  if (!readAt(fd, wav, kHeaderBytes, 0)) return false;
  if (std::memcmp(wav, "RIFF", 4) != 0 || !chunkIs(wav, kPeakAt, "PEAK", 16)) return true;
  const unsigned char zero[4] = {};
  return std::memcmp(wav + kPeakTimeAt, zero, sizeof zero) == 0 || writeAt(fd, zero, sizeof zero, kPeakTimeAt);
}

}  // namespace

FloatWavWriter::~FloatWavWriter() {
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
  if (fd_ >= 0) closeFile(fd_);
}

bool FloatWavWriter::open(int fd, const std::string& path, std::string& reason) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(kSampleRate);
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  // The descriptor stays ours: an RF64 header is written after libsndfile has finished.
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
  if (file == nullptr) {
    reason = path + ": cannot write: " + sf_strerror(nullptr);
    closeFile(fd);
    return false;
  }
  file_ = file;
  fd_ = fd;
  path_ = path;
  failure_.clear();
  frames_ = 0;
  return true;
}

bool FloatWavWriter::passesRiff() const { return kHeaderBytes + frames_ * sizeof(float) - 8 > largestRiffSize_; }

void FloatWavWriter::fail(const std::string& what) {
  if (failure_.empty()) failure_ = path_ + ": " + what;
}

bool FloatWavWriter::write(const float* samples, int count) {
  if (file_ == nullptr || !failure_.empty()) return false;
  if (sf_writef_float(static_cast<SNDFILE*>(file_), samples, count) != count)
    fail(std::string("write error: ") + sf_strerror(static_cast<SNDFILE*>(file_)));
  else
    frames_ += static_cast<std::uint64_t>(count);
  return failure_.empty();
}

bool FloatWavWriter::updateHeader() {
  if (file_ == nullptr || !failure_.empty()) return false;
  sf_command(static_cast<SNDFILE*>(file_), SFC_UPDATE_HEADER_NOW, nullptr, 0);
  if (!clearPeakTime(fd_)) fail(std::string("write error: ") + std::strerror(errno));
  std::string why;
  if (passesRiff() && !rewriteAsRf64(fd_, frames_, why)) fail("cannot write: " + why);
  return failure_.empty();
}

bool FloatWavWriter::close(std::string& reason) {
  if (file_ == nullptr) return true;
  SNDFILE* file = static_cast<SNDFILE*>(file_);
  file_ = nullptr;
  if (sf_close(file) != 0) fail("write error on close");
  if (failure_.empty() && !clearPeakTime(fd_)) fail(std::string("write error: ") + std::strerror(errno));
  std::string why;
  if (failure_.empty() && passesRiff() && !rewriteAsRf64(fd_, frames_, why)) fail("cannot write: " + why);
  if (!closeFile(fd_)) fail(std::string("write error: ") + std::strerror(errno));
  fd_ = -1;
  if (!failure_.empty()) reason = failure_;
  return failure_.empty();
}

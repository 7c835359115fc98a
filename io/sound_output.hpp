#pragma once
// Sound written out: mono 44100 Hz 32-bit float WAV, the program's only sound format.
// A file whose data passes the 4 GiB a RIFF header can count is given an RF64 header
// (the same layout with 64-bit sizes), so that readers see all of it.

#include <cstdint>
#include <string>

// The largest RIFF size (the file's length less its first 8 bytes) a WAV header can give.
inline constexpr std::uint64_t kLargestRiffSize = 0xFFFFFFFFull;

// A mono 44100 Hz 32-bit float WAV file, written as the samples come.
class FloatWavWriter {
 public:
  // `largestRiffSize`: the size past which the header becomes RF64; only tests lower it.
  explicit FloatWavWriter(std::uint64_t largestRiffSize = kLargestRiffSize) : largestRiffSize_(largestRiffSize) {}
  FloatWavWriter(const FloatWavWriter&) = delete;
  FloatWavWriter& operator=(const FloatWavWriter&) = delete;
  ~FloatWavWriter();

  // Takes over the descriptor `fd`, closed or not; `path` names it in messages.
  bool open(int fd, const std::string& path, std::string& reason);
  bool isOpen() const { return file_ != nullptr; }
  bool write(const float* samples, int count);
  // Writes the header for the samples so far, so the file is whole if the program dies now.
  bool updateHeader();
  // Finishes the header; false with the reason when anything was not written.
  bool close(std::string& reason);

 private:
  bool passesRiff() const;
  void fail(const std::string& what);

  void* file_ = nullptr;  // SNDFILE*
  int fd_ = -1;
  std::string path_;
  std::string failure_;  // empty while everything was written
  std::uint64_t frames_ = 0;
  std::uint64_t largestRiffSize_;
};

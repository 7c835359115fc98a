#pragma once
// Sound written out: mono 44100 Hz 32-bit float WAV, the program's only sound format.

#include <string>

// A mono 44100 Hz 32-bit float WAV file, written as the samples come.
class FloatWavWriter {
 public:
  FloatWavWriter() = default;
  FloatWavWriter(const FloatWavWriter&) = delete;
  FloatWavWriter& operator=(const FloatWavWriter&) = delete;
  ~FloatWavWriter();

  // Takes over the descriptor `fd`; `path` names it in messages.
  bool open(int fd, const std::string& path, std::string& reason);
  bool isOpen() const { return file_ != nullptr; }
  bool write(const float* samples, int count);
  // Writes the header for the samples so far, so the file is whole if the program dies now.
  bool updateHeader();
  // Finishes the header; false with the reason when anything was not written.
  bool close(std::string& reason);

 private:
  void* file_ = nullptr;  // SNDFILE*
  std::string path_;
  bool failed_ = false;
};

#pragma once
// The files a headless replay reads and writes: sound in, sound, picture and scores out.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/framebuffer.hpp"

inline constexpr int kReplaySampleRate = 44100;  // Hz; anything else is refused, not resampled

// Reads the whole file as mono floats (channels averaged); false with a one-line reason.
bool readMonoSound(const std::string& path, std::vector<float>& samples, std::string& reason);

// A mono 44100 Hz 32-bit float WAV file, written as the samples come.
class FloatWavWriter {
 public:
  FloatWavWriter() = default;
  FloatWavWriter(const FloatWavWriter&) = delete;
  FloatWavWriter& operator=(const FloatWavWriter&) = delete;
  ~FloatWavWriter();

  bool open(const std::string& path, std::string& reason);
  bool isOpen() const { return file_ != nullptr; }
  bool write(const float* samples, int count);
  // Finishes the header; false with the reason when anything was not written.
  bool close(std::string& reason);

 private:
  void* file_ = nullptr;  // SNDFILE*
  std::string path_;
  bool failed_ = false;
};

// Writes the picture as an 8-bit RGB PNG into an open file; false with a reason.
bool writePicturePng(std::FILE* file, const Framebuffer& picture, std::string& reason);

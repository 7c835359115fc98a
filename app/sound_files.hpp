#pragma once
// The files a headless replay reads and writes: sound in, sound, picture and scores out.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/framebuffer.hpp"

inline constexpr int kReplaySampleRate = 44100;  // Hz; anything else is refused, not resampled

// A sound file read in order as mono floats (channels averaged), a buffer at a time,
// so that memory does not grow with the length of the file.
class MonoSoundReader {
 public:
  MonoSoundReader() = default;
  MonoSoundReader(const MonoSoundReader&) = delete;
  MonoSoundReader& operator=(const MonoSoundReader&) = delete;
  ~MonoSoundReader();

  // Refuses anything but a regular 44100 Hz sound file; false with a one-line reason.
  bool open(const std::string& path, std::string& reason);
  // Frames in the file, as its header gives them.
  long long frames() const { return frames_; }
  // The next `count` samples, silence once the file has ended; false on a read error.
  bool read(float* samples, int count, std::string& reason);

 private:
  void* file_ = nullptr;  // SNDFILE*
  std::string path_;
  long long frames_ = 0;
  int channels_ = 1;
  bool chatty_ = false;  // a decoder that prints its own complaints on stderr
  bool ended_ = false;
  std::vector<float> chunk_;  // frames read ahead, all channels interleaved
  int chunkFrames_ = 0;       // frames in `chunk_`
  int chunkNext_ = 0;         // the first of them not yet handed out

  bool refill(std::string& reason);
};

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

// Writes the picture as an 8-bit RGB PNG into an open file; false with a reason.
bool writePicturePng(std::FILE* file, const Framebuffer& picture, std::string& reason);
// The same for a picture made a row at a time: `row(y)` gives `width` pixels of row y, top first.
using PngRowSource = std::function<const std::uint32_t*(int y)>;
bool writePngRows(std::FILE* file, int width, int height, const PngRowSource& row, std::string& reason);

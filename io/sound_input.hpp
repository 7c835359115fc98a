#pragma once
// Sound files read in: any format libsndfile knows, as mono floats. The io folder holds
// the files the program reads and writes; it may use core/, platform/, analysis/, audio/ and view/.

#include <string>
#include <vector>

#include "core/constants.hpp"

inline constexpr int kReplaySampleRate = static_cast<int>(kSampleRate);  // Hz; anything else is refused, not resampled

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

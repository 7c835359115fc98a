#pragma once
// Sound files read in: any format libsndfile knows, as mono floats. The io folder holds
// the files the program reads and writes; it may use core/, platform/, analysis/, audio/ and view/.

#include <memory>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "io/resampler.hpp"

inline constexpr int kReplaySampleRate = static_cast<int>(kSampleRate);  // Hz; other rates are converted to it

// A sound file read in order as mono floats (channels averaged), a buffer at a time,
// so that memory does not grow with the length of the file.
class MonoSoundReader {
 public:
  MonoSoundReader() = default;
  MonoSoundReader(const MonoSoundReader&) = delete;
  MonoSoundReader& operator=(const MonoSoundReader&) = delete;
  ~MonoSoundReader();

  // Refuses anything but a regular sound file at 8000 to 384000 Hz; false with a one-line reason.
  bool open(const std::string& path, std::string& reason);
  // Frames in the file, as its header gives them, counted at 44100 Hz.
  long long frames() const { return frames_; }
  // The file's own rate: at any other than 44100 Hz its samples are converted as they are read.
  int fileRate() const { return fileRate_; }
  // The next `count` samples at 44100 Hz, silence once the file has ended; false on a read error.
  bool read(float* samples, int count, std::string& reason);
  // A file at another rate is read and converted on a thread of its own from here on, ahead of
  // read(), which gives the same samples: for a reader whose own thread has other work.
  void convertAhead() {
    if (resampler_) resampler_->convertAhead();
  }

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
  int fileRate_ = kReplaySampleRate;
  std::unique_ptr<Resampler> resampler_;  // only for a file at another rate

  bool refill(std::string& reason);
  // The next samples at the file's rate: how many were read, 0 at its end, -1 on a read error.
  int readAtFileRate(float* samples, int count, std::string& reason);
};

#pragma once
// Sound files read in: any format libsndfile knows, as mono floats. The io folder holds
// the files the program reads and writes; it may use core/, platform/, analysis/, audio/ and view/.

#include <string>
#include <vector>

#include "core/constants.hpp"

inline constexpr int kReplaySampleRate = static_cast<int>(kSampleRate);  // Hz; anything else is refused, not resampled

// A sound file read in order as mono floats (channels averaged), a buffer at a time,
// so that memory does not grow with the length of the file. Its length is what the
// decoder gives before it says the data ends: a header can claim more, or nothing.
class MonoSoundReader {
 public:
  MonoSoundReader() = default;
  MonoSoundReader(const MonoSoundReader&) = delete;
  MonoSoundReader& operator=(const MonoSoundReader&) = delete;
  ~MonoSoundReader();

  // Refuses anything but a regular 44100 Hz sound file; false with a one-line reason.
  bool open(const std::string& path, std::string& reason);
  // Frames in the file as its header claims them, 0 where it does not say: a hint only, never a promise.
  long long frames() const { return frames_; }
  // The next `count` samples, silence once the file has ended; false on a read error.
  bool read(float* samples, int count, std::string& reason);
  // True once a read has found the end of the data: samplesRead() is then all the file holds.
  bool ended() const { return ended_; }
  // Samples of the file handed out so far, the silence after its end left out.
  long long samplesRead() const { return samplesRead_; }

 private:
  void* file_ = nullptr;  // SNDFILE*
  int fd_ = -1;           // the file libsndfile reads, closed after it
  std::string path_;
  long long frames_ = 0;
  int channels_ = 1;
  bool chatty_ = false;  // a decoder that prints its own complaints on stderr
  bool ended_ = false;        // the decoder has no more
  long long samplesRead_ = 0;
  std::vector<float> chunk_;  // frames read ahead, all channels interleaved
  int chunkFrames_ = 0;       // frames in `chunk_`
  int chunkNext_ = 0;         // the first of them not yet handed out

  bool refill(std::string& reason);
};

// True when the sound file at `path` really holds frame number `frame` (counted from 0): whether
// its header's claim can be believed, asked of a reader of its own.
bool soundFileHoldsFrame(const std::string& path, long long frame);

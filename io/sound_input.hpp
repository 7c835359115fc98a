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
// so that memory does not grow with the length of the file. Its length is what the
// decoder gives before it says the data ends: a header can claim more, or nothing.
class MonoSoundReader {
 public:
  MonoSoundReader() = default;
  MonoSoundReader(const MonoSoundReader&) = delete;
  MonoSoundReader& operator=(const MonoSoundReader&) = delete;
  ~MonoSoundReader();

  // Refuses anything but a regular sound file at 8000 to 384000 Hz; false with a one-line reason.
  bool open(const std::string& path, std::string& reason);
  // Frames in the file as its header claims them, counted at 44100 Hz, 0 where it does not say: a
  // hint only, never a promise.
  long long frames() const { return frames_; }
  // The same claim in frames at the file's own rate.
  long long fileFrames() const { return fileFrames_; }
  // The file's own rate: at any other than 44100 Hz its samples are converted as they are read.
  int fileRate() const { return fileRate_; }
  // The next `count` samples at 44100 Hz, silence once the file has ended; false on a read error.
  bool read(float* samples, int count, std::string& reason);
  // A file at another rate is read and converted on a thread of its own from here on, ahead of
  // read(), which gives the same samples: for a reader whose own thread has other work.
  void convertAhead() {
    if (resampler_) resampler_->convertAhead();
  }
  // True once a read has found the end of the data: samplesRead() is then all the file holds.
  bool ended() const { return resampler_ ? resampler_->ended() : ended_; }
  // Samples handed out so far at 44100 Hz, the silence after the end left out.
  long long samplesRead() const { return resampler_ ? resampler_->samplesOut() : samplesRead_; }

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
  long long fileFrames_ = 0;
  int fileRate_ = kReplaySampleRate;
  std::unique_ptr<Resampler> resampler_;  // only for a file at another rate

  bool refill(std::string& reason);
  // The next samples at the file's rate: how many were read, 0 at its end, -1 on a read error.
  int readAtFileRate(float* samples, int count, std::string& reason);
};

// True when the sound file at `path` really holds frame number `frame` (counted from 0): whether
// its header's claim can be believed, asked of a reader of its own.
bool soundFileHoldsFrame(const std::string& path, long long frame);

#pragma once
// Sound at another rate brought to the analysis rate as it is read: libsoxr's very high
// quality recipe on one channel, a buffer at a time, so memory stays flat for any length.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

inline constexpr int kLowestFileRate = 8000;     // Hz, the lowest rate a file may have
inline constexpr int kHighestFileRate = 384000;  // Hz, the highest

// Where a converter takes its input: writes up to `count` samples at the file's rate and
// returns how many, 0 once the input has ended, -1 with `reason` when reading failed.
using RateSource = std::function<int(float* samples, int count, std::string& reason)>;

// One stream converted from its rate to 44100 Hz. libsoxr takes the filter's delay out
// itself (a sound at input time t comes out at the same t), provided the tail is flushed.
class Resampler {
 public:
  Resampler() = default;
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;
  ~Resampler();

  // `name` starts the reason when something fails (the file's path). False with a one-line reason.
  bool open(int fromRate, const std::string& name, RateSource source, std::string& reason);
  // From here on the source is read and converted on a thread of its own, a few blocks ahead of
  // read(), for a reader whose own thread has other work; read() gives the same samples.
  void convertAhead();
  // The next `count` samples at 44100 Hz: the converted input, its flushed tail, then silence.
  // False when the source failed (with its reason) or the conversion did.
  bool read(float* samples, int count, std::string& reason);
  // True once read() has handed out the last converted sample; samplesOut() is then all there is.
  bool ended() const;
  // Converted samples read() has handed out, the silence after them left out.
  long long samplesOut() const;

 private:
  void* soxr_ = nullptr;  // soxr_t
  std::string name_;
  RateSource source_;
  std::vector<float> input_;  // one read of the source
  int inputFirst_ = 0;        // the first input sample not yet taken by the converter
  int inputCount_ = 0;
  bool inputEnded_ = false;
  bool drained_ = false;  // the tail is out: silence from here on
  long long made_ = 0;    // converted samples, the silence after them left out

  // Converting ahead: a ring of blocks the worker fills and read() empties.
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<float> ring_;
  long long blocksMade_ = 0, blocksTaken_ = 0;
  int blockNext_ = 0;  // in the block read() is emptying
  bool stopping_ = false, workerDone_ = false;
  std::string workerFailure_;
  long long madeShared_ = 0;  // made_ and drained_ as the worker last told them
  bool drainedShared_ = false;
  long long handed_ = 0;  // the reader's side: samples taken from the blocks
  long long madeSeen_ = 0;
  bool drainedSeen_ = false;

  bool takeInput(std::string& reason);
  bool convert(float* samples, int count, std::string& reason);
  void runAhead();
  bool readAhead(float* samples, int count, std::string& reason);
};

// The frames at 44100 Hz that `frames` at `rate` come out as (rounded to nearest, halves up,
// as the converter does); saturates rather than overflow for absurd counts.
long long convertedFrames(long long frames, int rate);

// One line on a file read at another rate: "PATH is at R Hz: converted to 44100 Hz as it is read".
std::string conversionLine(const std::string& path, int fileRate);

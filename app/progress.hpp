#pragma once
// How far a long headless run has come: one line on a terminal, drawn over itself a
// few times a second and wiped at the end, so that only the run's own lines stay.

#include <chrono>
#include <cstdio>
#include <string>

// What one look at the run finds.
struct ProgressFacts {
  double audioSeconds = 0;  // of the run's audio fed so far
  double totalSeconds = 0;  // the run's whole length; 0 where it is not known
  double wallSeconds = 0;   // since the run started
};

// "sonavel: 42% of the input, 50:24 of audio, 1210x real time, 0:07 left"; where the
// length is not known, or the run has gone past it, the audio time and the speed alone.
std::string progressText(const ProgressFacts& facts);

// A run of this much audio or less shows nothing: it is over before anyone looks.
inline constexpr double kLeastWatchedAudioSeconds = 10.0;
// The line is drawn at most this often.
inline constexpr auto kProgressInterval = std::chrono::milliseconds(250);

class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = Clock::time_point (*)();

  // Draws on `terminal` only where `shown` (the caller found it is one); the time from `now`.
  ProgressLine(std::FILE* terminal, bool shown, Now now = Clock::now);
  // The run has fed `step` steps out of `totalSteps` (0: not known).
  void update(long long step, long long totalSteps);
  // Wipes the line if it was drawn; nothing is written otherwise.
  void finish();
  // How many times the line was drawn.
  int draws() const { return draws_; }

 private:
  std::FILE* terminal_;
  bool shown_;
  Now now_;
  Clock::time_point start_;
  Clock::time_point last_;
  std::size_t width_ = 0;  // characters of the line now on the terminal
  int draws_ = 0;

  void draw(const std::string& text);
};

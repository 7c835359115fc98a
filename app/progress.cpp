#include "app/progress.hpp"

#include <algorithm>
#include <cmath>

#include "core/constants.hpp"
#include "platform/terminal.hpp"

namespace {

constexpr int kCheckSteps = 256;  // the clock is read once per this many steps (about 3 s of audio)
constexpr double kSecondsPerStep = kFramesPerBuffer / kSampleRate;
constexpr int kMostPercent = 99;  // 100 % is the end, where the line goes
constexpr double kTenfold = 10.0; // from here the speed needs no decimal

// 7:05, or 1:07:05 from an hour on.
std::string clockTime(long long seconds) {
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  return text;
}

}  // namespace

std::string progressText(const ProgressFacts& facts) {
  const bool lengthKnown = facts.totalSeconds > 0 && facts.audioSeconds < facts.totalSeconds;
  const bool timed = facts.wallSeconds > 0 && facts.audioSeconds > 0;
  std::string text = "sonavel: ";
  if (lengthKnown) {
    const int percent = std::min(static_cast<int>(facts.audioSeconds / facts.totalSeconds * 100), kMostPercent);
    text += std::to_string(percent) + "% of the input, ";
  }
  text += clockTime(static_cast<long long>(facts.audioSeconds)) + " of audio";
  if (!timed) return text;
  const double speed = facts.audioSeconds / facts.wallSeconds;
  char times[32];
  std::snprintf(times, sizeof times, speed >= kTenfold ? ", %.0fx real time" : ", %.1fx real time", speed);
  text += times;
  if (lengthKnown)
    text += ", " + clockTime(static_cast<long long>(std::ceil((facts.totalSeconds - facts.audioSeconds) / speed))) + " left";
  return text;
}

ProgressLine::ProgressLine(std::FILE* terminal, bool shown, Now now)
    : terminal_(terminal), shown_(shown), now_(now), start_(now()), last_(start_) {}

void ProgressLine::update(long long step, long long totalSteps) {
  if (!shown_ || step % kCheckSteps != 0) return;
  const Clock::time_point now = now_();
  if (now - last_ < kProgressInterval) return;
  ProgressFacts facts;
  facts.audioSeconds = static_cast<double>(step) * kSecondsPerStep;
  facts.totalSeconds = static_cast<double>(totalSteps) * kSecondsPerStep;
  facts.wallSeconds = std::chrono::duration<double>(now - start_).count();
  const bool longRun = totalSteps > 0 ? facts.totalSeconds > kLeastWatchedAudioSeconds
                                      : facts.audioSeconds > kLeastWatchedAudioSeconds;
  if (!longRun) return;
  last_ = now;
  draw(progressText(facts));
}

// Over the line before, with spaces where it was longer; never as wide as the terminal, where
// the cursor would wrap to a line the carriage return cannot reach.
void ProgressLine::draw(const std::string& text) {
  const std::size_t room = static_cast<std::size_t>(std::max(terminalColumns(terminal_) - 1, 1));
  const std::string line = text.substr(0, room);
  const std::size_t pad = width_ > line.size() ? width_ - line.size() : 0;
  std::fprintf(terminal_, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
  std::fflush(terminal_);
  width_ = line.size();
  ++draws_;
}

void ProgressLine::finish() {
  if (width_ == 0) return;
  std::fprintf(terminal_, "\r%*s\r", static_cast<int>(width_), "");
  std::fflush(terminal_);
  width_ = 0;
}

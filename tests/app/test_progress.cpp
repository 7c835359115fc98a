// The progress line of a long headless run: what it says, when it is drawn, and that it leaves nothing behind.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/progress.hpp"
#include "core/constants.hpp"

namespace {

TEST(ProgressText, SaysHowFarWithTheSpeedAndTheTimeLeftWhereTheLengthIsKnown) {
  struct Case {
    ProgressFacts facts;
    const char* text;
  };
  const Case cases[] = {
      {{3024, 7200, 2.5}, "sonavel: 42% of the input, 50:24 of audio, 1210x real time, 0:04 left"},
      {{3723, 7200, 3}, "sonavel: 51% of the input, 1:02:03 of audio, 1241x real time, 0:03 left"},
      {{15, 7200, 10}, "sonavel: 0% of the input, 0:15 of audio, 1.5x real time, 1:19:50 left"},
      {{7199.99, 7200, 1}, "sonavel: 99% of the input, 1:59:59 of audio, 7200x real time, 0:01 left"},
      {{20, 100, 0}, "sonavel: 20% of the input, 0:20 of audio"},  // no time taken yet: no speed
      // No length known, or the header claimed less than the file held: no share, no time left.
      {{3024, 0, 2.5}, "sonavel: 50:24 of audio, 1210x real time"},
      {{100, 60, 1}, "sonavel: 1:40 of audio, 100x real time"},
  };
  for (const Case& c : cases) EXPECT_EQ(progressText(c.facts), c.text);
}

ProgressLine::Clock::time_point fakeNow;
ProgressLine::Clock::time_point readFakeClock() { return fakeNow; }

// What a terminal shows of `bytes` on its last line: a carriage return goes back to the
// start, a character overwrites, a newline starts a line of its own.
std::string lastLineShown(const std::string& bytes, int* newlines = nullptr) {
  std::string line;
  std::size_t column = 0;
  for (char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      line.clear();
      column = 0;
      if (newlines != nullptr) ++*newlines;
    } else {
      if (column == line.size()) line += c; else line[column] = c;
      ++column;
    }
  }
  return line;
}

class ProgressOnATerminal : public ::testing::Test {
 protected:
  std::FILE* terminal = std::tmpfile();
  static constexpr long long kHourSteps = static_cast<long long>(3600 * kSampleRate / kFramesPerBuffer);

  void TearDown() override { std::fclose(terminal); }
  std::string written() {
    std::fflush(terminal);
    std::string bytes;
    std::rewind(terminal);
    for (int c = std::fgetc(terminal); c != EOF; c = std::fgetc(terminal)) bytes += static_cast<char>(c);
    return bytes;
  }
  // Steps `from` to `to` at `perStep` of clock time each.
  void run(ProgressLine& line, long long from, long long to, long long total, std::chrono::microseconds perStep) {
    for (long long step = from; step < to; ++step) {
      line.update(step, total);
      fakeNow += perStep;
    }
  }
};

TEST_F(ProgressOnATerminal, IsDrawnAtMostFourTimesASecondAndWipedAtTheEnd) {
  ProgressLine line(terminal, true, readFakeClock);
  run(line, 0, 2 * kHourSteps, 2 * kHourSteps, std::chrono::microseconds(20));  // 2 hours in 12.4 s
  EXPECT_GE(line.draws(), 40);
  EXPECT_LE(line.draws(), 50);
  const std::string before = written();
  EXPECT_EQ(before.find('\n'), std::string::npos);
  EXPECT_EQ(lastLineShown(before).rfind("sonavel: 99% of the input, 1:5", 0), 0u) << lastLineShown(before);
  line.finish();
  int newlines = 0;
  const std::string after = written();
  const std::string shown = lastLineShown(after, &newlines);
  EXPECT_EQ(newlines, 0);
  EXPECT_EQ(shown.find_first_not_of(' '), std::string::npos) << shown;
  line.finish();  // once wiped, nothing more
  EXPECT_EQ(written(), after);
}

TEST_F(ProgressOnATerminal, AShorterLineCoversTheLongerOneBeforeIt) {
  ProgressLine line(terminal, true, readFakeClock);
  run(line, 0, kHourSteps / 2, 2 * kHourSteps, std::chrono::microseconds(100));
  EXPECT_GT(line.draws(), 0);
  run(line, kHourSteps / 2, kHourSteps, 0, std::chrono::microseconds(100));  // the length no longer known
  const std::string shown = lastLineShown(written());
  const std::size_t speed = shown.find("x real time");
  ASSERT_NE(speed, std::string::npos) << shown;
  EXPECT_EQ(shown.find_first_not_of(' ', speed + 11), std::string::npos) << shown;  // the longer line is gone
}

TEST_F(ProgressOnATerminal, ShowsNothingForAShortRunOrWhereNoOneWatches) {
  const long long tenSeconds = static_cast<long long>(kLeastWatchedAudioSeconds * kSampleRate / kFramesPerBuffer);
  {
    ProgressLine shortRun(terminal, true, readFakeClock);
    run(shortRun, 0, tenSeconds, tenSeconds, std::chrono::milliseconds(5));  // slow, but only ten seconds
    shortRun.finish();
  }
  {
    ProgressLine notWatched(terminal, false, readFakeClock);
    run(notWatched, 0, 2 * kHourSteps, 2 * kHourSteps, std::chrono::milliseconds(1));
    notWatched.finish();
  }
  EXPECT_EQ(written(), "");

  // Of unknown length: nothing until the run has gone past ten seconds of audio.
  ProgressLine unknown(terminal, true, readFakeClock);
  run(unknown, 0, tenSeconds, 0, std::chrono::milliseconds(5));
  EXPECT_EQ(unknown.draws(), 0);
  run(unknown, tenSeconds, 2 * tenSeconds, 0, std::chrono::milliseconds(5));
  EXPECT_GT(unknown.draws(), 0);
  EXPECT_EQ(lastLineShown(written()).find('%'), std::string::npos);
}

}  // namespace

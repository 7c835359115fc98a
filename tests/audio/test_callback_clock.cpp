// How punctually a callback comes: intervals against the period of the buffer before.

#include <gtest/gtest.h>

#include "audio/callback_clock.hpp"
#include "core/constants.hpp"

namespace {

constexpr std::int64_t kMs = 1000000;
const std::int64_t kPeriodNs = static_cast<std::int64_t>(kFramesPerBuffer * 1e9 / kSampleRate);  // 11.6 ms

TEST(CallbackClock, TheFirstCallHasNoIntervalAndTheFlagsAreCounted) {
  static CallbackClock clock;
  resetClock(clock);
  clockCall(clock, 5 * kMs, kFramesPerBuffer, true, false);
  clockCall(clock, 5 * kMs + kPeriodNs, kFramesPerBuffer, false, true);
  clockCall(clock, 5 * kMs + 2 * kPeriodNs, kFramesPerBuffer, true, true);
  const CallbackPace pace = callbackPace(clock);
  EXPECT_EQ(pace.calls, 3u);
  EXPECT_NEAR(pace.periodMs, 11.61, 0.01);
  EXPECT_NEAR(pace.longestMs, 11.61, 0.01);
  EXPECT_NEAR(pace.mostLateMs, 0.0, 1e-9);
  EXPECT_EQ(pace.inputOverflows, 2u);
  EXPECT_EQ(pace.outputUnderflows, 2u);
}

// 99 punctual calls and one late: the late one is the longest, the 99th percentile
// stays at the period's bin; two late in a hundred and it moves up to them.
TEST(CallbackClock, TheNinetyNinthPercentileIsTheBinThatHoldsNinetyNineOfAHundredIntervals) {
  struct Case {
    int late;            // intervals of 60 ms among 100
    double p99Ms;        // upper edge of its bin
  };
  for (const Case& c : {Case{0, 11.75}, Case{1, 11.75}, Case{2, 60.25}}) {
    SCOPED_TRACE(c.late);
    static CallbackClock clock;
    resetClock(clock);
    std::int64_t now = 0;
    clockCall(clock, now, kFramesPerBuffer, false, false);
    for (int i = 0; i < 100; ++i) {
      now += i < c.late ? 60 * kMs : kPeriodNs;
      clockCall(clock, now, kFramesPerBuffer, false, false);
    }
    const CallbackPace pace = callbackPace(clock);
    EXPECT_DOUBLE_EQ(pace.p99Ms, c.p99Ms);
    EXPECT_NEAR(pace.longestMs, c.late > 0 ? 60.0 : 11.61, 0.01);
    EXPECT_NEAR(pace.mostLateMs, c.late > 0 ? 60.0 - 11.61 : 0.0, 0.01);
  }
}

TEST(CallbackClock, AnIntervalBeyondTheLastBinIsKeptInItAndAsTheLongest) {
  static CallbackClock clock;
  resetClock(clock);
  clockCall(clock, 0, kFramesPerBuffer, false, false);
  clockCall(clock, 2000 * kMs, kFramesPerBuffer, false, false);
  const CallbackPace pace = callbackPace(clock);
  EXPECT_DOUBLE_EQ(pace.p99Ms, kClockBins * kClockBinMs);
  EXPECT_DOUBLE_EQ(pace.longestMs, 2000.0);
}

}  // namespace

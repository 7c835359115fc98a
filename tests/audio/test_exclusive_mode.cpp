// --exclusive: held at the first rate the devices take, else one line and the shared mode.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/exclusive_mode.hpp"

namespace {

// Devices that open held alone at the rates in `opens`, and refuse the others saying `why`.
ExclusiveTry devicesOpening(std::vector<double> opens, std::string why, std::vector<double>& tried) {
  return [=, &tried](double rate, std::string& refusal) {
    tried.push_back(rate);
    for (double r : opens)
      if (r == rate) return true;
    refusal = why;
    return false;
  };
}

TEST(ExclusiveMode, HeldAtTheFirstRateTakenElseOneLineAndShared) {
  struct Case {
    bool hostHasMode;
    std::vector<double> opens;
    std::string why;
    bool held;
    double rate;
    std::vector<double> tried;
    std::string note;
  };
  const Case cases[] = {
      {true, {44100, 48000}, "", true, 44100, {44100}, ""},
      {true, {48000}, "Invalid sample rate", true, 48000, {44100, 48000}, ""},
      {true, {}, "Invalid device (held by another program)", false, 0, {44100, 48000},
       "exclusive mode refused (Invalid device (held by another program)); using shared mode"},
      {true, {}, "", false, 0, {44100, 48000},
       "exclusive mode refused (the devices take neither 44100 Hz nor 48000 Hz held alone); using shared mode"},
      {false, {44100}, "", false, 0, {}, "--exclusive applies to WASAPI devices on Windows only; the audio runs as usual"},
  };
  for (const Case& c : cases) {
    std::vector<double> tried;
    const ExclusiveOutcome outcome = holdExclusive(c.hostHasMode, devicesOpening(c.opens, c.why, tried));
    EXPECT_EQ(outcome.held, c.held) << c.note;
    EXPECT_EQ(outcome.rate, c.rate) << c.note;
    EXPECT_EQ(tried, c.tried) << c.note;
    EXPECT_EQ(outcome.note, c.note);
  }
}

}  // namespace

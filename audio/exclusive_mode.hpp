#pragma once
// What --exclusive comes to: the devices held alone at the first rate they take, or one line on
// why not, the streams then opened shared. Apart from PortAudio, so that every outcome is tested.

#include <functional>
#include <string>

#include "core/constants.hpp"

inline constexpr double kExclusiveRates[] = {kSampleRate, 48000.0};  // Hz: the program's own, else the usual mix rate

// One try at `rate`: true when the streams opened held alone; else `why` may say what refused them.
using ExclusiveTry = std::function<bool(double rate, std::string& why)>;

struct ExclusiveOutcome {
  bool held = false;
  double rate = 0;   // Hz, when held
  std::string note;  // when not held: the line to show before the audio runs shared
};

// `hostHasMode`: the devices' host API can hold them alone at all (WASAPI).
ExclusiveOutcome holdExclusive(bool hostHasMode, const ExclusiveTry& tryRate);

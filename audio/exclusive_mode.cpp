#include "audio/exclusive_mode.hpp"

ExclusiveOutcome holdExclusive(bool hostHasMode, const ExclusiveTry& tryRate) {
  if (!hostHasMode) return {false, 0, "--exclusive applies to WASAPI devices on Windows only; the audio runs as usual"};
  std::string why = "the devices take neither 44100 Hz nor 48000 Hz held alone";
  for (double rate : kExclusiveRates) {
    std::string refusal;
    if (tryRate(rate, refusal)) return {true, rate, ""};
    if (!refusal.empty()) why = refusal;  // the last refusal with a reason says the most
  }
  return {false, 0, "exclusive mode refused (" + why + "); using shared mode"};
}

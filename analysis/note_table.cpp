#include "analysis/note_table.hpp"

#include "core/tuner_state.hpp"

namespace {
constexpr const char* kPitchNames[kPitchClasses] = {"A", "A#", "B", "C", "C#", "D",
                                                   "D#", "E", "F", "F#", "G", "G#"};
constexpr int kRowsBelowFirstC = 3;  // row 0 is A1; octave numbers change at C
constexpr int kFirstRowOctave = 1;
}  // namespace

void buildNoteTable() {
  // The running product in double of the float ratio drifts slightly sharp;
  // every reader uses these drifted values, so they are kept as they are.
  const double ratio = kSemitoneRatio;
  // At 440 the scale is exactly 1, so the standard table is unchanged to the bit.
  const double scale = tuner.referencePitch / kStandardPitch;
  double f = kLowestNote;
  for (int k = 0; k < kNoteCount; ++k) {
    tuner.noteFrequency[k] = f * scale;
    f = f * ratio;
  }
  for (int p = 0; p < kPitchClasses; ++p) tuner.keyColour[p] = kKeyColours[p];
}

std::string noteRowName(int row) {
  return std::string(kPitchNames[row % kPitchClasses]) +
         std::to_string((row + kPitchClasses - kRowsBelowFirstC) / kPitchClasses + kFirstRowOctave);
}

#include "analysis/note_table.hpp"

#include "app/tuner_state.hpp"

namespace {
// Pitch classes counted from A: A, A#, B, C, C#, D, D#, E, F, F#, G, G#.
constexpr bool kIsWhite[kPitchClasses] = {true, false, true, true, false, true,
                                          false, true, true, false, true, false};
}  // namespace

void buildNoteTable() {
  // The running product in double of the float ratio drifts slightly sharp;
  // every reader uses these drifted values, so they are kept as they are.
  const double ratio = kSemitoneRatio;
  double f = kLowestNote;
  for (int k = 0; k < kNoteCount; ++k) {
    tuner.noteFrequency[k] = f;
    f = f * ratio;
  }
  for (int p = 0; p < kPitchClasses; ++p) tuner.keyColour[p] = kIsWhite[p] ? kWhiteKey : kBlackKey;
}

#include "analysis/note_table.hpp"

#include "analysis/temperament.hpp"
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
  // Equal temperament is the table as it stands: not even a factor of 1 touches it.
  if (tuner.tuning.temperament != Temperament::Equal) temperNoteTable(tuner.tuning, tuner.noteFrequency);
  for (int p = 0; p < kPitchClasses; ++p) tuner.keyColour[p] = kKeyColours[p];
}

void noteRowNameInto(int row, char (&name)[kNoteNameSize]) {
  const int octave = (row + kPitchClasses - kRowsBelowFirstC) / kPitchClasses + kFirstRowOctave;  // 1 .. 7
  const char* pitch = kPitchNames[row % kPitchClasses];
  int length = 0;
  for (; pitch[length] != '\0'; ++length) name[length] = pitch[length];
  name[length] = static_cast<char>('0' + octave);
  name[length + 1] = '\0';
}

std::string noteRowName(int row) {
  char name[kNoteNameSize];
  noteRowNameInto(row, name);
  return name;
}

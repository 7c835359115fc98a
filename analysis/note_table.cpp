#include "analysis/note_table.hpp"

#include "analysis/temperament.hpp"
#include "core/tuner_state.hpp"

namespace {
using PitchNames = const char* [kPitchClasses];
// Counted from A, as the rows are; German B is the flat of H with or without --flats.
constexpr PitchNames kEnglishSharps = {"A", "A#", "B", "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#"};
constexpr PitchNames kEnglishFlats = {"A", "Bb", "B", "C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab"};
constexpr PitchNames kGermanSharps = {"A", "B", "H", "C", "Cis", "D", "Dis", "E", "F", "Fis", "G", "Gis"};
constexpr PitchNames kGermanFlats = {"A", "B", "H", "C", "Des", "D", "Es", "E", "F", "Ges", "G", "As"};
constexpr PitchNames kSolfegeSharps = {"La", "La#", "Si", "Do", "Do#", "Re", "Re#", "Mi", "Fa", "Fa#", "Sol", "Sol#"};
constexpr PitchNames kSolfegeFlats = {"La", "Sib", "Si", "Do", "Reb", "Re", "Mib", "Mi", "Fa", "Solb", "Sol", "Lab"};
constexpr int kLongestPitchName = 4;  // "Sol#", "Solb"
constexpr int kLongestOctave = 2;     // "-2" .. "10"

const PitchNames& pitchNamesOf(NoteNaming naming) {
  switch (naming.system) {
    case NameSystem::German: return naming.flats ? kGermanFlats : kGermanSharps;
    case NameSystem::Solfege: return naming.flats ? kSolfegeFlats : kSolfegeSharps;
    case NameSystem::English: break;
  }
  return naming.flats ? kEnglishFlats : kEnglishSharps;
}
constexpr int kRowsBelowFirstC = 3;  // row 0 is A1; octave numbers change at C
constexpr int kFirstRowOctave = 1;
static_assert(kMostTransposition % kPitchClasses == 0, "whole octaves keep the pitch classes in step");
static_assert(kMostTransposition <= 4 * kPitchClasses, "octaves -3 .. 11 keep every octave within two characters");
static_assert(kLongestPitchName + kLongestOctave + 1 <= kNoteNameSize, "the longest name and its zero fit");
}  // namespace

void buildNoteTable(NoteTable& notes) {
  // The running product in double of the float ratio drifts slightly sharp;
  // every reader uses these drifted values, so they are kept as they are.
  const double ratio = kSemitoneRatio;
  // At 440 the scale is exactly 1, so the standard table is unchanged to the bit.
  const double scale = notes.referencePitch / kStandardPitch;
  double f = kLowestNote;
  for (int k = 0; k < kNoteCount; ++k) {
    notes.frequency[k] = f * scale;
    f = f * ratio;
  }
  // Equal temperament is the table as it stands: not even a factor of 1 touches it.
  if (notes.tuning.temperament != Temperament::Equal) temperNoteTable(notes.tuning, notes.frequency);
  for (int p = 0; p < kPitchClasses; ++p) notes.keyColour[p] = kKeyColours[p];
}

void noteRowNameInto(int row, char (&name)[kNoteNameSize], NoteNaming naming) {
  // Counted from a row three octaves below the first, so both divisions round down.
  const int lifted = row + kMostTransposition;
  const int pitchClass = lifted % kPitchClasses;
  const int octave = (lifted + kPitchClasses - kRowsBelowFirstC) / kPitchClasses + kFirstRowOctave -
                     kMostTransposition / kPitchClasses;  // 1 .. 7 for the rows, -2 .. 10 transposed
  const char* pitch = pitchNamesOf(naming)[pitchClass];
  int length = 0;
  for (; pitch[length] != '\0'; ++length) name[length] = pitch[length];
  if (octave < 0) name[length++] = '-';
  const int digits = octave < 0 ? -octave : octave;
  if (digits >= 10) name[length++] = static_cast<char>('0' + digits / 10);
  name[length] = static_cast<char>('0' + digits % 10);
  name[length + 1] = '\0';
}

std::string noteRowName(int row, NoteNaming naming) {
  char name[kNoteNameSize];
  noteRowNameInto(row, name, naming);
  return name;
}

#include "analysis/temperament.hpp"

#include <cmath>

namespace {

constexpr double kCentsPerOctave = 1200.0;
constexpr double kOctaveRatio = 2.0;  // pow, not exp2: the Windows build checks pow's bits against glibc's
constexpr int kAStep = 9;  // A, in semitones above C: entry 0 of the note table is an A

struct TemperamentRow {
  Temperament temperament;
  const char* name;
  double cents[kPitchClasses];  // from equal temperament, the key first
};

// Cents from equal temperament of each note counted from the key, to a thousandth.
const TemperamentRow kTemperaments[] = {
    {Temperament::Equal, "equal", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    // 5-limit just intonation of the major key: 1, 16/15, 9/8, 6/5, 5/4, 4/3, 45/32, 3/2, 8/5, 5/3, 9/5, 15/8
    // (the minor second, minor third, minor sixth and minor seventh of the minor mode; 45/32 the tritone).
    {Temperament::Just, "just",
     {0, 11.731, 3.910, 15.641, -13.686, -1.955, -9.776, 1.955, 13.686, -15.641, 17.596, -11.731}},
    // Pure 3/2 fifths from the minor third to the augmented fifth (Eb .. G# on C), the wolf between them:
    // 2187/2048, 9/8, 32/27, 81/64, 4/3, 729/512, 3/2, 6561/4096, 27/16, 16/9, 243/128.
    {Temperament::Pythagorean, "pythagorean",
     {0, 13.685, 3.910, -5.865, 7.820, -1.955, 11.730, 1.955, 15.640, 5.865, -3.910, 9.775}},
    // Quarter-comma meantone (Aron): fifths of 5^(1/4), 696.578 cents, over the same Eb .. G# chain,
    // so the major thirds C-E, G-B, D-F#, A-C#, E-G#, F-A, Bb-D, Eb-G are pure 5/4.
    {Temperament::Meantone, "meantone",
     {0, -23.951, -6.843, 10.265, -13.686, 3.422, -20.529, -3.422, -27.373, -10.265, 6.843, -17.108}},
    // Werckmeister III (1691): C-G-D-A and B-F# narrowed by a quarter of the Pythagorean comma, the rest pure.
    {Temperament::Werckmeister3, "werckmeister3",
     {0, -9.775, -7.820, -5.865, -9.775, -1.955, -11.730, -3.910, -7.820, -11.730, -3.910, -7.820}},
    // Vallotti: F-C-G-D-A-E-B narrowed by a sixth of the Pythagorean comma, the rest pure.
    {Temperament::Vallotti, "vallotti",
     {0, -5.865, -3.910, -1.955, -7.820, 1.955, -7.820, -1.955, -3.910, -5.865, 0, -9.775}},
};
static_assert(std::size(kTemperaments) == kTemperamentCount);

const TemperamentRow& rowOf(Temperament temperament) { return kTemperaments[static_cast<int>(temperament)]; }

// The letters' semitones above C, from A.
constexpr int kLetterSemitones[] = {9, 11, 0, 2, 4, 5, 7};

}  // namespace

double temperamentCents(Temperament temperament, int step) { return rowOf(temperament).cents[step]; }

const char* temperamentName(Temperament temperament) { return rowOf(temperament).name; }

bool temperamentNamed(std::string_view name, Temperament& out) {
  for (const TemperamentRow& row : kTemperaments)
    if (name == row.name) {
      out = row.temperament;
      return true;
    }
  return false;
}

bool keyNamed(std::string_view name, int& semitonesAboveC) {
  if (name.empty() || name.size() > 2) return false;
  const char letter = name[0] >= 'a' ? static_cast<char>(name[0] - 'a' + 'A') : name[0];
  if (letter < 'A' || letter > 'G') return false;
  int semitones = kLetterSemitones[letter - 'A'];
  if (name.size() == 2) {
    if (name[1] != '#' && name[1] != 'b') return false;
    semitones += name[1] == '#' ? 1 : kPitchClasses - 1;
  }
  semitonesAboveC = semitones % kPitchClasses;
  return true;
}

void temperNoteTable(const TemperamentChoice& choice, double* noteFrequency) {
  const auto stepOf = [&](int semitonesAboveC) { return (semitonesAboveC - choice.key + kPitchClasses) % kPitchClasses; };
  const double anchor = temperamentCents(choice.temperament, stepOf(kAStep));
  for (int k = 0; k < kNoteCount; ++k) {
    const int step = stepOf((k + kAStep) % kPitchClasses);
    noteFrequency[k] *= std::pow(kOctaveRatio, (temperamentCents(choice.temperament, step) - anchor) / kCentsPerOctave);
  }
}

// Temperaments: the tuned rows against published tunings, A4 held, keys and their names.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "analysis/note_table.hpp"
#include "analysis/temperament.hpp"
#include "core/tuner_state.hpp"

namespace {

constexpr int kC4 = 51;  // note table entry of C4 (entry 48 is A4)
constexpr int kA4 = 48;

double cents(double ratio) { return 1200.0 * std::log2(ratio); }

// The table built with `choice` at `pitch`, into `out`.
void tableOf(TemperamentChoice choice, double pitch, double (&out)[kNoteCount]) {
  const auto record = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& tuner = *record;
  tuner.notes.referencePitch = pitch;
  tuner.notes.tuning = choice;
  buildNoteTable(tuner.notes);
  for (int k = 0; k < kNoteCount; ++k) out[k] = tuner.notes.frequency[k];
}

// Published tunings on C: the cents of C#, D, ... B above C, each from its own source.
struct Published {
  Temperament temperament;
  double above[kPitchClasses - 1];
};

const Published kPublished[] = {
    // 5-limit just intonation: 16/15 9/8 6/5 5/4 4/3 45/32 3/2 8/5 5/3 9/5 15/8
    {Temperament::Just,
     {cents(16.0 / 15), cents(9.0 / 8), cents(6.0 / 5), cents(5.0 / 4), cents(4.0 / 3), cents(45.0 / 32),
      cents(3.0 / 2), cents(8.0 / 5), cents(5.0 / 3), cents(9.0 / 5), cents(15.0 / 8)}},
    // Pythagorean, Eb to G#: 2187/2048 9/8 32/27 81/64 4/3 729/512 3/2 6561/4096 27/16 16/9 243/128
    {Temperament::Pythagorean,
     {cents(2187.0 / 2048), cents(9.0 / 8), cents(32.0 / 27), cents(81.0 / 64), cents(4.0 / 3), cents(729.0 / 512),
      cents(3.0 / 2), cents(6561.0 / 4096), cents(27.0 / 16), cents(16.0 / 9), cents(243.0 / 128)}},
    // Quarter-comma meantone, Eb to G#, as published in cents.
    {Temperament::Meantone,
     {76.049, 193.157, 310.265, 386.314, 503.422, 579.471, 696.578, 772.627, 889.735, 1006.843, 1082.892}},
    // Werckmeister III, as published in cents.
    {Temperament::Werckmeister3,
     {90.225, 192.180, 294.135, 390.225, 498.045, 588.270, 696.090, 792.180, 888.270, 996.090, 1092.180}},
    // Vallotti, as published in cents.
    {Temperament::Vallotti,
     {94.135, 196.090, 298.045, 392.180, 501.955, 592.180, 698.045, 796.090, 894.135, 1000.000, 1090.225}},
};

// Cents of entry k above entry `tonic` in the tuned table, with the equal table's own steps taken out.
double tunedAbove(const double (&tuned)[kNoteCount], const double (&equal)[kNoteCount], int tonic, int k) {
  return 100.0 * (k - tonic) + cents(tuned[k] / equal[k]) - cents(tuned[tonic] / equal[tonic]);
}

TEST(Temperament, EveryTableMatchesItsPublishedTuningInEveryOctave) {
  double equal[kNoteCount], tuned[kNoteCount];
  tableOf({}, kStandardPitch, equal);
  for (const Published& p : kPublished) {
    tableOf({p.temperament, 0}, kStandardPitch, tuned);
    for (int octave = 0; octave < 9; ++octave) {
      const int c = kC4 - 48 + 12 * octave;  // the C of each octave: entries 3, 15, ... 99
      for (int n = 1; n < kPitchClasses; ++n)
        EXPECT_NEAR(tunedAbove(tuned, equal, c, c + n), p.above[n - 1], 0.001)
            << temperamentName(p.temperament) << " note " << n << " octave " << octave;
    }
  }
}

TEST(Temperament, EveryAKeepsItsPitchInEveryTemperamentKeyAndReference) {
  double equal[kNoteCount], tuned[kNoteCount];
  for (double pitch : {440.0, 442.0, 415.0}) {
    tableOf({}, pitch, equal);
    for (int t = 0; t < kTemperamentCount; ++t)
      for (int key = 0; key < kPitchClasses; ++key) {
        tableOf({Temperament(t), key}, pitch, tuned);
        for (int a = 0; a < kNoteCount; a += kPitchClasses) ASSERT_EQ(tuned[a], equal[a]) << t << " key " << key;
        for (int k = 1; k < kNoteCount; ++k) ASSERT_GT(tuned[k], tuned[k - 1]) << t << " key " << key;
      }
  }
}

TEST(Temperament, EqualLeavesTheTableAsItWasToTheBitWhateverTheKey) {
  double standard[kNoteCount], tuned[kNoteCount];
  tableOf({}, 442.0, standard);
  for (int key = 0; key < kPitchClasses; ++key) {
    tableOf({Temperament::Equal, key}, 442.0, tuned);
    for (int k = 0; k < kNoteCount; ++k) ASSERT_EQ(tuned[k], standard[k]) << key << " " << k;
  }
}

TEST(Temperament, TheKeyMovesTheTuningWithIt) {
  // In just intonation on any key the tonic's third is 5/4, its fifth 3/2, its sixth 5/3.
  double equal[kNoteCount], tuned[kNoteCount];
  tableOf({}, kStandardPitch, equal);
  for (int key = 0; key < kPitchClasses; ++key) {
    tableOf({Temperament::Just, key}, kStandardPitch, tuned);
    const int tonic = kC4 - 12 + key;  // the key's note in octave 3
    EXPECT_NEAR(tunedAbove(tuned, equal, tonic, tonic + 4), cents(5.0 / 4), 0.001) << key;
    EXPECT_NEAR(tunedAbove(tuned, equal, tonic, tonic + 7), cents(3.0 / 2), 0.001) << key;
    EXPECT_NEAR(tunedAbove(tuned, equal, tonic, tonic + 9), cents(5.0 / 3), 0.001) << key;
  }
}

TEST(Temperament, KeyNamesWithOneSharpOrFlat) {
  struct Key {
    const char* name;
    int semitones;  // -1: refused
  };
  const Key keys[] = {{"C", 0},  {"c", 0},   {"C#", 1}, {"Db", 1}, {"Eb", 3},  {"e", 4},   {"F#", 6},  {"Gb", 6},
                      {"A", 9},  {"bb", 10}, {"B", 11}, {"Cb", 11}, {"B#", 0},  {"", -1},   {"H", -1},  {"C##", -1},
                      {"Cx", -1}, {"#", -1}, {"CB", -1}, {"a#b", -1}};
  for (const Key& k : keys) {
    int semitones = -1;
    EXPECT_EQ(keyNamed(k.name, semitones), k.semitones >= 0) << k.name;
    if (k.semitones >= 0) {
      EXPECT_EQ(semitones, k.semitones) << k.name;
    }
  }
}

}  // namespace

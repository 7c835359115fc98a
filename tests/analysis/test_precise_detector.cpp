// The precise detector on made sounds: chords, octaves, silence and hiss, the cents reading.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/note_table.hpp"
#include "analysis/precise_detector.hpp"
#include "core/tuner_state.hpp"
#include "test_record.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSettleBlocks = 4;  // blocks fed before the one judged: the window is full by then

double rowHz(int row) { return 440.0 * std::pow(2.0, (row - 36) / 12.0); }

struct Partial {
  double hz;
  double amplitude;
};

// A harmonic note: partial h at h x f0 with the given amplitudes (1-based order).
std::vector<Partial> note(double f0, std::initializer_list<double> amplitudes) {
  std::vector<Partial> partials;
  int h = 1;
  for (double a : amplitudes) partials.push_back({f0 * h++, a});
  return partials;
}

std::vector<Partial> joined(std::initializer_list<std::vector<Partial>> notes) {
  std::vector<Partial> all;
  for (const auto& n : notes) all.insert(all.end(), n.begin(), n.end());
  return all;
}

class Precise : public WithRecord {
 protected:
  PreciseState state;
  float column[kNoteRows];
  PitchReading reading;
  long sample = 0;

  void SetUp() override {
    buildNoteTable(tuner.notes);
    resetPreciseDetector(state);
  }

  // Feeds `blocks` blocks of the partials at `level` (peak of the sum scaled to it), plus
  // optional white noise of that peak; judges the last.
  void feed(const std::vector<Partial>& partials, double level, int blocks = kSettleBlocks, double noise = 0.0,
            double gain = 1.0) {
    double sum = 0.0;
    for (const Partial& p : partials) sum += p.amplitude;
    std::mt19937 generator(5);
    std::uniform_real_distribution<double> hiss(-noise, noise);
    float block[kBlockSize];
    for (int b = 0; b < blocks; ++b) {
      for (int i = 0; i < kBlockSize; ++i, ++sample) {
        double v = hiss(generator);
        for (const Partial& p : partials) v += level * p.amplitude / sum * std::sin(2 * kPi * p.hz * sample / kSampleRate);
        block[i] = static_cast<float>(v);
      }
      const PreciseInput input{block, gain, tuner.notes.frequency + kNoteRowOffset};
      runPreciseDetector(input, state, column, reading);
    }
  }

  std::vector<int> litRows() const {
    std::vector<int> lit;
    for (int row = 0; row < kNoteRows; ++row)
      if (column[row] >= 0.5f) lit.push_back(row);
    return lit;
  }
};

using Rows = std::vector<int>;

TEST(HannWindow, OffsetAndLobeAtTheirKnownPoints) {
  EXPECT_DOUBLE_EQ(hannOffset(0.5), 0.0);  // centred: the neighbours stand at half height
  EXPECT_DOUBLE_EQ(hannOffset(1.0), 0.5);  // half-way: both bins equal
  EXPECT_DOUBLE_EQ(hannLobe(0.0), 1.0);
  EXPECT_DOUBLE_EQ(hannLobe(1.0), 0.5);
  EXPECT_NEAR(hannLobe(0.5), 0.8488263631567751, 1e-12);  // 8 / (3 pi)
}

TEST_F(Precise, ATriadOfHarmonicNotesLightsItsThreeRowsAndNoOther) {
  const double decay[] = {1.0, 0.6, 0.4, 0.3, 0.2, 0.15, 0.1, 0.08};
  auto harmonic = [&](int row) {
    std::vector<Partial> p;
    for (int h = 1; h <= 8; ++h) p.push_back({rowHz(row) * h, decay[h - 1]});
    return p;
  };
  feed(joined({harmonic(27), harmonic(31), harmonic(34)}), 0.3);  // C4 E4 G4
  EXPECT_EQ(litRows(), (Rows{27, 31, 34}));
  EXPECT_EQ(reading.row == 27 || reading.row == 31 || reading.row == 34, true) << reading.row;
}

TEST_F(Precise, AStrongSecondPartialIsNotTakenForTheOctave) {
  feed(note(rowHz(24), {0.5, 1.0, 0.3, 0.6, 0.2, 0.3}), 0.3);  // A3 whose second partial leads
  EXPECT_EQ(litRows(), (Rows{24}));
  EXPECT_EQ(reading.row, 24);
}

TEST_F(Precise, FaintOddPartialsDoNotMoveANoteAnOctaveDown) {
  // G#5 with traces of the odd partials of the octave below 33 to 40 dB down, as a breathy
  // flute sample has them: every partial fits G#4 too, and G#4's series is the fuller.
  const double f = rowHz(47);
  feed(joined({note(f, {1.0, 0.35, 0.12, 0.05, 0.02}),
                {{f / 2, 0.01}, {1.5 * f, 0.022}, {2.5 * f, 0.022}, {3.5 * f, 0.009}}}),
       0.3);
  EXPECT_EQ(litRows(), (Rows{47}));
  EXPECT_EQ(reading.row, 47);
}

TEST_F(Precise, SilenceAndHissStayDarkAtAnyLevel) {
  feed({}, 0.0, 10);
  EXPECT_TRUE(litRows().empty());
  EXPECT_EQ(reading.row, -1);
  for (float score : column) EXPECT_EQ(score, 0.0f);
  for (const double hiss : {0.0003, 0.003, 0.3}) {  // white noise peaking at -70, -50 and -10 dBFS
    for (int b = 0; b < 20; ++b) {
      feed({}, 0.0, 1, hiss);
      EXPECT_TRUE(litRows().empty()) << hiss << " block " << b;
    }
  }
}

TEST_F(Precise, ANoteInHissIsStillFound) {
  feed(note(rowHz(36), {1.0, 0.5, 0.3}), 0.1, kSettleBlocks, 0.003);  // 30 dB over the hiss
  EXPECT_EQ(litRows(), (Rows{36}));
}

TEST_F(Precise, TheLevelChangesNothingFromNearSilenceToFullScale) {
  for (const double level : {0.0001, 0.01, 0.9}) {
    SetUp();
    feed(note(rowHz(20), {1.0, 0.5, 0.25}), level);
    EXPECT_EQ(litRows(), (Rows{20})) << level;
  }
}

TEST_F(Precise, DigitalNearSilenceLightsOnlyWhenTheGainLiftsIt) {
  feed(note(rowHz(36), {1.0}), 1e-6);  // -120 dBFS
  EXPECT_TRUE(litRows().empty());
  feed(note(rowHz(36), {1.0}), 1e-6, kSettleBlocks, 0.0, 100.0);
  EXPECT_EQ(litRows(), (Rows{36}));
}

struct SineCase {
  double hz;
  int row;
  double cents;      // from the row's tuned pitch
  double tolerance;  // cents
};

TEST_F(Precise, TheReadingOfASineIsWithinTwoCentsAndFiveAtTheLowestRow) {
  const SineCase cases[] = {
      {55.0, 0, 0.0, 5.0},      {rowHz(0) * std::pow(2.0, 30 / 1200.0), 0, 30.0, 5.0},
      {110.0, 12, 0.0, 2.0},    {rowHz(36) * std::pow(2.0, -30 / 1200.0), 36, -30.0, 2.0},
      {440.0, 36, 0.0, 2.0},    {rowHz(50) * std::pow(2.0, 45 / 1200.0), 50, 45.0, 2.0},
      {3000.0, 69, 1200.0 * std::log2(3000.0 / rowHz(69)), 2.0},
  };
  for (const SineCase& c : cases) {
    SetUp();
    feed({{c.hz, 1.0}}, 0.5);
    EXPECT_EQ(reading.row, c.row) << c.hz;
    EXPECT_NEAR(reading.cents, c.cents, c.tolerance) << c.hz;
    EXPECT_NEAR(1200.0 * std::log2(reading.frequency / c.hz), 0.0, c.tolerance) << c.hz;
    EXPECT_GT(reading.confidence, 0.9) << c.hz;
    EXPECT_EQ(litRows(), (Rows{c.row})) << c.hz;
  }
}

TEST_F(Precise, TheReadingFollowsTheReferencePitch) {
  tuner.notes.referencePitch = 442.0;
  buildNoteTable(tuner.notes);
  feed({{440.0, 1.0}}, 0.5);
  EXPECT_EQ(reading.row, 36);
  EXPECT_NEAR(reading.cents, 1200.0 * std::log2(440.0 / 442.0), 0.5);  // about -7.9
}

// Rows of C2, C3, C4, E4, G4: 15 + 12 per octave from C3.
constexpr int kC2 = 3, kC3 = 15, kC4 = 27, kE4 = 31, kG4 = 34;

TEST_F(Precise, PureSinesAreEachANoteInChordsAndOctaves) {
  struct Case {
    const char* what;
    Rows rows;
  };
  const Case cases[] = {
      {"triad", {kC4, kE4, kG4}}, {"fifth", {kC4, kG4}}, {"octave", {kC3, kC4}}, {"fourth", {kG4 - 12, kC4}}};
  for (const Case& c : cases) {
    SetUp();
    std::vector<Partial> sines;
    for (int row : c.rows) sines.push_back({rowHz(row), 1.0});
    feed(sines, 0.3);
    EXPECT_EQ(litRows(), c.rows) << c.what;
  }
}

// A plucked or struck harmonic series of 12 partials falling as 1/h.
std::vector<Partial> struck(double f0) {
  std::vector<Partial> partials;
  for (int h = 1; h <= 12; ++h) partials.push_back({f0 * h, 1.0 / h});
  return partials;
}

TEST_F(Precise, AnOctaveDoublingLightsBothRows) {
  feed(joined({struck(rowHz(kC3)), struck(rowHz(kC4))}), 0.3);
  EXPECT_EQ(litRows(), (Rows{kC3, kC4}));
  SetUp();
  feed(struck(rowHz(kC3)), 0.3);  // alone, the lower note stays alone
  EXPECT_EQ(litRows(), (Rows{kC3}));
}

TEST_F(Precise, ALowNoteWithoutItsFundamentalIsNamedInItsFirstWindow) {
  // A piano or cello C2 at its onset: the fundamental not yet risen, partials 2 and 3 leading.
  const std::vector<Partial> partials = note(rowHz(kC2), {0.0, 1.0, 0.7, 0.5, 0.45, 0.3, 0.25, 0.2, 0.15, 0.1});
  feed(partials, 0.3, 2);
  EXPECT_EQ(litRows(), (Rows{kC2}));
}

TEST_F(Precise, ADecayingHighNoteStaysOnItsRowOverResonancesBelow) {
  // F#7 fading by 13 dB a second over what it set ringing: a string a little sharp of F#6 (its
  // second partial under F#7's), and one near G6 with its second partial. Judged while F#7 still
  // stands over the resonances.
  constexpr int kFSharp7 = 69;
  const double f = rowHz(kFSharp7);
  const Partial resonances[] = {{f / 2 * 1.0087, 0.06}, {1580.0, 0.03}, {3170.0, 0.03}};
  float block[kBlockSize];
  for (int b = 0; b < 16; ++b) {
    for (int i = 0; i < kBlockSize; ++i, ++sample) {
      const double t = static_cast<double>(sample) / kSampleRate;
      double v = 0.5 * std::exp(-1.5 * t) * std::sin(2 * kPi * f * t);
      for (const Partial& r : resonances) v += r.amplitude * std::sin(2 * kPi * r.hz * t);
      block[i] = static_cast<float>(v);
    }
    const PreciseInput input{block, 1.0, tuner.notes.frequency + kNoteRowOffset};
    runPreciseDetector(input, state, column, reading);
    if (b >= kSettleBlocks) {
      EXPECT_EQ(litRows(), (Rows{kFSharp7})) << "block " << b;
    }
  }
}

TEST_F(Precise, ANoteThatStoppedIsGoneWithinTwoBlocks) {
  feed(note(rowHz(30), {1.0, 0.5}), 0.3);
  EXPECT_EQ(litRows(), (Rows{30}));
  feed({}, 0.0, 2);
  EXPECT_TRUE(litRows().empty());
  EXPECT_EQ(reading.row, -1);
}

}  // namespace

namespace {

// The cents read-out follows the temperament: a pure 5/4 above the table's C4 is in tune in
// just intonation on C, and 13.7 cents flat of equal temperament's E4.
TEST_F(Precise, APureThirdAboveCReadsInTuneInJustIntonationAndFlatInEqual) {
  struct Case {
    Temperament temperament;
    double cents;
  };
  for (const Case c : {Case{Temperament::Just, 0.0}, Case{Temperament::Equal, -13.686}}) {
    SetUp();
    tuner.notes.tuning = {c.temperament, 0};
    buildNoteTable(tuner.notes);
    feed({{tuner.notes.frequency[kNoteRowOffset + kC4] * 5.0 / 4.0, 1.0}}, 0.5);
    EXPECT_EQ(reading.row, kE4);
    EXPECT_NEAR(reading.cents, c.cents, 0.3) << static_cast<int>(c.temperament);
  }
}

}  // namespace

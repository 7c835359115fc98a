// Naming notes from a frame's partials: fundamentals over their partials, low notes whose
// fundamental is weak or missing, octave doublings, chords, what a held row keeps, and the faint
// partials beside a loud note that are no note.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/harmonic_search.hpp"

namespace {

constexpr double kBinHz = kSampleRate / kPreciseWindow;
constexpr double kCleanOverFloorDb = 60.0;  // a partial of a clean recording
// Rows: A1 is row 0, 12 per octave.
constexpr int kA1 = 0, kC2 = 3, kA2 = 12, kC3 = 15, kE3 = 19, kG3 = 22, kA3 = 24, kC4 = 27, kE4 = 31, kG4 = 34,
              kA4 = 36, kC6 = 51, kE6 = 55, kA6 = 60, kHighest = 71;

double rowHz(int row) { return 55.0 * std::pow(2.0, row / 12.0); }

struct Partial {
  double hz;
  double amplitude;
  double overFloor = kCleanOverFloorDb;
};

using Partials = std::vector<Partial>;
using Rows = std::vector<int>;

// Partial h at h x f0 with the given amplitudes, 0 for one that is missing.
Partials series(double f0, std::initializer_list<double> amplitudes) {
  Partials partials;
  int h = 1;
  for (const double a : amplitudes) {
    if (a > 0.0) partials.push_back({f0 * h, a});
    ++h;
  }
  return partials;
}

// A plucked or struck string: partials falling as 1/h, up to the highest looked at.
Partials struck(int row, double loudness = 1.0) {
  Partials partials;
  for (int h = 1; h <= 12 && h * rowHz(row) < kPreciseMaxPartialHz; ++h)
    partials.push_back({h * rowHz(row), loudness / h});
  return partials;
}

// A stiff string: partial h sharp by a factor sqrt(1 + B h^2), some 36 cents at h = 12.
Partials stretched(double f0, int partials) {
  constexpr double kStiffness = 3e-4;
  Partials out;
  for (int h = 1; h <= partials; ++h) out.push_back({h * f0 * std::sqrt(1.0 + kStiffness * h * h), 1.0 / h});
  return out;
}

Partials joined(std::initializer_list<Partials> parts) {
  Partials all;
  for (const Partials& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// The peak list a frame of these partials gives: ascending, partials closer than a bin heard as
// one (their amplitudes add, as in-phase sines do), the search index filled as the header says.
PeakList peaksOf(Partials partials) {
  std::sort(partials.begin(), partials.end(), [](const Partial& a, const Partial& b) { return a.hz < b.hz; });
  PeakList list;
  for (const Partial& p : partials) {
    SpectralPeak* last = list.count > 0 ? &list.peaks[list.count - 1] : nullptr;
    if (last && p.hz - last->frequency < kBinHz) {
      last->amplitude += p.amplitude;
      last->overFloor = std::max(last->overFloor, p.overFloor);
    } else {
      list.peaks[list.count++] = {p.hz, p.amplitude, p.overFloor};
    }
  }
  for (int i = 0; i < list.count; ++i) list.strongest = std::max(list.strongest, list.peaks[i].amplitude);
  int next = 0;
  for (int k = 0; k <= kPreciseBins; ++k) {
    while (next < list.count && list.peaks[next].frequency < k * kBinHz) ++next;
    list.firstFrom[k] = static_cast<short>(next);
  }
  return list;
}

struct Search {
  double rowFrequency[kNoteRows];
  bool held[kNoteRows] = {};
  SearchWork work;
  NoteSearch out;

  Search() {
    for (int row = 0; row < kNoteRows; ++row) rowFrequency[row] = rowHz(row);
  }

  const NoteSearch& of(const Partials& partials, const Rows& heldRows = {}) {
    std::fill(std::begin(held), std::end(held), false);
    for (const int row : heldRows) held[row] = true;
    const PeakList peaks = peaksOf(partials);
    searchNotes(peaks, rowFrequency, held, work, out);
    return out;
  }

  // The rows named, in ascending order.
  Rows rows(const Partials& partials, const Rows& heldRows = {}) {
    of(partials, heldRows);
    Rows named;
    for (int i = 0; i < out.count; ++i) named.push_back(out.notes[i].row);
    std::sort(named.begin(), named.end());
    return named;
  }
};

std::string shown(const Rows& rows) {
  std::string s;
  for (const int row : rows) s += std::to_string(row) + " ";
  return s;
}

double centsBetween(double hz, double reference) { return 1200.0 * std::log2(hz / reference); }

TEST(SearchNotes, NothingToHearNamesNothing) {
  Search search;
  const NoteSearch& out = search.of({});
  EXPECT_EQ(out.count, 0);
  EXPECT_EQ(out.firstShare, 0.0);
  for (const float e : out.evidence) EXPECT_EQ(e, 0.0f);
}

TEST(SearchNotes, AHarmonicSeriesIsNamedByItsFundamentalOnEveryRow) {
  // Never by its second or third partial, at any height; its pitch fitted to its partials.
  Search search;
  for (const int row : {kA1, kC2, kA2, kC3, kC4, kA4, kC6, kA6, kHighest}) {
    const NoteSearch& out = search.of(struck(row));
    ASSERT_EQ(out.count, 1) << "row " << row << ": " << shown(search.rows(struck(row)));
    EXPECT_EQ(out.notes[0].row, row);
    EXPECT_NEAR(centsBetween(out.notes[0].frequency, rowHz(row)), 0.0, 0.5) << "row " << row;
    EXPECT_EQ(out.evidence[row], 1.0f) << "row " << row;
    EXPECT_GT(out.firstShare, 0.9) << "row " << row;
    for (const float e : out.evidence) EXPECT_TRUE(e >= 0.0f && e <= 1.0f) << "row " << row;
  }
}

TEST(SearchNotes, TheFittedPitchFollowsAMistunedSeries) {
  Search search;
  for (const double cents : {-40.0, -12.0, 17.0, 45.0}) {
    const double f0 = rowHz(kA3) * std::pow(2.0, cents / 1200.0);
    const NoteSearch& out = search.of(series(f0, {1.0, 0.5, 0.33, 0.25, 0.2}));
    ASSERT_EQ(out.count, 1) << cents;
    EXPECT_EQ(out.notes[0].row, kA3) << cents;
    EXPECT_NEAR(centsBetween(out.notes[0].frequency, f0), 0.0, 0.5) << cents;
  }
}

struct NamedCase {
  const char* what;
  Partials partials;
  Rows rows;
};

void expectRows(const NamedCase* cases, size_t count) {
  Search search;
  for (size_t i = 0; i < count; ++i) EXPECT_EQ(search.rows(cases[i].partials), cases[i].rows) << cases[i].what;
}

TEST(SearchNotes, AWeakOrMissingFundamentalStillNamesAFullSeriesButNotTwoOrThreeTones) {
  const double c2 = rowHz(kC2), c3 = rowHz(kC3);
  const NamedCase cases[] = {
      {"low C2 at its onset, partials 2 to 10 only",
       series(c2, {0.0, 1.0, 0.7, 0.5, 0.45, 0.3, 0.25, 0.2, 0.15, 0.1}), {kC2}},
      {"low C2 with its fundamental 30 dB under its second partial",
       series(c2, {0.03, 1.0, 0.7, 0.5, 0.45, 0.3, 0.25, 0.2, 0.15, 0.1}), {kC2}},
      {"C3 whose second partial leads", series(c3, {0.3, 1.0, 0.6, 0.4, 0.3, 0.2}), {kC3}},
      {"C4 and G4 alone: partials 2 and 3 of C3", series(c3, {0.0, 1.0, 1.0}), {kC4, kG4}},
      {"C4 E4 G4 as sines: partials 4, 5 and 6 of C2", series(rowHz(kC2), {0.0, 0.0, 0.0, 1.0, 1.0, 1.0}),
       {kC4, kE4, kG4}},
      {"only the even partials of C3: C4", series(c3, {0.0, 1.0, 0.0, 0.5, 0.0, 0.33, 0.0, 0.25}), {kC4}},
      {"C4 over traces of the odd partials of C3, 30 dB down",
       series(c3, {0.03, 1.0, 0.03, 0.5, 0.03, 0.33, 0.03, 0.25}), {kC4}},
      {"a piano's C2, its partials stretched sharp", stretched(rowHz(kC2), 16), {kC2}},
  };
  expectRows(cases, std::size(cases));
}

TEST(SearchNotes, ChordsNameTheirNotesAndNothingElse) {
  const NamedCase cases[] = {
      {"C4 E4", joined({struck(kC4), struck(kE4)}), {kC4, kE4}},
      {"C4 G4", joined({struck(kC4), struck(kG4)}), {kC4, kG4}},
      {"A2 E3", joined({struck(kA2), struck(kE3)}), {kA2, kE3}},
      {"C3 G3", joined({struck(kC3), struck(kG3)}), {kC3, kG3}},
      {"A3 C4, the upper 6 dB down", joined({struck(kA3), struck(kC4, 0.5)}), {kA3, kC4}},
      {"C4 and the semitone above", joined({struck(kC4), struck(kC4 + 1)}), {kC4, kC4 + 1}},
      {"C3 G3 E4, partials 2, 3 and 5 of C2 with no seventh", joined({struck(kC3), struck(kG3), struck(kE4)}),
       {kC3, kG3, kE4}},
  };
  expectRows(cases, std::size(cases));
}

TEST(SearchNotes, TheLouderNoteOfAChordComesFirstAndExplainsItsShare) {
  Search search;
  const NoteSearch& out = search.of(joined({struck(kE4, 0.4), struck(kC4)}));
  ASSERT_EQ(out.count, 2);
  EXPECT_EQ(out.notes[0].row, kC4);
  EXPECT_EQ(out.notes[1].row, kE4);
  EXPECT_GT(out.notes[0].salience, out.notes[1].salience);
  EXPECT_GT(out.firstShare, 0.4);
  EXPECT_LT(out.firstShare, 0.9);
}

struct OctaveCase {
  const char* what;
  int row;                // the lower note, struck
  double octaveLoudness;  // of the struck note an octave above, 0 for none
  bool octaveHeld;        // the upper row was lit the block before
  Rows rows;
};

TEST(SearchNotes, AnOctaveDoublingLightsBothRowsWhenItsEvenPartialsStandOutEnough) {
  // The upper note's partials all fall on the lower one's even partials: only how far those
  // stand over the odd ones tells it is there, and a row lit the block before needs less.
  const OctaveCase cases[] = {
      {"C3 and C4", kC3, 1.0, false, {kC3, kC4}},
      {"A2 and A3 6 dB down", kA2, 0.5, false, {kA2, kA3}},
      {"B3 and B4 6 dB down", kC4 - 1, 0.5, false, {kC4 - 1, kC4 + 11}},
      {"C3 and C4 14 dB down", kC3, 0.2, false, {kC3}},
      {"C3 and C4 14 dB down, C4 lit before", kC3, 0.2, true, {kC3, kC4}},
      {"C3 and C4 20 dB down, C4 lit before", kC3, 0.1, true, {kC3}},
      {"C3 alone", kC3, 0.0, false, {kC3}},
      {"C3 alone, C4 lit before", kC3, 0.0, true, {kC3}},
      {"A2 alone", kA2, 0.0, false, {kA2}},
  };
  Search search;
  for (const OctaveCase& c : cases) {
    const Partials partials =
        c.octaveLoudness > 0.0 ? joined({struck(c.row), struck(c.row + 12, c.octaveLoudness)}) : struck(c.row);
    EXPECT_EQ(search.rows(partials, c.octaveHeld ? Rows{c.row + 12} : Rows{}), c.rows) << c.what;
  }
  // Two sines an octave apart are two notes, whatever the height.
  EXPECT_EQ(search.rows({{rowHz(kC3), 1.0}, {rowHz(kC4), 1.0}}), (Rows{kC3, kC4}));
  EXPECT_EQ(search.rows({{rowHz(kA4), 1.0}, {rowHz(kA4 + 12), 1.0}}), (Rows{kA4, kA4 + 12}));
}

TEST(SearchNotes, ALowNoteBesideALoudOneNeedsAPartialNearTheLoudestToCount) {
  // Under a loud note, faint partials are its strings' and the room's resonances.
  const NamedCase cases[] = {
      {"E3 12 dB under C4", joined({struck(kC4), struck(kE3, 0.25)}), {kE3, kC4}},
      {"A3 14 dB under C4", joined({struck(kC4), struck(kA3, 0.2)}), {kA3, kC4}},
      {"A3 26 dB under C4", joined({struck(kC4), struck(kA3, 0.05)}), {kC4}},
      {"E3 40 dB under C4", joined({struck(kC4), struck(kE3, 0.01)}), {kC4}},
  };
  expectRows(cases, std::size(cases));
}

struct HeldCase {
  double overFloorDb;  // of a lone sine
  bool named;
  bool namedWhenHeld;
};

TEST(SearchNotes, AFaintToneNeedsLessToStayLitThanToLightUp) {
  const HeldCase cases[] = {
      {50.0, true, true}, {28.0, true, true}, {23.0, false, true}, {18.0, false, false}, {13.0, false, false},
  };
  Search search;
  for (const HeldCase& c : cases) {
    const Partials tone = {{rowHz(kA4), 0.1, c.overFloorDb}};
    EXPECT_EQ(search.rows(tone), c.named ? Rows{kA4} : Rows{}) << c.overFloorDb << " dB over the floor";
    EXPECT_EQ(search.rows(tone, {kA4}), c.namedWhenHeld ? Rows{kA4} : Rows{}) << c.overFloorDb << " dB, held";
  }
}

TEST(SearchNotes, AHighNoteWhoseSecondPartialLeadsIsTheOctaveAboveUnlessItsRowWasLit) {
  // Low down a strong second partial is the string's; from C6 up the weak "fundamental" is a
  // resonance an octave under the note, unless that row was lit the block before (vibrato).
  struct Case {
    int row;
    Rows heldRows;
    int named;
  };
  const Case cases[] = {
      {kA3, {}, kA3}, {kC4, {}, kC4}, {kC6 - 3, {}, kC6 - 3}, {kC6 + 1, {}, kC6 + 13}, {kE6, {}, kE6 + 12},
      {kE6, {kE6}, kE6}, {kE6, {kE6, kE6 + 12}, kE6 + 12},
  };
  Search search;
  for (const Case& c : cases) {
    const Rows named = search.rows(series(rowHz(c.row), {0.2, 1.0, 0.2}), c.heldRows);
    EXPECT_EQ(named, Rows{c.named}) << "row " << c.row << " held " << shown(c.heldRows) << ": " << shown(named);
  }
}

TEST(SearchNotes, TonesOutsideTheRowsNameNoRowBeyondThem) {
  Search search;
  for (const double hz : {30.0, 45.0, 3500.0, 4500.0, 7000.0}) {
    const NoteSearch& out = search.of({{hz, 0.5}});
    for (int i = 0; i < out.count; ++i) {
      EXPECT_GE(out.notes[i].row, 0) << hz;
      EXPECT_LT(out.notes[i].row, kNoteRows) << hz;
    }
    EXPECT_EQ(out.count, 0) << hz << " Hz named row " << (out.count > 0 ? out.notes[0].row : -1);
  }
}

}  // namespace

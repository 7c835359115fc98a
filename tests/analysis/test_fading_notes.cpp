// Dropping the notes that faded within the window: held through a slow decay, released when
// they stopped or fell fast, a note that replaced another, and the release under a louder note.

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "analysis/fading_notes.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kA1 = 0, kC4 = 27, kE4 = 31, kG4 = 34, kA4 = 36, kA5 = 48, kA6 = 60;

double rowHz(int row) { return 55.0 * std::pow(2.0, row / 12.0); }

// A note in the window: partials 1, 1/2 and 1/4 of `amplitude`, whose level moves by `dbPerBlock`
// (from the window's start) and which sounds from `start` to `stop`, in blocks from the start.
struct Sounding {
  int row;
  double amplitude = 0.3;
  double dbPerBlock = 0.0;
  double start = 0.0;
  double stop = 2.0;
};

struct Halves {
  float recent[kPreciseWindow];
  HalvesWork work;
  int fftWorkArea[2 + 64] = {};       // for transforms of kBlockSize points
  double fftTwiddles[kBlockSize / 2];

  Halves() { prepareHalves(work); }

  void render(const std::vector<Sounding>& notes) {
    for (int i = 0; i < kPreciseWindow; ++i) {
      const double blocks = static_cast<double>(i) / kBlockSize;
      double v = 0.0;
      for (const Sounding& n : notes) {
        if (blocks < n.start || blocks >= n.stop) continue;
        const double level = n.amplitude * std::pow(10.0, n.dbPerBlock * blocks / 20.0);
        for (int h = 1; h <= 3; ++h)
          v += level / (1 << (h - 1)) * std::sin(2 * kPi * h * rowHz(n.row) * i / kSampleRate);
      }
      recent[i] = static_cast<float>(v);
    }
  }

  // The rows of `found` that remain, in the order they remain; `salience` gives each its own.
  std::vector<int> kept(const std::vector<Sounding>& notes, const std::vector<int>& found,
                        std::initializer_list<double> salience = {}) {
    render(notes);
    NoteSearch search;
    search.count = 0;
    auto share = salience.begin();
    for (const int row : found) {
      const double s = share != salience.end() ? *share++ : 1.0;
      search.notes[search.count++] = {row, rowHz(row), s};
    }
    dropFadedNotes(recent, work, fftWorkArea, fftTwiddles, search);
    std::vector<int> rows;
    for (int i = 0; i < search.count; ++i) {
      rows.push_back(search.notes[i].row);
      EXPECT_EQ(search.notes[i].frequency, rowHz(search.notes[i].row));  // a kept note is kept whole
    }
    return rows;
  }
};

using Rows = std::vector<int>;

struct DecayCase {
  double dbPerBlock;
  bool held;
};

TEST(DropFadedNotes, ANoteIsHeldThroughASlowDecayAndDroppedWhenItFallsFast) {
  // The newer half against the older: what a struck string loses in a block is kept, a fall of
  // well over 12 dB is the note's end.
  const DecayCase cases[] = {
      {12.0, true}, {0.0, true}, {-3.0, true}, {-8.0, true}, {-16.0, false}, {-24.0, false}, {-60.0, false},
  };
  Halves halves;
  for (const DecayCase& c : cases)
    EXPECT_EQ(halves.kept({{kA4, 0.3, c.dbPerBlock}}, {kA4}), c.held ? Rows{kA4} : Rows{}) << c.dbPerBlock << " dB";
}

struct StopCase {
  double stop;  // in blocks from the window's start: the newer half is 1 to 2
  bool held;
};

TEST(DropFadedNotes, ANoteThatStoppedIsDroppedOnceMostOfTheNewerHalfIsSilent) {
  // Each half is weighed by its own Hann window, whose middle counts most.
  const StopCase cases[] = {
      {2.0, true}, {1.75, true}, {1.5, true}, {1.25, false}, {1.0, false}, {0.5, false},
  };
  Halves halves;
  for (const int row : {kA1, kC4, kA4, kA6, kNoteRows - 1}) {
    for (const StopCase& c : cases) {
      EXPECT_EQ(halves.kept({{row, 0.3, 0.0, 0.0, c.stop}}, {row}), c.held ? Rows{row} : Rows{})
          << "row " << row << " stopped at block " << c.stop;
    }
  }
}

TEST(DropFadedNotes, ANewNoteReplacesTheOneBeforeItAndTheRestKeepTheirOrder) {
  Halves halves;
  // C4 up to the newer half, E4 from it on; A5 all through.
  const std::vector<Sounding> notes = {{kC4, 0.3, 0.0, 0.0, 1.0}, {kE4, 0.3, 0.0, 1.0, 2.0}, {kA5, 0.2}};
  EXPECT_EQ(halves.kept(notes, {kE4, kC4, kA5}), (Rows{kE4, kA5}));
  EXPECT_EQ(halves.kept(notes, {kA5, kC4, kE4}), (Rows{kA5, kE4}));
  EXPECT_EQ(halves.kept(notes, {kC4}), Rows{});
}

struct ReleaseCase {
  double dbPerBlock;  // of the second note
  double salience;    // of the second note, the first's being 1
  bool held;
};

TEST(DropFadedNotes, AFadingNoteMuchWeakerThanTheFirstIsTheReleaseOfANoteBefore) {
  // A5 holds; G4, whose partials none of A5's come near, fades: at half A5's salience or more
  // it stays, much weaker it is a release that outlived its note.
  const ReleaseCase cases[] = {
      {-1.0, 0.2, true}, {-6.0, 0.2, false}, {-6.0, 0.4, false}, {-6.0, 0.6, true}, {-6.0, 1.0, true},
      {-16.0, 1.0, false},
  };
  Halves halves;
  for (const ReleaseCase& c : cases) {
    const Rows kept = halves.kept({{kA5}, {kG4, 0.3, c.dbPerBlock}}, {kA5, kG4}, {1.0, c.salience});
    EXPECT_EQ(kept, c.held ? (Rows{kA5, kG4}) : Rows{kA5}) << c.dbPerBlock << " dB at salience " << c.salience;
  }
  // The first note is weighed against nothing but its own halves.
  EXPECT_EQ(halves.kept({{kA5, 0.3, -6.0}, {kG4}}, {kA5, kG4}, {1.0, 3.0}), (Rows{kA5, kG4}));
}

}  // namespace

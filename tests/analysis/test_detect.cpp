// Note detection on hand-made spectra and on a real tone.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/detect.hpp"
#include "analysis/fft_avx2.hpp"
#include "analysis/note_table.hpp"
#include "analysis/spectrum.hpp"
#include "core/tuner_state.hpp"
#include "test_record.hpp"

namespace {

constexpr float kK = 1.0f / 22050.0f;
// Tall enough to score far above 1 at its own row, low enough that rows seeing it at
// their window's edge stay below one half.
constexpr double kStrongLine = 30.0;

class Detect : public WithRecord {
 protected:
  NoteDetection detection;  // the detectors' state beside the record, as the program keeps it

  float score(int col, int row) { return tuner.history.scores[col * kNoteRows + row]; }
  float& stored(int col, int row) { return tuner.history.scores[col * kNoteRows + row]; }

  void startUp() {
    freshRecord();
    buildNoteTable(tuner.notes);
    resetNoteDetection(tuner, detection);
  }

  void setEntry(int i, double v) { tuner.handoff.spectrum[i].store(v, std::memory_order_relaxed); }

  // A narrow peak of the given height at the middle of the row's search window.
  void addLine(int row, double height) {
    const float lo = static_cast<float>(tuner.notes.frequency[row + 11] * kK);
    const float hi = static_cast<float>(tuner.notes.frequency[row + 13] * kK);
    const double centre = (0.5 * lo + 0.5 * hi) * kBlockSize;
    const int j = static_cast<int>(std::lround(centre));
    setEntry(j - 1, height / 4);
    setEntry(j, height);
    setEntry(j + 1, height / 4);
  }

  // A flat top from the middle of the row's window towards its upper edge: several window
  // points read the same highest value, and only the first of them is the peak.
  void addPlateau(int row, double height) {
    const double lo = static_cast<float>(tuner.notes.frequency[row + 11] * kK) * static_cast<double>(kBlockSize);
    const double hi = static_cast<float>(tuner.notes.frequency[row + 13] * kK) * static_cast<double>(kBlockSize);
    const int from = static_cast<int>(std::floor((lo + hi) / 2)) - 1;
    const int to = static_cast<int>(std::ceil(hi - (hi - lo) / 8)) + 1;
    for (int i = from; i <= to && i < kBlockSize; ++i) setEntry(i, height);
  }
};

using DetectNotes = Detect;
using NeighbourRule = Detect;
using OctaveRule = Detect;

TEST_F(DetectNotes, AnAllZeroSpectrumScoresNearlyNothingAndDecaysTheLevels) {
  startUp();
  detectNotes(tuner, detection);
  detectNotes(tuner, detection);
  const float once = static_cast<float>(0.9f * 1.0);
  const float twice = static_cast<float>(0.9f * static_cast<double>(once));
  for (int row = 0; row < kNoteRows; ++row) {
    EXPECT_EQ(tuner.history.noteLevel[row], twice) << row;
    EXPECT_GE(score(0, row), 0.0f);
    EXPECT_LT(score(0, row), 1e-9f) << row;
    EXPECT_EQ(score(1, row), score(1, 0)) << row;
  }
  EXPECT_EQ(tuner.history.column.load(), 2);
}

TEST_F(DetectNotes, LongDigitalSilenceStaysBlankInBothScorings) {
  startUp();
  for (int soft = 0; soft <= 1; ++soft) {
    tuner.controls.softDisplay = soft;
    for (int block = 0; block < 1000; ++block) detectNotes(tuner, detection);  // 46 s of zeros
    const int newest = (tuner.history.column.load() + kHistoryColumns - 1) % kHistoryColumns;
    for (int row = 0; row < kNoteRows; ++row) {
      EXPECT_LT(score(newest, row), 1e-3f) << "soft " << soft << " row " << row;
      EXPECT_GT(tuner.history.noteLevel[row], 0.0f) << row;
    }
  }
}

TEST_F(DetectNotes, AStrongRowIsStoredAsOneButKeepsItsUnclampedScore) {
  startUp();
  addLine(36, kStrongLine);
  detectNotes(tuner, detection);
  EXPECT_EQ(score(0, 36), 1.0f);
  EXPECT_GT(tuner.history.noteTrack[36].effective, 1.0f);
  EXPECT_EQ(tuner.history.noteTrack[36].combined, tuner.history.noteTrack[36].effective);
  EXPECT_EQ(tuner.history.noteTrack[36].previousCombined, 0.0f);
  for (int row = 0; row < kNoteRows; ++row) {
    if (row == 36) continue;
    EXPECT_LE(score(0, row), 0.5f) << row;
  }
  const float first = tuner.history.noteTrack[36].combined;
  detectNotes(tuner, detection);
  EXPECT_EQ(tuner.history.noteTrack[36].previousCombined, first);
}

TEST_F(DetectNotes, TheLowestRowHasNoNeighbourOrOctaveBelow) {
  startUp();
  addLine(0, kStrongLine);
  addLine(11, kStrongLine);
  detectNotes(tuner, detection);
  EXPECT_EQ(score(0, 0), 1.0f);
  EXPECT_EQ(score(0, 11), 1.0f);
}

// Of two adjacent rows above one the upper is pulled down to 0.15; a strong lower octave takes
// away what it explains, 1 - (1 - 0.25) x 0.5, and leaves the upper row its unclamped score.
TEST_F(DetectNotes, OfTwoStrongRowsTheUpperKeepsOnlyWhatTheLowerDoesNotExplain) {
  struct PairCase {
    int lower, upper;
    float upperScore;
    bool keepsUnclamped;
  };
  for (const PairCase& c : {PairCase{40, 41, 0.15f, false}, PairCase{30, 42, 0.625f, true}}) {
    startUp();
    addLine(c.lower, kStrongLine);
    addLine(c.upper, kStrongLine);
    detectNotes(tuner, detection);
    EXPECT_EQ(score(0, c.lower), 1.0f) << c.lower;
    EXPECT_EQ(score(0, c.upper), c.upperScore) << c.upper;
    if (c.keepsUnclamped) EXPECT_GT(tuner.history.noteTrack[c.upper].effective, 1.0f) << c.upper;
    else EXPECT_EQ(tuner.history.noteTrack[c.upper].effective, c.upperScore) << c.upper;
  }
}

TEST_F(DetectNotes, WritesOneColumnPerBlockAndWrapsAfterTheLast) {
  startUp();
  tuner.history.column.store(199);
  addLine(44, kStrongLine);
  detectNotes(tuner, detection);
  EXPECT_EQ(tuner.history.column.load(), 0);
  EXPECT_EQ(score(199, 44), 1.0f);
  EXPECT_EQ(score(0, 44), 0.0f);
  detectNotes(tuner, detection);
  EXPECT_EQ(tuner.history.column.load(), 1);
  EXPECT_EQ(score(0, 44), 1.0f);
}

TEST_F(DetectNotes, SoftDisplayAveragesWithTheLastSoftBlock) {
  startUp();
  addLine(36, 4.0);
  tuner.controls.softDisplay = 1;
  detectNotes(tuner, detection);
  const float z1 = tuner.history.noteTrack[36].softPrevious;
  ASSERT_GT(z1, 0.05f);
  ASSERT_LT(z1, 2.0f);
  // The first soft block averages with nothing.
  EXPECT_EQ(score(0, 36), z1 * 0.5f);

  // A block without the soft display leaves its term alone.
  tuner.controls.softDisplay = 0;
  detectNotes(tuner, detection);
  EXPECT_EQ(tuner.history.noteTrack[36].softPrevious, z1);

  tuner.controls.softDisplay = 1;
  detectNotes(tuner, detection);
  const float z3 = tuner.history.noteTrack[36].softPrevious;
  EXPECT_NE(z3, z1);
  EXPECT_NEAR(score(2, 36), (z1 + z3) / 2, 1e-6);
}

TEST_F(DetectNotes, SoftDisplayIsClampedToOne) {
  startUp();
  addLine(36, kStrongLine);
  tuner.controls.softDisplay = 1;
  detectNotes(tuner, detection);
  EXPECT_EQ(score(0, 36), 1.0f);
  EXPECT_GT(tuner.history.noteTrack[36].softPrevious, 2.0f);
}

struct NeighbourCase {
  float lowerEffective, upperScore;
  float lowerStored, lowerEffectiveAfter, upperStored, upperEffectiveAfter;
};

TEST_F(NeighbourRule, TheWeakerOfTwoStrongNeighboursDropsTo015) {
  const NeighbourCase cases[] = {
      {0.5f, 0.9f, 0.5f, 0.5f, 0.9f, 0.9f},        // not above one half: no rule
      {0.6f, 0.6f, 0.15f, 0.15f, 0.6f, 0.6f},      // a tie: the lower row loses
      {0.6f, 0.9f, 0.15f, 0.15f, 0.9f, 0.9f},      // the upper is stronger
      {0.9f, 0.6f, 0.9f, 0.9f, 0.15f, 0.15f},      // the lower is stronger
      {0.9f, 0.15f, 0.9f, 0.9f, 0.15f, 0.15f},     // an upper row at 0.15 is left as it is
      {0.9f, 0.1f, 0.9f, 0.9f, 0.1f, 0.1f},        // a weak upper row is left alone
      {2.5f, 1.0f, 1.0f, 2.5f, 0.15f, 0.15f},      // both above one: the clamped upper loses
  };
  for (const NeighbourCase& c : cases) {
    startUp();
    const int row = 30;
    stored(5, row - 1) = std::min(c.lowerEffective, 1.0f);
    tuner.history.noteTrack[row - 1].effective = c.lowerEffective;
    stored(5, row) = c.upperScore;
    tuner.history.noteTrack[row].effective = c.upperScore;
    applyNeighbourRule(tuner, 5, row, c.upperScore);
    EXPECT_EQ(score(5, row - 1), c.lowerStored) << c.lowerEffective << " vs " << c.upperScore;
    EXPECT_EQ(tuner.history.noteTrack[row - 1].effective, c.lowerEffectiveAfter) << c.lowerEffective << " vs " << c.upperScore;
    EXPECT_EQ(score(5, row), c.upperStored) << c.lowerEffective << " vs " << c.upperScore;
    EXPECT_EQ(tuner.history.noteTrack[row].effective, c.upperEffectiveAfter) << c.lowerEffective << " vs " << c.upperScore;
  }
}

struct OctaveCase {
  float below, own, effective;
  float storedAfter, effectiveAfter;
};

TEST_F(OctaveRule, TheLowerOctaveAbove025ExplainsHalfOfItsExcess) {
  const OctaveCase cases[] = {
      {0.25f, 0.4f, 0.9f, 0.4f, 0.4f},        // nothing explained, but a low score becomes effective
      {0.2f, 0.7f, 1.3f, 0.7f, 1.3f},         // nothing explained, a high score keeps its effective
      {0.85f, 0.2f, 0.2f, 0.0f, 0.0f},        // more explained than there is
      {1.0f, 0.9f, 1.7f, 0.525f, 1.7f},       // what is left is still strong
      {1.0f, 0.8f, 0.8f, 0.425f, 0.425f},     // what is left is weak
      {0.45f, 0.15f, 0.15f, 0.05f, 0.05f},    // a neighbour-rule loser loses more
  };
  for (const OctaveCase& c : cases) {
    startUp();
    const int row = 40, col = 7;
    stored(col, row - 12) = c.below;
    stored(col, row) = c.own;
    tuner.history.noteTrack[row].effective = c.effective;
    applyOctaveRule(tuner, col, row);
    EXPECT_FLOAT_EQ(score(col, row), c.storedAfter) << c.below << " under " << c.own;
    EXPECT_FLOAT_EQ(tuner.history.noteTrack[row].effective, c.effectiveAfter) << c.below << " under " << c.own;
    EXPECT_EQ(score(col, row - 12), c.below);
  }
}

TEST_F(DetectNotes, A440HzToneLightsRow36Most) {
  startUp();
  constexpr double kPi = 3.14159265358979323846;
  // About -34 dB: louder tones saturate row 35 too, whose unclamped score then wins.
  constexpr double kAmplitude = 0.02;
  std::vector<double> block(kBlockSize);
  for (int blockIndex = 0; blockIndex < 3; ++blockIndex) {
    for (int i = 0; i < kBlockSize; ++i)
      block[i] = kAmplitude * std::sin(2 * kPi * 440.0 * (i + blockIndex * kBlockSize) / kSampleRate);
    computeSpectrum(tuner.capture, tuner.handoff, block.data(), kBlockSize);
    const int col = tuner.history.column.load();
    detectNotes(tuner, detection);
    int strongest = 0;
    for (int row = 1; row < kNoteRows; ++row)
      if (score(col, row) > score(col, strongest)) strongest = row;
    EXPECT_EQ(strongest, 36) << "block " << blockIndex;
    EXPECT_GT(score(col, 36), 0.5f) << "block " << blockIndex;
  }
}

// The read positions are worked out once per note table: a table retuned between blocks
// must move the analysis with it, not leave it reading the old positions.
TEST_F(DetectNotes, FollowsTheNoteTableWhenItChanges) {
  startUp();
  const int row = 30;
  addLine(row, kStrongLine);
  detectNotes(tuner, detection);
  EXPECT_GT(score(0, row), 0.5f);
  EXPECT_LT(score(0, row + 1), 0.5f);

  // Every note a semitone lower: the same line now sits on the next row up.
  for (int k = kNoteCount - 1; k > 0; --k) tuner.notes.frequency[k] = tuner.notes.frequency[k - 1];
  tuner.notes.frequency[0] = tuner.notes.frequency[1] / kSemitoneRatio;
  resetNoteDetection(tuner, detection);
  tuner.history.column.store(0);
  detectNotes(tuner, detection);
  EXPECT_GT(score(0, row + 1), 0.5f);
  EXPECT_LT(score(0, row), 0.5f);
}

// The rows are measured four at a time with vectors where the processor allows; every
// score, level and tie (the first of equal window points wins) must match the portable path.
TEST_F(DetectNotes, VectorAndPortableMeasuresGiveTheSameBits) {
  struct Run {
    std::vector<float> scores, levels;
  };
  auto run = [this](bool vectors) {
    setFftVectorsEnabled(vectors);
    startUp();
    std::mt19937 generator(12);
    std::uniform_int_distribution<int> step(0, 3);  // few distinct values: ties are common
    std::uniform_real_distribution<double> fine(0.0, 2.0);
    for (int block = 0; block < 40; ++block) {
      for (int i = 0; i < kBlockSize; ++i) setEntry(i, block % 2 == 0 ? step(generator) * 0.25 : fine(generator));
      if (block % 5 == 4) addLine(block % kNoteRows, kStrongLine);
      if (block % 3 == 1) addPlateau((block * 7) % kNoteRows, kStrongLine);
      if (block == 20) tuner.controls.softDisplay = 1;
      detectNotes(tuner, detection);
    }
    Run result{std::vector<float>(std::begin(tuner.history.scores), std::end(tuner.history.scores)),
               std::vector<float>(std::begin(tuner.history.noteLevel), std::end(tuner.history.noteLevel))};
    setFftVectorsEnabled(true);
    return result;
  };
  const Run vector = run(true), portable = run(false);
  ASSERT_EQ(vector.scores.size(), portable.scores.size());
  EXPECT_EQ(std::memcmp(vector.scores.data(), portable.scores.data(), vector.scores.size() * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(vector.levels.data(), portable.levels.data(), vector.levels.size() * sizeof(float)), 0);
}

}  // namespace

// `--roll`: how wide a run's roll may grow, and the scores and font it keeps.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/roll_output.hpp"
#include "view/glyphs.hpp"
#include "view/roll_picture.hpp"

namespace {

TEST(RollOutput, BlocksAndWidthLimitTable) {
  // Four 512-frame steps fill a block; 47 pixels of keyboard and 33 of frame and margin beside the grid.
  struct Case {
    long long steps;
    int scale;
    long long blocks;
    bool fits;
  };
  const Case cases[] = {
      {0, 1, 0, true},           {1, 1, 1, true},          {4, 1, 1, true},        {5, 1, 2, true},
      {3999680, 1, 999920, true}, {3999681, 1, 999921, false}, {249980, 16, 62495, true}, {249981, 16, 62496, false},
      {2147483647, 1, 536870912, false}, {-1, 1, 0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mostBlocksIn(c.steps), c.blocks) << c.steps;
    std::string reason;
    EXPECT_EQ(checkRollFits(c.steps, c.scale, reason), c.fits) << c.steps << " x " << c.scale;
    if (!c.fits) {
      EXPECT_EQ(reason.rfind("--roll: up to " + std::to_string(c.blocks) + " blocks", 0), 0u) << reason;
      EXPECT_EQ(reason.find('\n'), std::string::npos);
    }
  }
}

TEST(RollOutput, KeepsEveryBlockAndItsOwnFont) {
  RollScores roll;
  roll.reserveFor(8);
  std::vector<float> block(72, 0.5f);
  roll.add(block.data());
  block[0] = 1.0f;
  roll.add(block.data());
  EXPECT_EQ(roll.blocks(), 2);

  // The program's font is released at shutdown, before the roll is drawn (the sanitizer build would see a stale read).
  BitmapFont source;
  buildBuiltinFont(source);
  roll.keepFont(source);
  freeFont(source);
  std::FILE* sink = std::tmpfile();
  ASSERT_NE(sink, nullptr);
  std::string reason;
  EXPECT_TRUE(roll.writePng(sink, 2, reason)) << reason;
  EXPECT_GT(std::ftell(sink), 100L);
  std::fclose(sink);
}

// The labels mark the rows whose written name is a C: the concert Cs by default, others when transposed.
TEST(RollOutput, LabelsNameTheRowsWhoseWrittenNameIsAC) {
  struct Case {
    int transposition;
    int firstRow;         // the lowest row labelled; every twelfth above it is labelled too
    const char* first;    // its label
    const char* last;     // the highest row's label
  };
  const Case cases[] = {
      {0, 3, "C2", "C7"},      // concert: C2 .. C7
      {2, 1, "C2", "C7"},      // Bb: the A# rows read C
      {9, 6, "C3", "C8"},      // Eb: the D# rows read C, a sixth up
      {-24, 3, "C0", "C5"},
      {-36, 3, "C-1", "C4"},   // three characters, still shown
      {36, 3, "C5", "C10"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> labels = rollRowLabels(c.transposition);
    ASSERT_EQ(labels.size(), 72u);
    std::vector<std::string> named;
    for (int row = 0; row < 72; ++row) {
      EXPECT_EQ(labels[row].empty(), row < c.firstRow || (row - c.firstRow) % 12 != 0) << c.transposition << " " << row;
      if (!labels[row].empty()) named.push_back(labels[row]);
    }
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(named.front(), c.first) << c.transposition;
    EXPECT_EQ(named.back(), c.last) << c.transposition;
  }
  EXPECT_EQ(rollRowLabels(), rollRowLabels(0));
}

// Every system labels its written Cs; a name wider than the margin beside the keys keeps its octave.
TEST(RollOutput, LabelsInEveryNamingSystemFitBesideTheKeys) {
  struct Case {
    int transposition;
    NoteNaming naming;
    const char* first;
    const char* last;
  };
  const Case cases[] = {
      {0, {NameSystem::German, true}, "C2", "C7"},
      {0, {NameSystem::Solfege, false}, "Do2", "Do7"},
      {2, {NameSystem::Solfege, true}, "Do2", "Do7"},  // the Bb rows read Do
      {-36, {NameSystem::Solfege, false}, "-1", "Do4"},
      {36, {NameSystem::Solfege, true}, "Do5", "10"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> labels = rollRowLabels(c.transposition, c.naming);
    const std::vector<std::string> english = rollRowLabels(c.transposition);
    std::vector<std::string> named;
    for (int row = 0; row < 72; ++row) {
      EXPECT_EQ(labels[row].empty(), english[row].empty()) << row;  // the same rows, the written Cs
      EXPECT_LE(labels[row].size(), kMostRowLabelGlyphs) << labels[row];
      if (!labels[row].empty()) named.push_back(labels[row]);
    }
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(named.front(), c.first) << c.transposition;
    EXPECT_EQ(named.back(), c.last) << c.transposition;
  }
}

}  // namespace

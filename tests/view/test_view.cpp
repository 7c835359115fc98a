// The piano-roll picture, pixel for pixel: grid, strips, frame, markers, cursor, hover band, toolbar.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "picture.hpp"

namespace {

constexpr int kRowA = 0, kRowASharp = 1, kRowB = 2;

int cellY(int row) { return 450 - 6 * row; }
int bottomKeyX(int row) { return 101 + 6 * row; }

class View : public WithRecord {
 protected:
  GuardedPicture picture;
  void SetUp() override { startLikeTheProgram(tuner); }
};

struct CellCase {
  int row;
  float score;
  std::uint32_t colour;
};

class GridCell : public View, public ::testing::WithParamInterface<CellCase> {};

TEST_P(GridCell, ShadesByRowKindAndScore) {
  const CellCase& c = GetParam();
  setScore(tuner, 0, c.row, c.score);
  drawView(tuner);
  for (int y = cellY(c.row) + 1; y <= cellY(c.row) + 5; ++y)
    for (int x : {10, 11, 12}) EXPECT_EQ(at(x, y), c.colour) << "x " << x << " y " << y;
  EXPECT_EQ(at(10, cellY(c.row)), 0xA0A0A0u);  // the grid line over the cell's top row
}

INSTANTIATE_TEST_SUITE_P(
    Scores, GridCell,
    ::testing::Values(CellCase{kRowA, 0.0f, 0xE0E0E0}, CellCase{kRowB, 0.0f, 0xC0C0D0},
                      CellCase{kRowASharp, 0.0f, 0xC0A0B0}, CellCase{kRowA, 1.0f, 0x000000},
                      CellCase{kRowB, 1.0f, 0x000000}, CellCase{kRowASharp, 1.0f, 0x000000},
                      CellCase{kRowA + 12, 0.5f, 0x707070},   // 112 for every A row
                      CellCase{3, 0.25f, 0x90909C},           // C: 144, 144, 156
                      CellCase{4, 0.75f, 0x30282C},           // C sharp: 48, 40, 44
                      CellCase{kRowA, 1.0f / 64, 0xDCDCDC},   // 220.5 rounds to even, 220
                      CellCase{kRowA, 3.0f / 64, 0xD6D6D6},   // 213.5 rounds to even, 214
                      CellCase{kRowA, 2.0f, 0x000000},        // out-of-range scores are held to 0..1
                      CellCase{kRowA, -1.0f, 0xE0E0E0}));

TEST_F(View, DisplayColumnZeroIsTheOldestColumn) {
  tuner.history.column.store(37);
  setScore(tuner, 37, 5, 1.0f);
  setScore(tuner, 36, 5, 1.0f);
  drawView(tuner);
  EXPECT_EQ(at(10, cellY(5) + 2), 0u);
  EXPECT_EQ(at(13, cellY(5) + 2), 0xC0C0D0u);
  EXPECT_EQ(at(609, cellY(5) + 2), 0u);
  EXPECT_EQ(at(606, cellY(5) + 2), 0xC0C0D0u);
}

struct KeyCase {
  int row;
  float score;
  std::uint32_t colour;
  int length;
};

class StripKey : public View, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(StripKey, ColoursAndLengthOnBothStrips) {
  const KeyCase& k = GetParam();
  setScore(tuner, 199, k.row, k.score);  // the live column while historyColumn is 0
  drawView(tuner);
  const int y = cellY(k.row);
  EXPECT_EQ(at(611, y + 1), k.colour);
  EXPECT_EQ(at(610 + k.length, y + 5), k.colour);
  EXPECT_EQ(at(611 + k.length, y + 3), 0xA0A0A0u);
  EXPECT_EQ(at(611, y), 0xA0A0A0u);
  const int t = bottomKeyX(k.row);
  EXPECT_EQ(at(t, 457), k.colour);
  EXPECT_EQ(at(t + 4, 456 + k.length), k.colour);
  EXPECT_EQ(at(t + 2, 457 + k.length), 0xA0A0A0u);
  EXPECT_EQ(at(t - 1, 460), 0xA0A0A0u);
}

INSTANTIATE_TEST_SUITE_P(
    Scores, StripKey,
    ::testing::Values(KeyCase{kRowA, 0.0f, 0xFFFFFF, 22}, KeyCase{kRowASharp, 0.0f, 0x000000, 18},
                      KeyCase{kRowB, 0.25f, 0xFFFFFF, 22}, KeyCase{kRowASharp, 0.25f, 0x000000, 18},
                      KeyCase{kRowB, 1.0f, 0xFF0000, 22}, KeyCase{kRowASharp, 1.0f, 0xFF0000, 18},
                      KeyCase{kRowB, 0.625f, 0xFF7F7F, 22},       // heat 127.50000565 rounds to 128
                      KeyCase{kRowASharp, 0.625f, 0x800000, 18}));

TEST_F(View, FrozenStripsShowThePlayColumn) {
  setScore(tuner, 5, kRowB, 1.0f);
  tuner.playback.column.store(5);
  drawView(tuner);
  EXPECT_EQ(at(611, cellY(kRowB) + 1), 0xFFFFFFu);  // live: column 199
  tuner.playback.frozen.store(true);
  drawView(tuner);
  EXPECT_EQ(at(611, cellY(kRowB) + 1), 0xFF0000u);
}

TEST_F(View, FrameAndClosingLinesSurroundTheGrid) {
  drawView(tuner);
  for (auto [x, y] : {std::pair{9, 24}, {609, 24}, {9, 300}, {610, 300}, {9, 456}, {610, 456}})
    EXPECT_EQ(at(x, y), 0u) << x << "," << y;
  EXPECT_EQ(at(620, 456), 0xA0A0A0u);
  EXPECT_EQ(at(532, 470), 0xA0A0A0u);
  // The margins keep the one-time clear.
  for (auto [x, y] : {std::pair{5, 100}, {636, 100}, {300, 21}, {50, 470}, {560, 470}})
    EXPECT_EQ(at(x, y), kDesignPalette.background) << x << "," << y;
  EXPECT_TRUE(picture.guardsIntact());
}

TEST_F(View, MarkerRulerEveryHalfMarkerDistance) {
  freezeWithMarkers(tuner, 10, 20);
  tuner.history.column.store(37);
  tuner.playback.column.store(37);  // cursor at display column 0
  drawView(tuner);
  const int y = 100;
  for (int x = 26; x <= 341; x += 15) {
    const std::uint32_t expected = (x == 41 || x == 71) ? 0xD07070u : 0xD0D0D0u;
    EXPECT_EQ(at(x, y), expected) << "x " << x;
  }
  EXPECT_NE(at(356, y), 0xD0D0D0u);
  EXPECT_NE(at(25, y), 0xD0D0D0u);
  EXPECT_EQ(at(11, y), 0xFFE000u);  // the cursor at display column 0
  EXPECT_EQ(at(11, 24), 0xFFE000u);
  EXPECT_EQ(at(11, 455), 0xFFE000u);
  EXPECT_EQ(at(11, 456), 0u);
}

TEST_F(View, EqualMarkersDrawOneLineAndNoRuler) {
  freezeWithMarkers(tuner, 50, 50);
  drawView(tuner);
  int ruler = 0, markers = 0;
  for (int x = 10; x < 610; ++x) {
    ruler += at(x, 100) == 0xD0D0D0u;
    markers += at(x, 100) == 0xD07070u;
  }
  EXPECT_EQ(ruler, 0);
  EXPECT_EQ(markers, 1);
  EXPECT_EQ(at(161, 100), 0xD07070u);
}

TEST_F(View, AMarkerAtDisplayColumnZeroIsNotDrawn) {
  freezeWithMarkers(tuner, 0, 0);
  tuner.playback.column.store(100);
  drawView(tuner);
  EXPECT_NE(at(11, 100), 0xD07070u);
  EXPECT_EQ(at(311, 100), 0xFFE000u);
}

TEST_F(View, RightButtonAtY452DrawsTheHoverBandAndLightsRowZerosKeysNextFrame) {
  tuner.playback.frozen.store(true);
  tuner.pointer.rightDown = true;
  tuner.pointer.x = 300;
  tuner.pointer.y = 452;
  drawView(tuner);
  EXPECT_EQ(tuner.tone.key.load(), 12);
  for (int y = 451; y <= 455; ++y) {
    EXPECT_EQ(at(10, y), 0x66EEFFu);
    EXPECT_EQ(at(609, y), 0x66EEFFu);
  }
  EXPECT_EQ(at(10, 450), 0xA0A0A0u);
  EXPECT_EQ(at(611, 451), 0xFFFFFFu);  // the keys follow the previous frame's pick
  drawView(tuner);
  EXPECT_EQ(at(611, 451), 0x44CCFFu);
  EXPECT_EQ(at(bottomKeyX(0), 457), 0x44CCFFu);
}

TEST_F(View, APickOnTheBottomStripLightsTheKeysWithoutABand) {
  tuner.playback.frozen.store(true);
  tuner.pointer.rightDown = true;
  tuner.pointer.x = 101;
  tuner.pointer.y = 460;
  drawView(tuner);
  drawView(tuner);
  EXPECT_EQ(tuner.tone.key.load(), 12);
  EXPECT_EQ(at(bottomKeyX(0), 457), 0x44CCFFu);
  EXPECT_EQ(at(10, 453), 0xE0E0E0u);
}

TEST_F(View, SlidersAtTheirStartValues) {
  drawView(tuner);
  const int y = 10;
  EXPECT_EQ(at(50, y), 0u);  // borders
  EXPECT_EQ(at(150, y), 0u);
  EXPECT_EQ(at(100, 4), 0u);
  EXPECT_EQ(at(150, 16), 0u);
  EXPECT_EQ(at(51, y), 0xE07020u);  // GAIN 1.0: 33 pixels of fill, x 50 to 82
  EXPECT_EQ(at(82, y), 0xE07020u);
  EXPECT_EQ(at(83, y), 0x603000u);
  EXPECT_EQ(at(84, y), 0xA0A0A0u);
  EXPECT_EQ(at(203, y), 0xE07020u);  // VOL 0.25: 12.5 rounds to 12, x 202 to 213
  EXPECT_EQ(at(213, y), 0xE07020u);
  EXPECT_EQ(at(214, y), 0x603000u);
  EXPECT_EQ(at(215, y), 0xA0A0A0u);
  EXPECT_EQ(at(252, y), 0u);
  EXPECT_EQ(at(252, 16), 0u);
}

int inkIn(int left, int right) {
  int ink = 0;
  for (int y = 7; y < 15; ++y)
    for (int x = left; x <= right; ++x) ink += at(x, y) == kGlyphInk;
  return ink;
}

TEST_F(View, ToolbarLabelsAndTheSwitchState) {
  drawView(tuner);
  EXPECT_GT(inkIn(10, 49), 0);    // "GAIN:"
  EXPECT_GT(inkIn(170, 201), 0);  // "VOL:"
  EXPECT_GT(inkIn(400, 407), 0);  // the last "F" of "OFF"
  tuner.controls.softDisplay = 1;
  drawView(tuner);
  EXPECT_EQ(inkIn(400, 407), 0);  // "ON" is one character shorter
  EXPECT_EQ(at(0, 19), kDesignPalette.background);
}

// The read-out's ink, column by column, from its label to the picture's right edge.
std::vector<int> readoutInk() {
  std::vector<int> ink;
  for (int x = kReadoutLabelX; x < kPictureWidth; ++x) ink.push_back(inkIn(x, x));
  return ink;
}

int inkOf(const std::vector<int>& ink) {
  int sum = 0;
  for (int v : ink) sum += v;
  return sum;
}

TEST_F(View, ThePreciseDetectorsReadoutShowsOnlyWhileItIsOn) {
  tuner.history.pitchReading = PitchReading{36, 441.26, 4.96, 0.9};
  drawView(tuner);
  EXPECT_EQ(inkOf(readoutInk()), 0);  // the design's toolbar, as it was
  tuner.controls.detector = Detector::Precise;
  tuner.history.pitchReading = PitchReading{};
  drawView(tuner);
  const std::vector<int> label = readoutInk();
  EXPECT_GT(inkIn(kReadoutLabelX, kReadoutX - 1), 0);  // "PRECISE:"
  EXPECT_EQ(inkIn(kReadoutX, kPictureWidth - 1), 0);    // nothing sounds
  tuner.history.pitchReading = PitchReading{36, 441.26, 4.96, 0.9};
  drawView(tuner);
  const std::vector<int> a4 = readoutInk();
  EXPECT_GT(inkIn(kReadoutX, kReadoutX + 15 * kTextAdvance - 1), 0);  // "A4 +5c 441.3 Hz"
  EXPECT_EQ(inkIn(kReadoutX + 15 * kTextAdvance, kPictureWidth - 1), 0);
  tuner.history.pitchReading = PitchReading{37, 466.0, -3.0, 0.9};
  drawView(tuner);
  EXPECT_NE(readoutInk(), a4);
  EXPECT_GT(inkIn(kReadoutX + 15 * kTextAdvance, kReadoutX + 16 * kTextAdvance - 1), 0);  // "A#4 -3c 466.0 Hz" is longer
  EXPECT_NE(label, a4);
}

// Transposed, the read-out names the written note (concert G#4 on a B-flat instrument reads A#4, as a
// concert A#4 reads untransposed) and its label the instrument instead of PRECISE:.
TEST_F(View, TheReadoutNamesTheWrittenNoteAndItsLabelTheInstrument) {
  tuner.controls.detector = Detector::Precise;
  tuner.history.pitchReading = PitchReading{37, 466.0, -3.0, 0.9};
  drawView(tuner);
  const std::vector<int> concert = readoutInk();
  tuner.controls.transposition = 2;
  tuner.history.pitchReading = PitchReading{35, 466.0, -3.0, 0.9};
  drawView(tuner);
  const std::vector<int> written = readoutInk();
  const std::size_t labelColumns = kReadoutX - kReadoutLabelX;
  EXPECT_EQ(std::vector<int>(written.begin() + labelColumns, written.end()),
            std::vector<int>(concert.begin() + labelColumns, concert.end()));
  EXPECT_NE(std::vector<int>(written.begin(), written.begin() + labelColumns),
            std::vector<int>(concert.begin(), concert.begin() + labelColumns));  // "IN Bb:", not "PRECISE:"
  tuner.controls.transposition = -36;  // "A-2 ..." at the far end of the range still fits the toolbar
  tuner.history.pitchReading = PitchReading{1, 58.3, 49.6, 0.9};
  drawView(tuner);
  EXPECT_GT(inkIn(kReadoutX + 3 * kTextAdvance, kReadoutX + 4 * kTextAdvance - 1), 0);  // the fourth character of "A#-2"
}

// The 8 x 8 pixels of the read-out's character cell `cell`, ink or not.
std::vector<bool> readoutCell(int cell) {
  std::vector<bool> glyph;
  for (int y = 7; y < 15; ++y)
    for (int x = kReadoutX + cell * kTextAdvance; x < kReadoutX + (cell + 1) * kTextAdvance; ++x)
      glyph.push_back(at(x, y) == kGlyphInk);
  return glyph;
}

// The longest names ("Sol#10") would carry the line past the picture's edge: the frequency loses its
// tenths and the line still ends in "Hz" at the edge, while English names keep them.
TEST_F(View, TheLongestNamesFitTheReadout) {
  constexpr int kLastCell = (kPictureWidth - kReadoutX) / kTextAdvance - 1;
  tuner.controls.detector = Detector::Precise;
  tuner.history.pitchReading = PitchReading{36, 441.3, 5.0, 0.9};
  drawView(tuner);
  const std::vector<bool> z = readoutCell(14);  // "A4 +5c 441.3 Hz"
  ASSERT_NE(std::count(z.begin(), z.end(), true), 0);
  tuner.controls.transposition = 36;
  tuner.history.pitchReading = PitchReading{71, 3322.4, -49.0, 0.9};
  drawView(tuner);
  const auto inkOfCell = [](int cell) { const std::vector<bool> g = readoutCell(cell); return std::count(g.begin(), g.end(), true); };
  EXPECT_EQ(readoutCell(kLastCell), z);         // "G#10 -49c 3322.4 Hz" fits to the edge as it is
  EXPECT_LT(inkOfCell(kLastCell - 4), inkOfCell(kLastCell - 5));  // with its tenths: "." after "2"
  for (NameSystem system : {NameSystem::Solfege, NameSystem::German})
    for (bool flats : {false, true}) {
      tuner.controls.naming = NoteNaming{system, flats};
      drawView(tuner);
      int last = kLastCell;
      while (last > 0 && inkOfCell(last) == 0) --last;
      EXPECT_EQ(readoutCell(last), z);  // "Sol#10 -49c 3322 Hz", "Gis10 -49c 3322 Hz"
      for (int cell = 0; cell < 4; ++cell) EXPECT_NE(readoutCell(cell), std::vector<bool>(64, false)) << cell;
      EXPECT_TRUE(picture.guardsIntact());
    }
}

// The gain label's ink, column by column, as a signature of the word.
std::vector<int> gainLabelInk() {
  std::vector<int> ink;
  for (int x = 10; x <= 49; ++x) ink.push_back(inkIn(x, x));
  return ink;
}

TEST_F(View, TheGainLabelSaysWhoSetsTheGain) {
  drawView(tuner);
  const std::vector<int> manual = gainLabelInk();
  tuner.controls.autoGain = true;
  drawView(tuner);
  const std::vector<int> automatic = gainLabelInk();
  EXPECT_NE(manual, automatic);
  tuner.controls.autoGain = false;
  drawView(tuner);
  EXPECT_EQ(gainLabelInk(), manual);
}

}  // namespace

// The grid colours kept from picture to picture: the same colours and the same
// pictures as working everything out afresh, whatever came before.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <random>

#include "picture.hpp"

namespace {

// The record's grid colours, and one cell's, as the window draws them.
void updateRows(TunerState& tuner, GridRows& rows) { updateGridRows(rows, recordScores(tuner), themePalette(tuner.controls.theme)); }
std::uint32_t cellColour(TunerState& tuner, int row, float score) {
  return gridCellColour(themePalette(tuner.controls.theme), tuner.notes.keyColour, row, score);
}
void drawKept(TunerState& tuner, const ViewFrame& frame, GridRows& rows) { drawView(framebuffer, frame, recordScores(tuner), rows); }

constexpr int kNoMarker = -1;  // a marker not set

// Scores as they come, and every kind the colours must hold to 0..1.
float randomScore(std::mt19937& random) {
  static const float kOdd[] = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                               -0.0f, 0.0f, 1.0f, -1.0f, 2.0f, 1.0f / 64, 3.0f / 64, 1e-40f, 0.99999994f};
  std::uniform_int_distribution<int> kind(0, 3);
  if (kind(random) == 0) return kOdd[std::uniform_int_distribution<int>(0, std::size(kOdd) - 1)(random)];
  return std::uniform_real_distribution<float>(-0.1f, 1.1f)(random);
}

// One of: a new live column, a few changed cells, a flipped key colour, nothing. A
// `sparse` column is silent but for one row, so that most rows stay one colour.
void changeScores(TunerState& tuner, std::mt19937& random, bool sparse = false) {
  switch (std::uniform_int_distribution<int>(0, 5)(random)) {
    case 0: case 1: {
      const int column = tuner.history.column.load();
      const int lit = std::uniform_int_distribution<int>(0, kNoteRows - 1)(random);
      for (int row = 0; row < kNoteRows; ++row) setScore(tuner, column, row, !sparse || row == lit ? randomScore(random) : 0.0f);
      tuner.history.column.store((column + 1) % kHistoryColumns);
      break;
    }
    case 2:
      for (int i = 0; i < 5; ++i)
        setScore(tuner, std::uniform_int_distribution<int>(0, kHistoryColumns - 1)(random),
                 std::uniform_int_distribution<int>(0, kNoteRows - 1)(random), randomScore(random));
      break;
    case 3: {
      int& key = tuner.notes.keyColour[std::uniform_int_distribution<int>(1, kPitchClasses - 1)(random)];
      key = key == 0 ? 0xFFFFFF : 0;
      break;
    }
    default:
      break;
  }
}

class KeptGridRows : public WithRecord {
 protected:
  GuardedPicture picture;
  void SetUp() override { startLikeTheProgram(tuner); }
};

void expectRowsMatchTheScores(TunerState& tuner, const GridRows& rows) {
  for (int column = 0; column < kHistoryColumns; ++column)
    for (int row = 0; row < kNoteRows; ++row) {
      const std::uint32_t fresh = cellColour(tuner, row, tuner.history.scores[column * kNoteRows + row]);
      for (int x = 0; x < kColumnWidth; ++x)
        ASSERT_EQ(rows.pixels[row][kColumnWidth * column + x], fresh) << "column " << column << " row " << row;
    }
}

TEST_F(KeptGridRows, KeptColoursEqualFreshOnesOverRandomHistories) {
  std::mt19937 random(7);
  for (float& score : tuner.history.scores) score = randomScore(random);
  auto rows = std::make_unique<GridRows>();
  for (int step = 0; step < 300; ++step) {
    changeScores(tuner, random);
    updateRows(tuner, *rows);
    expectRowsMatchTheScores(tuner, *rows);
  }
}

TEST_F(KeptGridRows, NaNPayloadsAndSignedZerosGiveTheirOwnColours) {
  auto rows = std::make_unique<GridRows>();
  setScore(tuner, 0, 0, 0.5f);
  updateRows(tuner, *rows);
  // Bit patterns that differ yet compare equal (or never equal) as floats.
  for (float score : {-0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f, -std::numeric_limits<float>::quiet_NaN()}) {
    setScore(tuner, 0, 0, score);
    updateRows(tuner, *rows);
    EXPECT_EQ(rows->pixels[0][0], cellColour(tuner, 0, score)) << score;
  }
}

// With `anyTheme`, one frame in eight is drawn in another theme's palette than the last.
ViewFrame randomFrame(TunerState& tuner, std::mt19937& random, bool anyTheme) {
  auto number = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  static const std::uint32_t kCursorColours[] = {kDesignPalette.cursor, kDesignPalette.scrubCursor, 0};
  ViewFrame frame;
  frame.oldestColumn = tuner.history.column.load();
  frame.frozen = number(0, 1) == 1;
  frame.stripColumn = frame.frozen ? number(0, kHistoryColumns - 1) : (frame.oldestColumn + kHistoryColumns - 1) % kHistoryColumns;
  frame.litKey = number(0, 3) == 0 ? number(kNoteRowOffset, kNoteRowOffset + kNoteRows - 1) : kNoKey;
  frame.hoverKey = number(0, 3) == 0 ? number(kNoteRowOffset, kNoteRowOffset + kNoteRows - 1) : kNoKey;
  if (frame.frozen) {
    frame.cursorColumn = number(0, kHistoryColumns - 1);
    frame.cursorColour = kCursorColours[number(0, 2)];
    frame.markersShown = number(0, 1) == 1;
    frame.markA = number(0, 4) == 0 ? kNoMarker : number(0, kHistoryColumns - 1);
    frame.markB = number(0, 4) == 0 ? kNoMarker : number(0, kHistoryColumns - 1);
  }
  frame.gainSlider = std::uniform_real_distribution<float>(0.0f, 3.0f)(random);
  frame.autoGain = number(0, 1) == 1;
  frame.outputVolume = std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
  frame.softDisplay = number(0, 1);
  static const Palette* palette = &kDesignPalette;
  if (anyTheme && number(0, 7) == 0) palette = &themePalette(Theme(number(0, kThemeCount - 1)));
  frame.palette = anyTheme ? palette : &kDesignPalette;
  frame.font = &font;
  return frame;
}

// Every picture of a random session, drawn over the last one with the colours kept
// (and, with `withHeldFrame`, told which frame the picture shows, over near silence
// where most rows are one colour), equals the picture drawn on a fresh clear with
// nothing kept; every row that changed is marked.
void drawSessionKeptAndFresh(TunerState& tuner, bool withHeldFrame, bool anyTheme = false) {
  std::mt19937 random(11);
  for (float& score : tuner.history.scores) score = withHeldFrame ? 0.0f : randomScore(random);
  std::vector<std::uint32_t> shown(kPicturePixels, kDesignPalette.background);
  std::vector<std::uint32_t> fresh(kPicturePixels);
  bool changedRows[kPictureHeight];
  auto kept = std::make_unique<GridRows>();
  ViewFrame held;
  bool holds = false;
  for (int step = 0; step < 400; ++step) {
    changeScores(tuner, random, withHeldFrame);
    const ViewFrame frame = randomFrame(tuner, random, anyTheme);
    const std::vector<std::uint32_t> before = shown;
    std::fill(std::begin(changedRows), std::end(changedRows), false);
    framebuffer.pixels = shown.data();
    framebuffer.changedRows = changedRows;
    if (withHeldFrame)
      drawView(framebuffer, frame, recordScores(tuner), *kept, holds ? &held : nullptr);
    else
      drawKept(tuner, frame, *kept);
    held = frame;
    holds = true;
    for (int y = 0; y < kPictureHeight; ++y) {
      if (changedRows[y]) continue;
      ASSERT_TRUE(std::equal(&before[y * kPictureWidth], &before[(y + 1) * kPictureWidth], &shown[y * kPictureWidth]))
          << "row " << y << " changed unmarked at step " << step;
    }
    framebuffer.pixels = fresh.data();
    framebuffer.changedRows = nullptr;
    clearScreen(framebuffer, kDesignPalette.background);
    auto nothingKept = std::make_unique<GridRows>();
    drawKept(tuner, frame, *nothingKept);
    ASSERT_TRUE(shown == fresh) << "step " << step;
  }
}

TEST_F(KeptGridRows, PicturesOverAnySessionEqualPicturesDrawnFromScratch) { drawSessionKeptAndFresh(tuner, false); }

// Told what the picture shows, the drawing leaves alone what is sure to be there already.
TEST_F(KeptGridRows, PicturesDrawnOverTheHeldFrameEqualPicturesDrawnFromScratch) { drawSessionKeptAndFresh(tuner, true); }

// The same in every theme, the contrast theme's marks through lit cells included, and
// across a change of palette, which every kept colour must follow.
TEST_F(KeptGridRows, PicturesInAnyThemeEqualPicturesDrawnFromScratch) {
  drawSessionKeptAndFresh(tuner, false, true);
  drawSessionKeptAndFresh(tuner, true, true);
}

// A new column moves every row of the grid one cell on: a row of one colour
// looks as before and must not be marked, a row with a lit cell is. Nothing
// else on the picture changed, so no other row is marked either.
TEST_F(KeptGridRows, MovingOnMarksOnlyTheRowsWhoseCellsDiffer) {
  constexpr int kLitRow = 10;
  bool changedRows[kPictureHeight] = {};
  framebuffer.changedRows = changedRows;
  auto kept = std::make_unique<GridRows>();
  setScore(tuner, 50, kLitRow, 0.9f);
  ViewFrame frame;
  frame.oldestColumn = tuner.history.column.load();
  frame.stripColumn = kHistoryColumns - 1;
  drawKept(tuner, frame, *kept);
  std::fill(std::begin(changedRows), std::end(changedRows), false);
  frame.oldestColumn = (frame.oldestColumn + 1) % kHistoryColumns;  // a new column of silence
  tuner.history.column.store(frame.oldestColumn);
  drawKept(tuner, frame, *kept);
  framebuffer.changedRows = nullptr;
  const int litTop = kBottomRowY - kRowHeight * kLitRow + 1;
  for (int y = 0; y < kPictureHeight; ++y)
    EXPECT_EQ(changedRows[y], litTop <= y && y < litTop + kRowHeight - 1) << "y " << y;
}

}  // namespace

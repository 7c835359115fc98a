// The picture and the roll in the dark and contrast themes: every colour from the theme's
// palette, and the contrast theme's mark through lit cells.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "picture.hpp"
#include "view/roll_picture.hpp"

namespace {

constexpr int kRowA = 0, kRowB = 2;

int cellY(int row) { return 450 - 6 * row; }

class ThemedView : public WithRecord {
 protected:
  GuardedPicture picture;
  void SetUp() override { startLikeTheProgram(tuner); }
};

// Everything a picture can hold at once: lit cells and keys, markers, ruler, cursor, hover
// band, the picked key and the precise read-out.
void drawEverything(TunerState& tuner, Theme theme) {
  tuner.controls.theme = theme;
  clearScreen(framebuffer, themePalette(theme).background);
  for (int column = 0; column < kHistoryColumns; ++column) setScore(tuner, column, kRowB, column / 199.0f);
  setScore(tuner, 5, kRowA + 12, 1.0f);
  tuner.playback.column.store(5);
  freezeWithMarkers(tuner, 10, 20);
  tuner.controls.detector = Detector::Precise;
  tuner.history.pitchReading.row = 24;
  tuner.history.pitchReading.frequency = 440.0;
  tuner.pointer.rightDown = true;
  tuner.pointer.x = 300;
  tuner.pointer.y = cellY(30) + 3;
  drawView(tuner);
  drawView(tuner);  // the strips light the key the last frame picked
}

// The colours only the design draws: none may show in another theme's picture.
std::set<std::uint32_t> designOnlyColours(const Palette& other) {
  const Palette& d = kDesignPalette;
  std::set<std::uint32_t> colours = {d.background, d.line, d.frame, d.pickedKey, d.hoverBand, d.ruler,
                                     d.sliderFill, d.sliderKnob, d.aRow.unlit, d.whiteRow.unlit, d.blackRow.unlit,
                                     d.whiteKey.lit, d.blackKey.unlit, kGlyphInk};
  for (std::uint32_t shared : {other.marker, other.cursor, other.scrubCursor, other.mark, other.text}) colours.erase(shared);
  return colours;
}

TEST_F(ThemedView, DarkPictureHoldsNoColourOfTheDesignsOwn) {
  drawEverything(tuner, Theme::Dark);
  const std::set<std::uint32_t> designOnly = designOnlyColours(kDarkPalette);
  std::set<std::uint32_t> leaked;
  for (int i = 0; i < kPicturePixels; ++i)
    if (designOnly.count(framebuffer.pixels[i]) != 0) leaked.insert(framebuffer.pixels[i]);
  EXPECT_TRUE(leaked.empty()) << std::hex << *leaked.begin();
  EXPECT_GT(picture.countPixels(kDarkPalette.text), 100);       // the toolbar's labels and read-out
  EXPECT_GT(picture.countPixels(kDarkPalette.hoverBand), 1000);
  EXPECT_GT(picture.countPixels(kDarkPalette.pickedKey), 10);
}

// Rendered in one theme and then in another over the same kept rows, the picture is the
// second theme's throughout, as if drawn afresh.
TEST_F(ThemedView, ChangingThemeRedrawsEveryKeptColour) {
  drawEverything(tuner, Theme::Contrast);
  const std::vector<std::uint32_t> contrast(framebuffer.pixels, framebuffer.pixels + kPicturePixels);
  drawEverything(tuner, Theme::Dark);
  drawEverything(tuner, Theme::Contrast);
  EXPECT_TRUE(std::equal(contrast.begin(), contrast.end(), framebuffer.pixels));
}

struct MarkCase {
  float score;
  bool marked;
};

class ContrastMark : public ThemedView, public ::testing::WithParamInterface<MarkCase> {};

// A cell lit from half the full score on is split by a dark line through its middle; the
// rest of the cell, and every pixel row of a cell less lit, has the cell's colour.
TEST_P(ContrastMark, SplitsCellsLitFromHalfOn) {
  const MarkCase& c = GetParam();
  tuner.controls.theme = Theme::Contrast;
  setScore(tuner, 0, kRowB, c.score);
  drawView(tuner);
  const std::uint32_t cell = gridCellColour(kContrastPalette, tuner.notes.keyColour, kRowB, c.score);
  for (int line = 1; line <= 5; ++line)
    for (int x : {10, 11, 12}) {
      const bool mark = c.marked && line == kMarkLine;
      EXPECT_EQ(at(x, cellY(kRowB) + line), mark ? kContrastPalette.mark : cell) << "line " << line << " x " << x;
    }
  EXPECT_EQ(at(13, cellY(kRowB) + kMarkLine), kContrastPalette.whiteRow.unlit);  // the next column is silent
}

INSTANTIATE_TEST_SUITE_P(Scores, ContrastMark,
                         ::testing::Values(MarkCase{0.0f, false}, MarkCase{0.49999997f, false}, MarkCase{0.5f, true},
                                           MarkCase{1.0f, true}, MarkCase{2.0f, true}));

// The roll in the contrast theme: its background, lines, text and marks from the palette.
TEST_F(ThemedView, ContrastRollMarksLitBlocksAndTakesEveryColourFromThePalette) {
  const long long blocks = 30;
  std::vector<float> scores(static_cast<std::size_t>(blocks) * kNoteRows, 0.0f);
  for (long long b = 10; b < 20; ++b) scores[b * kNoteRows + kRowB] = 0.8f;
  std::vector<std::string> labels(kNoteRows);
  labels[3] = "C1";
  RollPicture roll{scores.data(), blocks, 2, labels.data(), &font};
  roll.palette = &kContrastPalette;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(rollWidth(blocks, 2)) * kRollHeight);
  Framebuffer band{static_cast<int>(rollWidth(blocks, 2)), kRollHeight, static_cast<int>(rollWidth(blocks, 2)), pixels.data()};
  drawRollBand(roll, 0, band);
  auto rollAt = [&](long long x, int y) { return pixels[static_cast<std::size_t>(y * band.pitch + x)]; };
  const int y = cellY(kRowB);
  const long long litX = 47 + 2 * 12, silentX = 47 + 2 * 25;
  EXPECT_EQ(rollAt(litX, y + 1), gridCellColour(kContrastPalette, kKeyColours, kRowB, 0.8f));
  EXPECT_EQ(rollAt(litX, y + kMarkLine), kContrastPalette.mark);
  EXPECT_EQ(rollAt(silentX, y + kMarkLine), kContrastPalette.whiteRow.unlit);
  EXPECT_EQ(rollAt(litX, y), kContrastPalette.line);
  EXPECT_EQ(rollAt(2, 100), kContrastPalette.background);
  int textPixels = 0;
  for (int ty = cellY(3) - 1; ty < cellY(3) + 7; ++ty)
    for (int tx = 4; tx < 20; ++tx) textPixels += rollAt(tx, ty) == kContrastPalette.text;
  EXPECT_GT(textPixels, 5);  // "C1" in white
}

}  // namespace

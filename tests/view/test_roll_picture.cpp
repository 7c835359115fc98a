// The whole piece as one picture: block columns, rows, keyboard, frame, time axis and
// row names, and the same pixels whether it is drawn at once or band by band.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture.hpp"
#include "view/roll_picture.hpp"

namespace {

constexpr int kGridLeft = 47;     // first pixel of block 0
constexpr int kKeyEdge = 45;      // keys end here, beside the frame line at x 46
constexpr std::uint32_t kLine = 0xA0A0A0, kBlack = 0x000000, kBackground = 0xC0C0D0;

int rowY(int row) { return 450 - 6 * row; }

// A picture of the given width in a buffer with guard zones, swapped in only for drawing.
struct RollCanvas {
  std::vector<std::uint32_t> memory;
  Framebuffer band;
  RollCanvas(long long width, int height)
      : memory(static_cast<std::size_t>(width * height + 2 * kGuardPixels), kGuard),
        band{static_cast<int>(width), height, static_cast<int>(width), memory.data() + kGuardPixels} {}
  std::uint32_t at(long long x, int y) const { return band.pixels[y * band.pitch + x]; }
  bool guardsIntact() const {
    const std::size_t end = memory.size() - kGuardPixels;
    for (int i = 0; i < kGuardPixels; ++i)
      if (memory[i] != kGuard || memory[end + i] != kGuard) return false;
    return true;
  }
  int ink(long long left, int top, long long right, int bottom) const {  // black pixels in the box
    int count = 0;
    for (int y = top; y <= bottom; ++y)
      for (long long x = left; x <= right; ++x) count += at(x, y) == kBlack;
    return count;
  }
};

class Roll : public WithRecord {
 protected:
  GuardedPicture window;  // the window's picture, which drawing a roll must leave in place
  std::vector<float> scores;
  std::vector<std::string> labels = std::vector<std::string>(72);
  RollPicture roll;

  void SetUp() override { startLikeTheProgram(tuner); }

  void make(long long blocks, int scale) {
    scores.assign(static_cast<std::size_t>(blocks) * 72, 0.0f);
    for (long long b = 0; b < blocks; ++b)
      for (int r = 0; r < 72; ++r) scores[b * 72 + r] = static_cast<float>((b * 7 + r * 13) % 11) / 10.0f;
    roll = RollPicture{scores.data(), blocks, scale, labels.data(), &font};
  }
  RollCanvas draw() {
    RollCanvas canvas(rollWidth(roll.blocks, roll.scale), kRollHeight);
    drawRollBand(roll, 0, canvas.band);
    return canvas;
  }
};

TEST(RollGeometry, WidthAndSecondsTable) {
  struct Case {
    long long blocks, second;
    int scale;
    long long width, secondX;
  };
  const Case cases[] = {
      {0, 0, 1, 80, 47},            // an empty grid still has its frame and margins
      {1, 1, 1, 81, 47 + 21},       // 44100 / 2048 = 21.5 blocks a second
      {215, 10, 1, 295, 47 + 215},  // 215.33 blocks in ten seconds
      {215, 10, 2, 510, 47 + 430},  // 430.66 at two pixels a block
      {77520, 3600, 1, 77600, 47 + 77519},
      {1, 1, 16, 96, 47 + 344},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rollWidth(c.blocks, c.scale), c.width) << c.blocks << " x " << c.scale;
    EXPECT_EQ(rollSecondX(c.second, c.scale), c.secondX) << c.second << " s x " << c.scale;
  }
}

// The cells' colours against the scores are checked end to end, from the scores file.
TEST_F(Roll, FrameAndPlainKeyboardAroundTheBlocks) {
  make(30, 2);
  RollCanvas canvas = draw();
  ASSERT_TRUE(canvas.guardsIntact());
  const int gridRight = kGridLeft + 60;
  for (int y = 24; y <= 455; ++y) {
    ASSERT_EQ(canvas.at(46, y), kBlack) << y;
    ASSERT_EQ(canvas.at(gridRight, y), kBlack) << y;
    ASSERT_EQ(canvas.at(gridRight + 1, y), kBackground) << y;
  }
  for (int x = 46; x <= gridRight; ++x) {
    ASSERT_EQ(canvas.at(x, 24), kBlack) << x;
    ASSERT_EQ(canvas.at(x, 456), kBlack) << x;
  }
  EXPECT_EQ(canvas.at(kGridLeft, 450), kLine) << "row 0's grid line";
  struct Case {
    int row;
    std::uint32_t colour;
    int length;
  };
  const Case cases[] = {{0, 0xFFFFFF, 22}, {1, 0x000000, 18}, {3, 0xFFFFFF, 22}, {70, 0xFFFFFF, 22}, {71, 0x000000, 18}};
  for (const Case& c : cases) {
    const int y = rowY(c.row) + 1;
    for (int x = kKeyEdge - c.length + 1; x <= kKeyEdge; ++x) EXPECT_EQ(canvas.at(x, y), c.colour) << c.row << " x " << x;
    EXPECT_EQ(canvas.at(kKeyEdge - c.length, y), kLine) << "row " << c.row << " key ends";
    EXPECT_EQ(canvas.at(kKeyEdge, rowY(c.row)), kLine) << "row " << c.row << " gap between keys";
  }
}

TEST_F(Roll, TimeAxisTicksEverySecondAndLabelsEveryTen) {
  make(500, 1);  // 23.2 s
  RollCanvas canvas = draw();
  for (int second = 0; second <= 23; ++second) {
    const long long x = rollSecondX(second, 1);
    const bool labelled = second % 10 == 0;
    EXPECT_EQ(canvas.at(x, 457), kBlack) << second;
    EXPECT_EQ(canvas.at(x, 458), kBlack) << second;
    EXPECT_EQ(canvas.at(x, 461), labelled ? kBlack : kBackground) << second;
    EXPECT_EQ(canvas.at(x + 1, 457), kBackground) << second;
    // "0:00", "0:10", "0:20": 32 pixels centred on the tick, below it; seconds are 21.5 pixels apart.
    EXPECT_EQ(canvas.ink(x - 4, 464, x + 3, 471) > 0, labelled) << second;
  }
  EXPECT_EQ(canvas.ink(0, 0, canvas.band.width - 1, 23), 0) << "nothing above the grid";
}

TEST_F(Roll, LabelledRowsAreNamedAtTheLeft) {
  labels[27] = "C4";
  labels[3] = "C2";
  make(10, 1);
  RollCanvas canvas = draw();
  for (int row = 0; row < 72; ++row) {
    const bool named = row == 27 || row == 3;
    EXPECT_EQ(canvas.ink(4, rowY(row) + 1, 19, rowY(row) + 3) > 0, named) << "row " << row;
  }
}

TEST_F(Roll, BandByBandGivesTheWholePicture) {
  make(40, 3);
  const RollCanvas whole = draw();
  for (int bandRows : {16, 7, 1}) {
    RollCanvas band(whole.band.width, bandRows);
    for (int top = 0; top < kRollHeight; top += bandRows) {
      band.band.height = std::min(bandRows, kRollHeight - top);
      drawRollBand(roll, top, band.band);
      ASSERT_TRUE(band.guardsIntact()) << "band at " << top;
      for (int y = 0; y < band.band.height; ++y)
        for (long long x = 0; x < band.band.width; ++x)
          ASSERT_EQ(band.at(x, y), whole.at(x, top + y)) << "bands of " << bandRows << " at " << x << "," << top + y;
    }
  }
  EXPECT_EQ(framebuffer.width, kPictureWidth) << "the window's picture is put back";
  EXPECT_EQ(framebuffer.pixels, window.memory.data() + kGuardPixels);
}

}  // namespace

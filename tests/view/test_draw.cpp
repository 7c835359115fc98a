// Rectangles and the full clear: exactly the pixels asked for, never outside the picture.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "picture.hpp"

namespace {

constexpr std::uint32_t kInk = 0x102030;

class FillWidth : public ::testing::TestWithParam<int> {};

TEST_P(FillWidth, WritesExactlyThatManyPixelsPerRow) {
  GuardedPicture picture;
  const int width = GetParam();
  fillRect(framebuffer, 5, 3, width, 2, kInk);
  for (int y = 2; y <= 5; ++y) {
    for (int x = 0; x < 40; ++x) {
      const bool inside = y >= 3 && y <= 4 && x >= 5 && x < 5 + width;
      EXPECT_EQ(at(x, y), inside ? kInk : 0u) << "x " << x << " y " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(OneToSeventeen, FillWidth, ::testing::Range(1, 18));

TEST(FillRect, AWidthOfOneIsAVerticalLineAndAHeightOfOneAHorizontalLine) {
  GuardedPicture picture;
  fillRect(framebuffer, 100, 50, 1, 30, kInk);
  fillRect(framebuffer, 200, 60, 25, 1, kInk);
  EXPECT_EQ(picture.countPixels(kInk), 30 + 25);
  EXPECT_EQ(at(100, 50), kInk);
  EXPECT_EQ(at(100, 79), kInk);
  EXPECT_EQ(at(224, 60), kInk);
}

TEST(FillRect, NonPositiveSizesWriteNothing) {
  GuardedPicture picture;
  for (int size : {0, -5}) {
    fillRect(framebuffer, 10, 10, size, 8, kInk);
    fillRect(framebuffer, 10, 10, 8, size, kInk);
  }
  EXPECT_EQ(picture.countPixels(kInk), 0);
}

TEST(FillRect, LaterDrawingWins) {
  GuardedPicture picture;
  fillRect(framebuffer, 30, 30, 9, 9, kInk);
  fillRect(framebuffer, 30, 30, 9, 9, 0xABCDEF);
  EXPECT_EQ(picture.countPixels(0xABCDEF), 81);
  EXPECT_EQ(picture.countPixels(kInk), 0);
}

struct Clip {
  int x, y, width, height, visiblePixels;
};

class FillClipping : public ::testing::TestWithParam<Clip> {};

TEST_P(FillClipping, KeepsInsideThePixelArray) {
  GuardedPicture picture;
  const Clip& c = GetParam();
  fillRect(framebuffer, c.x, c.y, c.width, c.height, kInk);
  EXPECT_EQ(picture.countPixels(kInk), c.visiblePixels);
  EXPECT_TRUE(picture.guardsIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Edges, FillClipping,
    ::testing::Values(Clip{-3, -2, 10, 5, 7 * 3},            // over the top-left corner
                      Clip{635, 478, 20, 20, 5 * 2},         // over the bottom-right corner
                      Clip{-10, 100, 700, 1, 640},           // wider than the picture
                      Clip{0, 0, 640, 480, 640 * 480},       // exactly the picture
                      Clip{640, 0, 5, 5, 0}, Clip{0, 480, 5, 5, 0}, Clip{-5, 0, 5, 5, 0},
                      Clip{INT_MAX - 2, INT_MAX - 2, INT_MAX, INT_MAX, 0},  // no overflow past the end
                      Clip{INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0}));

TEST(ClearScreen, WritesEveryPixelOfThePictureAndNothingBeyond) {
  GuardedPicture picture;
  clearScreen(framebuffer, kDesignPalette.background);
  EXPECT_EQ(picture.countPixels(kDesignPalette.background), kPicturePixels);
  EXPECT_TRUE(picture.guardsIntact());
}

TEST(DrawSpan, CopiesOneRowOfColoursClippedAtTheEdges) {
  GuardedPicture picture;
  const std::uint32_t colours[4] = {1, 2, 3, 4};
  drawSpan(framebuffer, -1, 0, colours, 4);
  drawSpan(framebuffer, 638, 479, colours, 4);
  drawSpan(framebuffer, 0, 480, colours, 4);
  EXPECT_EQ(at(0, 0), 2u);
  EXPECT_EQ(at(2, 0), 4u);
  EXPECT_EQ(at(638, 479), 1u);
  EXPECT_EQ(at(639, 479), 2u);
  EXPECT_TRUE(picture.guardsIntact());
}

}  // namespace

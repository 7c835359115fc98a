// The window's scale: the rule that picks it from the screen, and pictures shown at a whole multiple.

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/framebuffer.hpp"
#include "platform/window.hpp"
#include "platform/window_scale.hpp"
#include "system_calls.hpp"

namespace {

TEST(DesktopScale, IsTheDpiOver96RoundedWithinOneToEight) {
  const std::pair<double, int> cases[] = {
      {0, 1},   {-5, 1},  {std::nan(""), 1}, {std::numeric_limits<double>::infinity(), 1},
      {96, 1},  {143, 1}, {144, 2},          // 150 % rounds up
      {192, 2}, {240, 3}, {288, 3},          {10000, 8},
  };
  for (const auto& [dpi, scale] : cases) EXPECT_EQ(desktopScale(dpi), scale) << dpi;
}

struct ScaleCase {
  int width, height;
  double dpi;
  int scale;
  const char* what;
};

TEST(WindowScale, TheLargestMultipleOfTheDesktopScaleWithinTwoThirdsOfTheRoom) {
  const ScaleCase cases[] = {
      {0, 0, 0, 1, "nothing known"},
      {640, 480, 0, 1, "a screen no larger than the picture"},
      {1024, 768, 0, 1, "the test suites' Xvfb"},
      {1920, 1080, 96, 1, "1080p at 100 %"},
      {1920, 1040, 192, 2, "1080p at 200 %: the desktop's scale, though past two thirds, fits whole"},
      {1920, 1040, 288, 2, "1080p at 300 %: 3 does not fit at all, 2 does"},
      {2560, 1440, 96, 2, "1440p: 960 rows are two thirds exactly"},
      {2560, 1400, 96, 1, "1440p with a panel"},
      {3840, 2160, 0, 3, "a 4K Xvfb: 1440 rows are two thirds exactly"},
      {3840, 2159, 0, 2, "a row less"},
      {3840, 2100, 192, 2, "a 4K laptop at 200 % with its panel"},
      {3840, 2160, 192, 2, "at 200 % only even scales: 4 would take 1920 rows"},
      {3840, 2160, 288, 3, "at 300 %"},
      {5120, 2880, 192, 4, "5K at 200 %"},
      {7680, 4320, 0, 6, "8K"},
      {15360, 8640, 0, 8, "never past 8"},
      {1000, 100000, 0, 1, "the width decides"},
      {2000, 2000, 1e9, 3, "a wild DPI: the largest that fits the screen whole"},
  };
  for (const ScaleCase& c : cases)
    EXPECT_EQ(chooseWindowScale({c.width, c.height, c.dpi}), c.scale) << c.what;
}

// A picture whose every pixel differs from its neighbours, in the window's pixel format.
std::uint32_t patternAt(int x, int y) { return static_cast<std::uint32_t>((x * 7919 + y * 104729) & 0xFFFFFF); }

class ScaledWindow : public ::testing::Test {
 protected:
  std::unique_ptr<PictureStorage> storage = std::make_unique<PictureStorage>();  // the test's own picture
  Framebuffer framebuffer;
  void open(int scale) {
    test_system::setEnvironment("SDL_VIDEODRIVER", "dummy");
    test_system::setEnvironment("SDL_RENDER_DRIVER", "software");
    framebuffer = pictureOn(*storage);
    for (int y = 0; y < kPictureHeight; ++y)
      for (int x = 0; x < kPictureWidth; ++x) framebuffer.pixels[y * framebuffer.pitch + x] = patternAt(x, y);
    std::string reason;
    ASSERT_TRUE(openWindow("sonavel", reason, scale)) << reason;
  }
  void TearDown() override { destroyWindow(); }

  static SDL_Window* window() {
    for (Uint32 id = 1; id < 1000; ++id)
      if (SDL_Window* found = SDL_GetWindowFromID(id)) return found;
    return nullptr;
  }
  static std::uint32_t shownAt(int x, int y) {
    SDL_Surface* surface = SDL_GetWindowSurface(window());
    const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + static_cast<std::ptrdiff_t>(y) * surface->pitch;
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &r, &g, &b);
    return static_cast<std::uint32_t>((r << 16) | (g << 8) | b);
  }
  // How many window pixels do not show picture pixel (x / across, y / down).
  long wrongPixels(int across, int down) const {
    SDL_Surface* surface = SDL_GetWindowSurface(window());
    long wrong = 0;
    for (int y = 0; y < surface->h; ++y)
      for (int x = 0; x < surface->w; ++x)
        if (shownAt(x, y) != pixelAt(framebuffer, x / across, y / down)) ++wrong;
    return wrong;
  }
};

TEST_F(ScaledWindow, OpensAtThePictureSizeOnAScreenWithNoRoomForMore) {
  open(kScaleToSuitTheScreen);  // the dummy display is 1024 x 768
  int width = 0, height = 0;
  SDL_GetWindowSize(window(), &width, &height);
  EXPECT_EQ(width, kPictureWidth);
  EXPECT_EQ(height, kPictureHeight);
}

TEST_F(ScaledWindow, OpensAtTheScaleAskedForShowingEachPixelAsABlockThenOnlyTheChangedRows) {
  open(3);
  int width = 0, height = 0;
  SDL_GetWindowSize(window(), &width, &height);
  EXPECT_EQ(std::pair(width, height), std::pair(3 * kPictureWidth, 3 * kPictureHeight));
  sendFramebuffer(framebuffer);
  EXPECT_EQ(wrongPixels(3, 3), 0);
  const int sent = framesSentToWindow();

  framebuffer.pixels[200 * framebuffer.pitch + 639] = 0x00AA00;
  markRowChanged(framebuffer, 200);
  framebuffer.pixels[479 * framebuffer.pitch + 0] = 0x0000AA;
  markRowChanged(framebuffer, 479);
  framebuffer.pixels[20 * framebuffer.pitch + 7] = 0xAA0000;  // not marked: not sent
  sendFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), sent + 1);
  for (int dy = 0; dy < 3; ++dy)
    for (int dx = 0; dx < 3; ++dx) {
      EXPECT_EQ(shownAt(3 * 639 + dx, 3 * 200 + dy), 0x00AA00u);
      EXPECT_EQ(shownAt(dx, 3 * 479 + dy), 0x0000AAu);
      EXPECT_EQ(shownAt(3 * 7 + dx, 3 * 20 + dy), patternAt(7, 20));
    }

  // Presenting compares with what the window shows, through the blocks.
  presentFramebuffer(framebuffer);  // row 20 differs from the window
  EXPECT_EQ(framesSentToWindow(), sent + 2);
  EXPECT_EQ(shownAt(3 * 7 + 2, 3 * 20 + 2), 0xAA0000u);
  presentFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), sent + 2);
  EXPECT_EQ(wrongPixels(3, 3), 0);
}

TEST_F(ScaledWindow, AWindowResizedToOtherWholeMultiplesEachWayShowsBlocksOfThem) {
  open(1);
  for (const auto& [across, down] : {std::pair{2, 1}, std::pair{1, 3}, std::pair{4, 4}, std::pair{5, 2}}) {
    SDL_SetWindowSize(window(), across * kPictureWidth, down * kPictureHeight);
    sendFramebuffer(framebuffer);
    EXPECT_EQ(wrongPixels(across, down), 0) << across << " x " << down;
  }
}

TEST_F(ScaledWindow, StretchesThePictureOverAWindowOfNoWholeMultiple) {
  open(1);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) framebuffer.pixels[y * framebuffer.pitch + x] = x < 320 ? 0x0000FF : 0xFF0000;
  SDL_SetWindowSize(window(), 1000, 750);
  sendFramebuffer(framebuffer);
  for (const auto& [x, expected] : {std::pair{0, 0x0000FFu}, std::pair{499, 0x0000FFu}, std::pair{500, 0xFF0000u},
                                    std::pair{999, 0xFF0000u}})
    EXPECT_EQ(shownAt(x, 749), expected) << x;
}

}  // namespace

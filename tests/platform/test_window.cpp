// The SDL window: opening with and without a display, presenting only what changed, events, keys.

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "app/framebuffer.hpp"
#include "platform/key_map.hpp"
#include "platform/window.hpp"

namespace {

struct KeyCase {
  int scancode;
  int code;
};

class KeyMapping : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyMapping, GivesTheDirectInputCodeOfThePhysicalKey) {
  EXPECT_EQ(directInputCode(GetParam().scancode), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyMapping,
    ::testing::Values(KeyCase{SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, KeyCase{SDL_SCANCODE_RETURN, DIK_RETURN},
                      KeyCase{SDL_SCANCODE_SPACE, DIK_SPACE}, KeyCase{SDL_SCANCODE_HOME, DIK_HOME},
                      KeyCase{SDL_SCANCODE_END, DIK_END}, KeyCase{SDL_SCANCODE_DELETE, DIK_DELETE},
                      // The keypad keys keep their own codes: they are not Enter, Home, End or Delete.
                      KeyCase{SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER}, KeyCase{SDL_SCANCODE_KP_7, DIK_NUMPAD7},
                      KeyCase{SDL_SCANCODE_KP_1, DIK_NUMPAD1}, KeyCase{SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
                      KeyCase{SDL_SCANCODE_A, 0x1E}, KeyCase{SDL_SCANCODE_Q, 0x10}, KeyCase{SDL_SCANCODE_0, 0x0B},
                      KeyCase{SDL_SCANCODE_F1, 0x3B}, KeyCase{SDL_SCANCODE_F12, 0x58},
                      KeyCase{SDL_SCANCODE_LSHIFT, 0x2A}, KeyCase{SDL_SCANCODE_RCTRL, 0x9D},
                      KeyCase{SDL_SCANCODE_UP, 0xC8}, KeyCase{SDL_SCANCODE_PAGEDOWN, 0xD1},
                      KeyCase{SDL_SCANCODE_UNKNOWN, 0}, KeyCase{-1, 0},
                      KeyCase{SDL_NUM_SCANCODES, 0}));

TEST(KeyMapping, NoTwoKeysShareACodeButTheTwoNamesOfTheKeyBesideEnter) {
  std::vector<int> owner(kKeyCount, -1);
  for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
    const int code = directInputCode(scancode);
    if (code == 0) continue;
    ASSERT_LT(code, kKeyCount);
    if (owner[code] >= 0) {
      EXPECT_TRUE(code == 0x2B && owner[code] == SDL_SCANCODE_BACKSLASH && scancode == SDL_SCANCODE_NONUSHASH)
          << "scancodes " << owner[code] << " and " << scancode << " both give " << code;
    }
    owner[code] = scancode;
  }
}

// Every test that opens a window names the driver it wants, as a user without a display would.
class HeadlessWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);  // no GL library to load for a picture nobody sees
    createFramebuffer();
    std::string reason;
    ASSERT_TRUE(openWindow("sonavel", reason)) << reason;
  }
  void TearDown() override { destroyWindow(); }
};

TEST_F(HeadlessWindow, SendsAPictureOnlyWhenItDiffersFromTheOneShown) {
  framebuffer.pixels[0] = 0x123456;
  presentFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), 1);
  presentFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), 1);
  framebuffer.pixels[framebuffer.pitch * 479 + 639] ^= 1;  // the very last pixel
  presentFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), 2);
}

TEST_F(HeadlessWindow, SendsThePictureAgainWhenTheWindowIsExposedOrResized) {
  presentFramebuffer(framebuffer);
  const int sent = framesSentToWindow();
  for (Uint8 change : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_SIZE_CHANGED}) {
    while (SDL_PollEvent(nullptr) != 0) {
      WindowEvent ignored;
      takeWindowEvent(ignored);
    }
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = change;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    WindowEvent taken;
    EXPECT_FALSE(takeWindowEvent(taken));  // handled inside, not a pointer or close event
    presentFramebuffer(framebuffer);
  }
  EXPECT_EQ(framesSentToWindow(), sent + 2);
}

// The window this process opened; the dummy driver gives it no focus to find it by.
SDL_Window* openedWindow() {
  for (Uint32 id = 1; id < 1000; ++id)
    if (SDL_Window* window = SDL_GetWindowFromID(id)) return window;
  return nullptr;
}

TEST_F(HeadlessWindow, SendsWithoutComparingAndThenComparesAgainstWhatItSent) {
  presentFramebuffer(framebuffer);
  const int sent = framesSentToWindow();
  sendFramebuffer(framebuffer);  // the same picture, sent all the same
  EXPECT_EQ(framesSentToWindow(), sent + 1);
  std::vector<std::uint32_t> other(static_cast<std::size_t>(kPictureWidth) * kPictureHeight, 0x00FF00);
  Framebuffer second = framebuffer;
  second.pixels = other.data();
  sendFramebuffer(second);
  // The window shows `second` now: the first picture is new to it again.
  presentFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), sent + 3);
  presentFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), sent + 3);
}

TEST_F(HeadlessWindow, SendsAPictureWhoseRowsAreWiderThanTheWindow) {
  constexpr int kPitch = kPictureWidth + 16;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kPitch) * kPictureHeight, 0);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) pixels[static_cast<std::size_t>(y) * kPitch + x] = 0x010000u * (y % 256) + x % 256;
  Framebuffer picture = framebuffer;
  picture.pitch = kPitch;
  picture.pixels = pixels.data();
  sendFramebuffer(picture);
  SDL_Surface* surface = SDL_GetWindowSurface(openedWindow());
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(surface->w, kPictureWidth);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{639, 0}, std::pair{5, 300}, std::pair{639, 479}}) {
    const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + static_cast<std::ptrdiff_t>(y) * surface->pitch;
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &r, &g, &b);
    EXPECT_EQ((r << 16) | (g << 8) | b, static_cast<int>(0x010000u * (y % 256) + x % 256)) << x << "," << y;
  }
}

TEST_F(HeadlessWindow, StretchesThePictureOverAResizedWindow) {
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) framebuffer.pixels[y * framebuffer.pitch + x] = x < 320 ? 0x0000FF : 0xFF0000;
  SDL_SetWindowSize(openedWindow(), 2 * kPictureWidth, 2 * kPictureHeight);
  sendFramebuffer(framebuffer);
  SDL_Surface* surface = SDL_GetWindowSurface(openedWindow());
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(surface->w, 2 * kPictureWidth);
  for (const auto& [x, expected] : {std::pair{0, 0x0000FF}, std::pair{639, 0x0000FF}, std::pair{640, 0xFF0000},
                                    std::pair{1279, 0xFF0000}}) {
    const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + 959 * static_cast<std::ptrdiff_t>(surface->pitch);
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &r, &g, &b);
    EXPECT_EQ((r << 16) | (g << 8) | b, expected) << x;
  }
}

TEST_F(HeadlessWindow, TurnsPointerAndCloseEventsIntoWindowEvents) {
  while (SDL_PollEvent(nullptr) != 0) {
    WindowEvent ignored;
    takeWindowEvent(ignored);
  }
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 320;
  motion.motion.y = 17;
  SDL_Event press{};
  press.type = SDL_MOUSEBUTTONDOWN;
  press.button.button = SDL_BUTTON_RIGHT;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  for (SDL_Event* event : {&motion, &press, &quit}) ASSERT_EQ(SDL_PushEvent(event), 1);

  WindowEvent taken;
  ASSERT_TRUE(takeWindowEvent(taken));
  EXPECT_EQ(taken.kind, WindowEvent::PointerMove);
  EXPECT_EQ(taken.x, 320);
  EXPECT_EQ(taken.y, 17);
  EXPECT_EQ(taken.clientWidth, 640);
  EXPECT_EQ(taken.clientHeight, 480);
  ASSERT_TRUE(takeWindowEvent(taken));
  EXPECT_EQ(taken.kind, WindowEvent::RightDown);
  ASSERT_TRUE(takeWindowEvent(taken));
  EXPECT_EQ(taken.kind, WindowEvent::CloseRequest);
}

TEST_F(HeadlessWindow, KeysReadUpWithoutKeyboardFocus) {
  SdlKeySource keys;
  KeyboardDevice device(keys);
  device.poll();
  for (int code = 0; code < kKeyCount; ++code) ASSERT_FALSE(device.isKeyDown(code));
  device.release();
}

TEST(NoDisplay, OpeningTheWindowFailsWithAReason) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  std::string reason;
  EXPECT_FALSE(openWindow("sonavel", reason));
  EXPECT_FALSE(reason.empty());
  destroyWindow();  // nothing is left acquired; a second release is harmless
}

}  // namespace

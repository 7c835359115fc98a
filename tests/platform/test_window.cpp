// The SDL window: opening with and without a display, presenting only what changed, events, keys.

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/framebuffer.hpp"
#include "platform/key_map.hpp"
#include "platform/window.hpp"
#include "system_calls.hpp"

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

TEST(KeyMapping, ASnapshotHoldsExactlyTheHeldKeysThatHaveCodes) {
  std::vector<unsigned char> state(SDL_NUM_SCANCODES, 0);
  KeyStates keys;
  std::memset(keys, 0xFF, sizeof keys);  // whatever the last snapshot left
  mapKeyboardState(state.data(), SDL_NUM_SCANCODES, keys);
  for (int code = 0; code < kKeyCount; ++code) EXPECT_EQ(keys[code], 0) << code;

  // Every scancode held at once: each code is down, through either of its names.
  std::fill(state.begin(), state.end(), 1);
  mapKeyboardState(state.data(), SDL_NUM_SCANCODES, keys);
  for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
    if (directInputCode(scancode) != 0) {
      EXPECT_EQ(keys[directInputCode(scancode)], kKeyDownBit) << scancode;
    }
  }
  EXPECT_EQ(keys[0], 0);

  // A state shorter than the table (an older SDL) is read no further than it reaches.
  std::fill(state.begin(), state.end(), 0);
  state[SDL_SCANCODE_ESCAPE] = 1;
  mapKeyboardState(state.data(), SDL_SCANCODE_ESCAPE, keys);
  EXPECT_EQ(keys[DIK_ESCAPE], 0);
  mapKeyboardState(state.data(), SDL_SCANCODE_ESCAPE + 1, keys);
  EXPECT_EQ(keys[DIK_ESCAPE], kKeyDownBit);
}

// Every test that opens a window names the driver it wants, as a user without a display would.
class HeadlessWindow : public ::testing::Test {
 protected:
  std::unique_ptr<PictureStorage> storage = std::make_unique<PictureStorage>();  // the test's own picture
  Framebuffer framebuffer;
  void SetUp() override {
    test_system::setEnvironment("SDL_VIDEODRIVER", "dummy");
    test_system::setEnvironment("SDL_RENDER_DRIVER", "software");  // no GL library to load for a picture nobody sees
    framebuffer = pictureOn(*storage);
    // Black whatever a test before this one drew (the order of suites differs between linkers).
    std::fill_n(framebuffer.pixels, static_cast<std::size_t>(framebuffer.pitch) * framebuffer.height, 0u);
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

// What the window surface shows at (x, y), as 0xRRGGBB.
int shownAt(int x, int y) {
  SDL_Surface* surface = SDL_GetWindowSurface(openedWindow());
  const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + static_cast<std::ptrdiff_t>(y) * surface->pitch;
  Uint8 r = 0, g = 0, b = 0;
  SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &r, &g, &b);
  return (r << 16) | (g << 8) | b;
}

TEST_F(HeadlessWindow, SendsMarkedRowsAsTheyAreAndComparesOnlyWhenPresenting) {
  presentFramebuffer(framebuffer);
  const int sent = framesSentToWindow();
  sendFramebuffer(framebuffer);  // nothing marked: nothing to send
  EXPECT_EQ(framesSentToWindow(), sent);
  markRowChanged(framebuffer, 100);  // the same pixels, but marked: sent
  sendFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), sent + 1);
  EXPECT_FALSE(framebuffer.changedRows[100]);
  presentFramebuffer(framebuffer);  // compared: the window shows it already
  EXPECT_EQ(framesSentToWindow(), sent + 1);

  // A picture that keeps no marks goes whole, and the window remembers it.
  std::vector<std::uint32_t> other(static_cast<std::size_t>(kPictureWidth) * kPictureHeight, 0x00FF00);
  Framebuffer second = framebuffer;
  second.pixels = other.data();
  second.changedRows = nullptr;
  sendFramebuffer(second);
  EXPECT_EQ(framesSentToWindow(), sent + 2);
  EXPECT_EQ(shownAt(3, 3), 0x00FF00);
  // The first picture is new to it again, and then no more.
  presentFramebuffer(framebuffer);
  EXPECT_EQ(framesSentToWindow(), sent + 3);
  EXPECT_EQ(shownAt(3, 3), 0);
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

TEST_F(HeadlessWindow, SendsOnlyTheChangedRowsUntilTheWindowLosesItsPicture) {
  sendFramebuffer(framebuffer);  // all rows: a new framebuffer has every row marked
  for (int y = 0; y < kPictureHeight; ++y) EXPECT_FALSE(framebuffer.changedRows[y]) << y;
  framebuffer.pixels[10 * framebuffer.pitch + 5] = 0x00AA00;
  markRowChanged(framebuffer, 10);
  framebuffer.pixels[479 * framebuffer.pitch + 639] = 0x0000AA;
  markRowChanged(framebuffer, 479);
  framebuffer.pixels[20 * framebuffer.pitch + 7] = 0xAA0000;  // not marked: not sent
  sendFramebuffer(framebuffer);
  EXPECT_EQ(shownAt(5, 10), 0x00AA00);
  EXPECT_EQ(shownAt(639, 479), 0x0000AA);
  EXPECT_EQ(shownAt(7, 20), 0);

  // An exposure is noted as it is queued, before the loop takes the event: the next picture goes whole.
  SDL_Event exposed{};
  exposed.type = SDL_WINDOWEVENT;
  exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
  ASSERT_EQ(SDL_PushEvent(&exposed), 1);
  EXPECT_TRUE(windowNeedsPicture());
  sendFramebuffer(framebuffer);
  EXPECT_EQ(shownAt(7, 20), 0xAA0000);
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

// Counts what waits in the queue; unlike SDL_PollEvent it does not stop at the
// marker SDL queues after each batch it fetches from the window system.
bool eventsWaiting() { return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0; }

void drainEvents() {
  while (eventsWaiting()) {
    WindowEvent ignored;
    takeWindowEvent(ignored);
  }
}

void pushMove(int x, int y) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = x;
  event.motion.y = y;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void pushButton(Uint32 type, Uint8 button) {
  SDL_Event event{};
  event.type = type;
  event.button.button = button;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void pushLeave() {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = SDL_WINDOWEVENT_LEAVE;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

// What the program makes of the events, one taken per loop turn.
struct Pointer {
  int x = -1;
  int y = -1;
  bool leftDown = false;
  std::vector<std::pair<int, int>> pressedAt;

  bool takeOne() {
    WindowEvent event;
    if (!takeWindowEvent(event)) return false;
    if (event.kind == WindowEvent::PointerMove) {
      x = event.x;
      y = event.y;
    }
    if (event.kind == WindowEvent::LeftDown) {
      leftDown = true;
      pressedAt.emplace_back(x, y);
    }
    if (event.kind == WindowEvent::LeftUp) leftDown = false;
    return true;
  }
};

// A 1000 Hz mouse for 3 s against a loop that takes one event every 8 ms (a
// loaded machine), with a click in the middle of the burst.
TEST_F(HeadlessWindow, APointerBurstIsCaughtUpWithAtOnceAndAClickKeepsItsPlace) {
  drainEvents();
  constexpr int kMoves = 3000;
  constexpr int kMovesPerTurn = 8;
  constexpr int kClickAt = 1500;
  auto handAt = [](int move) { return std::pair<int, int>{move % 640, (move / 7) % 480}; };
  Pointer pointer;
  int turns = 0;
  for (int move = 0; move < kMoves; ++move) {
    pushMove(handAt(move).first, handAt(move).second);
    if (move == kClickAt) {
      pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
      pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    }
    if (move % kMovesPerTurn == kMovesPerTurn - 1) {
      pointer.takeOne();
      ++turns;
    }
  }
  EXPECT_GT(turns, 300);
  int turnsAfterStop = 0;
  for (; eventsWaiting(); ++turnsAfterStop) pointer.takeOne();
  EXPECT_LE(turnsAfterStop, 2);  // at most a press or release still waiting, then the newest move
  EXPECT_EQ(std::pair(pointer.x, pointer.y), handAt(kMoves - 1));
  ASSERT_EQ(pointer.pressedAt.size(), 1u);
  EXPECT_EQ(pointer.pressedAt[0], handAt(kClickAt));
  EXPECT_FALSE(pointer.leftDown);
}

TEST_F(HeadlessWindow, EveryPressAndReleaseIsReportedInOrderBetweenFoldedMoves) {
  drainEvents();
  pushMove(1, 1);
  pushMove(2, 2);
  pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
  pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
  pushMove(3, 3);
  pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
  pushMove(4, 4);
  pushMove(5, 5);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  pushMove(6, 6);
  const std::vector<std::pair<WindowEvent::Kind, int>> expected = {
      {WindowEvent::PointerMove, 2}, {WindowEvent::RightDown, 0}, {WindowEvent::LeftDown, 0},
      {WindowEvent::PointerMove, 3}, {WindowEvent::LeftUp, 0},    {WindowEvent::PointerMove, 5},
      {WindowEvent::CloseRequest, 0}, {WindowEvent::PointerMove, 6}};
  for (const auto& [kind, x] : expected) {
    WindowEvent taken;
    ASSERT_TRUE(takeWindowEvent(taken));
    EXPECT_EQ(taken.kind, kind);
    if (kind == WindowEvent::PointerMove) {
      EXPECT_EQ(taken.x, x);
    }
  }
}

// On leaving, SDL queues a move clamped to the window's edge and then the leave event.
TEST_F(HeadlessWindow, LeavingTheWindowKeepsTheLastPositionInside) {
  drainEvents();
  Pointer pointer;
  pushMove(300, 300);
  ASSERT_TRUE(pointer.takeOne());
  pushMove(639, 479);  // left to the bottom right, nothing queued before it
  pushLeave();
  while (eventsWaiting()) pointer.takeOne();
  EXPECT_EQ(std::pair(pointer.x, pointer.y), std::pair(300, 300));

  pushMove(500, 200);  // back in, then out to the right within one burst
  pushMove(600, 210);
  pushMove(639, 215);
  pushLeave();
  ASSERT_TRUE(pointer.takeOne());
  EXPECT_EQ(std::pair(pointer.x, pointer.y), std::pair(600, 210));
  EXPECT_FALSE(pointer.takeOne());  // the leave event itself

  pushMove(639, 100);  // a move to the edge that stays inside counts
  ASSERT_TRUE(pointer.takeOne());
  EXPECT_EQ(pointer.x, 639);
}

TEST_F(HeadlessWindow, KeysReadUpWithoutKeyboardFocus) {
  SdlKeySource keys;
  KeyboardDevice device(keys);
  device.poll();
  for (int code = 0; code < kKeyCount; ++code) ASSERT_FALSE(device.isKeyDown(code));
  device.release();
}

TEST(NoDisplay, OpeningTheWindowFailsWithAReason) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows always has a desktop to open a window on";
#endif
  test_system::unsetEnvironment("DISPLAY");
  test_system::unsetEnvironment("WAYLAND_DISPLAY");
  test_system::unsetEnvironment("SDL_VIDEODRIVER");
  std::string reason;
  EXPECT_FALSE(openWindow("sonavel", reason));
  EXPECT_FALSE(reason.empty());
  destroyWindow();  // nothing is left acquired; a second release is harmless
}

}  // namespace

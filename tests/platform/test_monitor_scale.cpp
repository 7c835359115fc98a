// A move to a monitor of another scale, as Windows tells it (WM_DPICHANGED) to a real window.

#include <SDL.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <SDL_syswm.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "core/framebuffer.hpp"
#include "platform/window.hpp"
#include "system_calls.hpp"

namespace {

constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED

// Wine makes real windows only on an X display: the Wine scale test runs these on its Xvfb.
bool wineWithoutDisplay() {
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine && std::getenv("DISPLAY") == nullptr;
}

class MonitorScaleChange : public ::testing::Test {
 protected:
  void SetUp() override {
    if (wineWithoutDisplay()) GTEST_SKIP() << "Wine has no X display to make a window on";
  }
  void open(int scale) {
    test_system::setEnvironment("SDL_VIDEODRIVER", "windows");
    test_system::setEnvironment("SDL_RENDER_DRIVER", "software");
    std::string reason;
    ASSERT_TRUE(openWindow("sonavel", reason, scale)) << reason;
  }
  void TearDown() override { destroyWindow(); }

  static SDL_Window* window() {
    for (Uint32 id = 1; id < 1000; ++id)
      if (SDL_Window* found = SDL_GetWindowFromID(id)) return found;
    return nullptr;
  }
  static HWND handle() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return SDL_GetWindowWMInfo(window(), &info) == SDL_TRUE ? info.info.win.window : nullptr;
  }
  // As Windows sends it: the new DPI both ways, and the frame it suggests (the window's own).
  static void sendDpiChanged(int dpi) {
    RECT frame;
    GetWindowRect(handle(), &frame);
    SendMessageW(handle(), kDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
  }
  static void takeEvents() {
    WindowEvent event;
    for (int turn = 0; turn < 50; ++turn) takeWindowEvent(event);
  }
  static std::pair<int, int> size() {
    int width = 0, height = 0;
    SDL_GetWindowSize(window(), &width, &height);
    return {width, height};
  }
};

TEST_F(MonitorScaleChange, AWindowThatSuitedItsScreenTakesTheSizeThatSuitsTheNewMonitor) {
  open(kScaleToSuitTheScreen);
  const std::pair<int, int> suited = size();
  ASSERT_EQ(suited.first % kPictureWidth, 0);
  ASSERT_EQ(suited.first / kPictureWidth * kPictureHeight, suited.second);
  SDL_SetWindowSize(window(), 700, 500);  // its size on the monitor it came from
  takeEvents();
  ASSERT_EQ(size(), std::make_pair(700, 500)) << "only the monitor's scale changes the size";
  sendDpiChanged(144);
  takeEvents();
  EXPECT_EQ(size(), suited);
}

TEST_F(MonitorScaleChange, AWindowAtAScaleAskedForKeepsItsSize) {
  open(1);
  SDL_SetWindowSize(window(), 700, 500);
  takeEvents();
  sendDpiChanged(144);
  takeEvents();
  EXPECT_EQ(size(), std::make_pair(700, 500));
}

TEST_F(MonitorScaleChange, AWindowOpenedAgainIsWatchedAgain) {
  open(kScaleToSuitTheScreen);
  const HWND first = handle();
  const auto watching = GetWindowLongPtrW(first, GWLP_WNDPROC);
  destroyWindow();
  open(kScaleToSuitTheScreen);  // a second window gets a watch of its own
  EXPECT_EQ(GetWindowLongPtrW(handle(), GWLP_WNDPROC), watching);
  SDL_SetWindowSize(window(), 700, 500);
  takeEvents();
  sendDpiChanged(192);
  takeEvents();
  EXPECT_EQ(size().first % kPictureWidth, 0);
}

}  // namespace
#endif

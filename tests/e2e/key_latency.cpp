// How soon a key press shows in the live window: presses Return through the X
// test extension, alternately freezing and unfreezing the view, and after each
// press reads one pixel row of the window until the frozen view's yellow cursor
// has appeared (or gone). Times run from just before the press is sent to the
// first read that shows the change: the X server's part, the program's wait and
// frame, and the picture's way back to the server.
//
//   sonavel_keylag WINDOW PRESSES    prints "key to picture: mean M ms, max X ms over N presses"
//                                    exit 1 when a press was not shown within a second

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRowY = 100;                        // a grid row the cursor crosses
constexpr int kGridLeft = 10, kGridWidth = 600;
constexpr unsigned long kCursorColour = 0xFFE000;
constexpr auto kGiveUp = std::chrono::seconds(1);
constexpr int kHoldMs = 60;                       // a quick tap, longer than the frame pace

bool cursorShown(Display* display, Window window) {
  XImage* row = XGetImage(display, window, kGridLeft, kRowY, kGridWidth, 1, AllPlanes, ZPixmap);
  if (row == nullptr) return false;
  bool found = false;
  for (int x = 0; x < kGridWidth && !found; ++x) found = (XGetPixel(row, x, 0) & 0xFFFFFF) == kCursorColour;
  XDestroyImage(row);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sonavel_keylag WINDOW PRESSES\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "sonavel_keylag: no display\n");
    return 2;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  const int presses = std::atoi(argv[2]);
  const KeyCode enter = XKeysymToKeycode(display, XK_Return);
  std::mt19937 random(7);
  double sum = 0.0, most = 0.0;
  int shown = 0;
  for (int i = 0; i < presses; ++i) {
    // Presses land at random moments between blocks.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(150, 250)(random)));
    const bool wasFrozen = cursorShown(display, window);
    const Clock::time_point pressed = Clock::now();
    XTestFakeKeyEvent(display, enter, True, CurrentTime);
    XFlush(display);
    bool changed = false;
    Clock::time_point seen;
    while (!changed && Clock::now() - pressed < kGiveUp) {
      changed = cursorShown(display, window) != wasFrozen;
      seen = Clock::now();
    }
    const double ms = std::chrono::duration<double, std::milli>(seen - pressed).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(kHoldMs));
    XTestFakeKeyEvent(display, enter, False, CurrentTime);
    XFlush(display);
    if (!changed) continue;
    ++shown;
    sum += ms;
    if (ms > most) most = ms;
  }
  XCloseDisplay(display);
  std::printf("key to picture: mean %.1f ms, max %.1f ms over %d presses\n", shown ? sum / shown : 0.0, most, shown);
  return shown == presses ? 0 : 1;
}

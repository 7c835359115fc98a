#include "platform/event_watch.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>

#include <chrono>
#include <thread>

namespace {

// SDL also works on a timer (a focus change it defers, a quit signal caught
// between two sleeps); a pump at least this often keeps those prompt.
constexpr Uint64 kLongestQuietMs = 50;

struct Watch {
  Display* display = nullptr;  // null when not watching: every look pumps
  int fd = -1;
  bool news = true;      // pump at the next look
  Uint64 pumpByMs = 0;   // pump at the first look from then on, news or not
};

Watch watch;

}  // namespace

void watchWindowSystem(SDL_Window* window) {
  watch = Watch{};
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  watch.display = info.info.x11.display;
  watch.fd = ConnectionNumber(watch.display);
}

bool windowSystemMayHaveEvents() {
  if (watch.display == nullptr || watch.news) return true;
  return QLength(watch.display) > 0 || SDL_GetTicks64() >= watch.pumpByMs;
}

void windowSystemPumped() {
  watch.news = false;
  watch.pumpByMs = SDL_GetTicks64() + kLongestQuietMs;
}

void windowSystemRoundTrip() { watch.news = true; }

void sleepWatchingWindowSystem(int milliseconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  if (watch.display != nullptr && !watch.news) {
    pollfd connection{watch.fd, POLLIN, 0};
    const timespec timeout{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
    if (ppoll(&connection, 1, &timeout, nullptr) == 0) return;  // the whole sleep, and nothing came
    watch.news = true;  // data, a hang-up or a signal: the next look pumps
  }
  std::this_thread::sleep_until(until);
}

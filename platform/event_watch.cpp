#include "platform/event_watch.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>
#include <cerrno>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

// SDL also works on a timer (a focus change it defers, a quit signal caught
// between two sleeps); a pump at least every this many looks (50 ms at the
// frame loop's pace) keeps those prompt.
constexpr int kLongestQuietLooks = 10;

struct Watch {
  Display* display = nullptr;  // null when not watching: every look pumps
  int fd = -1;
  bool news = true;            // pump at the next look
  int quietLooks = 0;          // looks since the last pump
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
  return QLength(watch.display) > 0 || ++watch.quietLooks >= kLongestQuietLooks;
}

void windowSystemPumped() {
  watch.news = false;
  watch.quietLooks = 0;
}

void windowSystemRoundTrip() { watch.news = true; }

// No clock is read: on this path a wake-up is a single system call. Linux's
// ppoll leaves the time it did not sleep in `left` (glibc's wrapper keeps it).
void sleepWatchingWindowSystem(int milliseconds) {
  timespec left{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
  if (watch.display != nullptr && !watch.news) {
    pollfd connection{watch.fd, POLLIN, 0};
    if (syscall(SYS_ppoll, &connection, 1, &left, nullptr, 0) == 0) return;  // slept through, nothing came
    watch.news = true;  // data, a hang-up or a signal: the next look pumps
  }
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

#include "platform/event_watch.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <fcntl.h>
#include <poll.h>
#include <cerrno>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "core/bell.hpp"
#include "core/constants.hpp"

namespace {

// SDL also works on a timer (a focus change it defers, a quit signal caught
// between two waits): a pump at least this often keeps those prompt.
constexpr long kLongestQuietNanoseconds = 50'000'000;
constexpr long kNanosecondsPerMillisecond = 1'000'000;
constexpr long kNanosecondsPerSecond = 1'000'000'000;

struct Watch {
  Display* display = nullptr;  // null when not watching: every look pumps
  int fd = -1;
  bool news = true;            // pump at the next look
  long quietNanoseconds = 0;   // waited since the last pump
};

Watch watch;

// The bell is a pipe: the audio thread writes a byte, the wait reads them all.
int bellRead = -1;
int bellWrite = -1;
Bell* hung = nullptr;  // the bell the pipe's ringer hangs on

void ringPipe() {
  const char byte = 1;
  // Non-blocking: a pipe already full of rings is rung enough.
  [[maybe_unused]] const ssize_t written = write(bellWrite, &byte, 1);
}

bool openBell(Bell* bell) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  for (int end : ends) {
    fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
    fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  bellRead = ends[0];
  bellWrite = ends[1];
  hung = bell;
  if (hung != nullptr) hangBell(*hung, ringPipe);
  return true;
}

void closeBell() {
  if (hung != nullptr) hangBell(*hung, nullptr);
  hung = nullptr;
  for (int* end : {&bellRead, &bellWrite}) {
    if (*end >= 0) close(*end);
    *end = -1;
  }
}

void drainBell() {
  char rings[64];
  while (read(bellRead, rings, sizeof rings) > 0) {
  }
}

long nanoseconds(const timespec& t) { return t.tv_sec * kNanosecondsPerSecond + t.tv_nsec; }

}  // namespace

void watchWindowSystem(SDL_Window* window, Bell* bell) {
  watch = Watch{};
  closeBell();
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  watch.display = info.info.x11.display;
  watch.fd = ConnectionNumber(watch.display);
  openBell(bell);
}

bool windowSystemMayHaveEvents() {
  if (watch.display == nullptr || watch.news) return true;
  return QLength(watch.display) > 0 || watch.quietNanoseconds >= kLongestQuietNanoseconds;
}

void windowSystemPumped() {
  watch.news = false;
  watch.quietNanoseconds = 0;
}

void windowSystemRoundTrip() { watch.news = true; }

static void sleepFor(timespec left) {
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// No clock is read: on this path a wake-up is a single system call. Linux's
// ppoll leaves the time it did not wait in `left` (glibc's wrapper keeps it).
void waitWatchingWindowSystem(int milliseconds) {
  if (watch.display == nullptr) {  // nothing to watch: the frame loop's own pace
    const int pace = std::min(milliseconds, kFrameSleepMs);
    sleepFor({0, pace * kNanosecondsPerMillisecond});
    return;
  }
  if (watch.news) return;  // a pump is due: the next look takes what came first
  const timespec asked{milliseconds / 1000, (milliseconds % 1000) * kNanosecondsPerMillisecond};
  timespec left = asked;
  pollfd watched[2] = {{watch.fd, POLLIN, 0}, {bellRead, POLLIN, 0}};
  const nfds_t count = bellRead >= 0 ? 2 : 1;
  const long ready = syscall(SYS_ppoll, watched, count, &left, nullptr, 0);
  watch.quietNanoseconds += nanoseconds(asked) - nanoseconds(left);
  if (ready == 0) return;  // waited the whole time, nothing came
  if (count == 2 && (watched[1].revents & POLLIN) != 0) drainBell();
  // Window data, a hang-up or a signal: the next look pumps. A ring alone brings a block.
  if (ready < 0 || watched[0].revents != 0) watch.news = true;
}

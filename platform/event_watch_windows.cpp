#include "platform/event_watch.hpp"

#include <windows.h>
#include <timeapi.h>

#include <algorithm>

#include "core/bell.hpp"
#include "core/constants.hpp"

// The window's messages come to the thread that made it, the frame loop's: the loop waits on
// its message queue and on an event the audio thread sets, with MsgWaitForMultipleObjects.
// A wait is rounded up to the system timer's tick, 15.6 ms unless a program asks for less:
// while the window is open the tick is 1 ms, so the 5 ms frame pace stays 5 ms.

namespace {

// SDL also works on a timer (a focus change it defers): a pump at least this often keeps it prompt.
constexpr long long kLongestQuietMicroseconds = 50'000;
constexpr UINT kTimerTickMs = 1;

struct Watch {
  bool active = false;              // false when not watching: every look pumps
  bool news = true;                 // pump at the next look
  long long quietMicroseconds = 0;  // waited since the last pump
};

Watch watch;
HANDLE bell = nullptr;  // auto-reset: one wait takes every ring before it
Bell* hung = nullptr;   // the bell the event's ringer hangs on
LARGE_INTEGER ticksPerSecond{};

void ringEvent() { SetEvent(bell); }  // one call that never blocks: safe on the audio thread

long long microsecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (now.QuadPart - start.QuadPart) * 1'000'000 / ticksPerSecond.QuadPart;
}

void stopWatching() {
  if (!watch.active) return;
  if (hung != nullptr) hangBell(*hung, nullptr);
  hung = nullptr;
  timeEndPeriod(kTimerTickMs);
  watch = Watch{};
}

}  // namespace

void watchWindowSystem(SDL_Window* window, Bell* ringing) {
  stopWatching();
  watch = Watch{};
  if (window == nullptr) return;
  if (bell == nullptr) bell = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (bell == nullptr) return;
  QueryPerformanceFrequency(&ticksPerSecond);
  timeBeginPeriod(kTimerTickMs);
  ResetEvent(bell);
  hung = ringing;
  if (hung != nullptr) hangBell(*hung, ringEvent);
  watch.active = true;
}

bool windowSystemMayHaveEvents() {
  return !watch.active || watch.news || watch.quietMicroseconds >= kLongestQuietMicroseconds;
}

void windowSystemPumped() {
  watch.news = false;
  watch.quietMicroseconds = 0;
}

void windowSystemRoundTrip() { watch.news = true; }

void waitWatchingWindowSystem(int milliseconds) {
  if (!watch.active) {  // nothing to watch: the frame loop's own pace
    Sleep(static_cast<DWORD>(std::min(milliseconds, kFrameSleepMs)));
    return;
  }
  if (watch.news) return;  // a pump is due: the next look takes what came first
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  // MWMO_INPUTAVAILABLE: messages already queued but not yet taken end the wait too.
  const DWORD woken = MsgWaitForMultipleObjectsEx(1, &bell, static_cast<DWORD>(milliseconds), QS_ALLINPUT,
                                                  MWMO_INPUTAVAILABLE);
  watch.quietMicroseconds += woken == WAIT_TIMEOUT ? milliseconds * 1000LL : microsecondsSince(start);
  // A message: the next look pumps. A ring alone brings a block.
  if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT) watch.news = true;
}

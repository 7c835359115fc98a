#include "platform/stop_signals.hpp"

#include <windows.h>

#include <atomic>
#include <csignal>

// The console's own ways of asking a program to stop, under the numbers of the POSIX signals
// they stand for, so that the exit status (128 + the number) reads the same on both systems:
// Ctrl+C is SIGINT's 2, Ctrl+Break SIGBREAK's 21, closing the console (or logging off) SIGHUP's 1.

namespace {

constexpr int kConsoleClosed = 1;  // SIGHUP's number

std::atomic<int> taken{0};
std::atomic<bool> askCtrlC{false};
// Set when no run is left to wait for; the console closing waits on it (Windows gives it 5 s).
HANDLE runOver = nullptr;

int signalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT: return SIGINT;
    case CTRL_BREAK_EVENT: return SIGBREAK;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: return kConsoleClosed;
    default: return 0;
  }
}

// Runs on a thread of its own, made by the system for the event.
BOOL WINAPI noteStopEvent(DWORD event) {
  const int signal = signalOf(event);
  if (signal == 0 || (signal == SIGINT && !askCtrlC.load())) return FALSE;  // the next handler's
  taken.store(signal);
  if (signal != kConsoleClosed) return TRUE;
  // Returning would end the process at once: wait for the run to finish and return from main.
  if (runOver != nullptr) WaitForSingleObject(runOver, INFINITE);
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

struct StopSignals::Saved {};

StopSignals::StopSignals(StopSignalSet set) : saved_(std::make_unique<Saved>()) {
  taken.store(0);
  // HangUpOnly: the window library takes Ctrl+C itself and turns it into a close request.
  askCtrlC.store(set == StopSignalSet::All);
  if (runOver == nullptr) runOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(runOver);
  SetConsoleCtrlHandler(noteStopEvent, TRUE);
}

StopSignals::~StopSignals() {
  SetConsoleCtrlHandler(noteStopEvent, FALSE);
  SetEvent(runOver);
}

int takenStopSignal() { return taken.load(); }

void clearStopSignal() { taken.store(0); }

std::string stopSignalName(int signal) {
  switch (signal) {
    case SIGINT: return "Ctrl+C";
    case SIGBREAK: return "Ctrl+Break";
    case kConsoleClosed: return "the console closing";
    default: return "signal " + std::to_string(signal);
  }
}

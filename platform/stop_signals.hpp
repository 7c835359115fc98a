#pragma once
// The signals that ask a run to stop (SIGINT: Ctrl-C, SIGTERM: kill, SIGHUP: the terminal
// closed) noted instead of ending the process, so that the run stops where it chooses,
// with its files in order.

#include <memory>
#include <string>

enum class StopSignalSet {
  All,         // SIGINT, SIGTERM and SIGHUP
  HangUpOnly,  // SIGHUP alone, where a window library already turns the others into a close request
};

// While one lives the signals of its set are noted, not acted on; it puts back what was
// there before. SIGHUP stays ignored where it was ignored (nohup).
class StopSignals {
 public:
  explicit StopSignals(StopSignalSet set = StopSignalSet::All);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct Saved;  // what each signal had before, in the system's own terms
  std::unique_ptr<Saved> saved_;
};

// The number of the signal that asked to stop, 0 while none has.
int takenStopSignal();
// Forgets it, once the stop it asked for is under way.
void clearStopSignal();
// "SIGINT", "SIGTERM" or "SIGHUP".
std::string stopSignalName(int signal);

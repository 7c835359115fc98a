#include "platform/stop_signals.hpp"

#include <csignal>

namespace {

volatile std::sig_atomic_t taken = 0;

extern "C" void noteStopSignal(int signal) { taken = signal; }

}  // namespace

struct StopSignals::Saved {
  static constexpr int kMost = 3;
  int signals[kMost] = {};
  bool caught[kMost] = {};
  struct sigaction actions[kMost] = {};
};

StopSignals::StopSignals(StopSignalSet set) : saved_(std::make_unique<Saved>()) {
  taken = 0;
  if (set == StopSignalSet::All) {
    saved_->signals[0] = SIGINT;
    saved_->signals[1] = SIGTERM;
  }
  saved_->signals[2] = SIGHUP;
  struct sigaction action {};
  action.sa_handler = noteStopSignal;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < Saved::kMost; ++i) {
    const int signal = saved_->signals[i];
    if (signal == 0 || sigaction(signal, nullptr, &saved_->actions[i]) != 0) continue;
    if (signal == SIGHUP && saved_->actions[i].sa_handler == SIG_IGN) continue;  // nohup: stay ignored
    saved_->caught[i] = sigaction(signal, &action, nullptr) == 0;
  }
}

StopSignals::~StopSignals() {
  for (int i = 0; i < Saved::kMost; ++i)
    if (saved_->caught[i]) sigaction(saved_->signals[i], &saved_->actions[i], nullptr);
}

int takenStopSignal() { return taken; }

void clearStopSignal() { taken = 0; }

std::string stopSignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
  }
}

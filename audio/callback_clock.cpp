#include "audio/callback_clock.hpp"

#include <algorithm>

#include "core/constants.hpp"

namespace {

constexpr double kNsPerMs = 1e6;
constexpr auto kRelaxed = std::memory_order_relaxed;

template <typename T>
void bump(std::atomic<T>& counter) {
  counter.store(counter.load(kRelaxed) + 1, kRelaxed);
}

template <typename T>
void raise(std::atomic<T>& most, T value) {
  if (value > most.load(kRelaxed)) most.store(value, kRelaxed);
}

std::int64_t periodNs(unsigned long frames) {
  return static_cast<std::int64_t>(static_cast<double>(frames) * 1e9 / kSampleRate);
}

}  // namespace

void resetClock(CallbackClock& clock) {
  clock.lastNs.store(-1, kRelaxed);
  clock.lastFrames.store(0, kRelaxed);
  for (auto* value : {&clock.longestNs, &clock.mostLateNs}) value->store(0, kRelaxed);
  for (auto* count : {&clock.calls, &clock.inputOverflows, &clock.outputUnderflows}) count->store(0, kRelaxed);
  for (auto& bin : clock.intervals) bin.store(0, kRelaxed);
}

void clockCall(CallbackClock& clock, std::int64_t nowNs, unsigned long frames, bool inputOverflow,
               bool outputUnderflow) {
  const std::int64_t last = clock.lastNs.load(kRelaxed);
  if (last >= 0) {
    const std::int64_t interval = std::max<std::int64_t>(nowNs - last, 0);
    raise(clock.longestNs, interval);
    raise(clock.mostLateNs, interval - periodNs(clock.lastFrames.load(kRelaxed)));
    const auto bin = std::min<std::int64_t>(static_cast<std::int64_t>(interval / (kClockBinMs * kNsPerMs)),
                                            kClockBins - 1);
    bump(clock.intervals[static_cast<std::size_t>(bin)]);
  }
  clock.lastNs.store(nowNs, kRelaxed);
  clock.lastFrames.store(frames, kRelaxed);
  bump(clock.calls);
  if (inputOverflow) bump(clock.inputOverflows);
  if (outputUnderflow) bump(clock.outputUnderflows);
}

CallbackPace callbackPace(const CallbackClock& clock) {
  CallbackPace pace;
  pace.calls = clock.calls.load(kRelaxed);
  pace.periodMs = static_cast<double>(periodNs(clock.lastFrames.load(kRelaxed))) / kNsPerMs;
  pace.longestMs = static_cast<double>(clock.longestNs.load(kRelaxed)) / kNsPerMs;
  pace.mostLateMs = static_cast<double>(clock.mostLateNs.load(kRelaxed)) / kNsPerMs;
  pace.inputOverflows = clock.inputOverflows.load(kRelaxed);
  pace.outputUnderflows = clock.outputUnderflows.load(kRelaxed);
  unsigned long long intervals = 0;
  for (const auto& bin : clock.intervals) intervals += bin.load(kRelaxed);
  unsigned long long within = 0;
  for (int i = 0; i < kClockBins && intervals > 0; ++i) {
    within += clock.intervals[static_cast<std::size_t>(i)].load(kRelaxed);
    if (100 * within >= 99 * intervals) {
      pace.p99Ms = (i + 1) * kClockBinMs;
      break;
    }
  }
  return pace;
}

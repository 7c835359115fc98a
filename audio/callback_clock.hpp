#pragma once
// How punctually a stream's callback comes: the time between successive calls
// against the period its previous buffer stood for, and the buffers the host
// says it lost. One callback thread writes a clock; the report reads it once the
// stream has stopped. Writing never allocates, locks or waits.

#include <array>
#include <atomic>
#include <cstdint>

inline constexpr double kClockBinMs = 0.25;  // the intervals' resolution
inline constexpr int kClockBins = 1024;      // up to 256 ms; longer ones land in the last bin

struct CallbackClock {
  std::atomic<std::int64_t> lastNs{-1};         // the previous call, or -1 before the first
  std::atomic<unsigned long> lastFrames{0};     // the previous call's buffer
  std::atomic<std::int64_t> longestNs{0};       // longest interval
  std::atomic<std::int64_t> mostLateNs{0};      // longest interval beyond the period
  std::atomic<unsigned long long> calls{0};
  std::atomic<unsigned long long> inputOverflows{0};   // calls flagged: input was lost before this one
  std::atomic<unsigned long long> outputUnderflows{0}; // calls flagged: the device ran out of output
  std::array<std::atomic<std::uint32_t>, kClockBins> intervals{};  // counts per kClockBinMs
};

// What the report says of one clock.
struct CallbackPace {
  unsigned long long calls = 0;
  double periodMs = 0.0;  // of the most recent buffer
  double longestMs = 0.0;
  double p99Ms = 0.0;     // the interval 99 % of calls kept within (upper edge of its bin)
  double mostLateMs = 0.0;
  unsigned long long inputOverflows = 0;
  unsigned long long outputUnderflows = 0;
};

// Only while no callback runs.
void resetClock(CallbackClock& clock);
// The callback's thread: a call at `nowNs` (any steady clock) with `frames` frames.
void clockCall(CallbackClock& clock, std::int64_t nowNs, unsigned long frames, bool inputOverflow,
               bool outputUnderflow);
CallbackPace callbackPace(const CallbackClock& clock);

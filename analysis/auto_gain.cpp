#include "analysis/auto_gain.hpp"

#include <algorithm>

#include "app/constants.hpp"

namespace {

// Spectrum entries per hertz: two entries per bin, bins 44100 / 2048 Hz apart.
constexpr double kEntriesPerHz = 2.0 * kBlockSize / kSampleRate;
constexpr int kLowestSearchEntry = kNoteRowOffset - 1;            // the semitone below row 0
constexpr int kHighestSearchEntry = kNoteRowOffset + kNoteRows;   // the semitone above row 71

// What the strongest partial is brought to, in spectrum magnitude (a full-scale sine
// reads 1024, so this is a sine at -27 dBFS). Measured over the level sweep (docs/):
// at 24, piano lit its row in 50-59 % of blocks with the neighbour instead in 21-25 %;
// at 45, piano 62-74 % with 11-16 %, guitar 61-66 %, violin 76-82 %, flute 91-97 %.
// Higher still lights more harmonics (violin averages 4.2 rows at 45).
constexpr double kTargetPeak = 45.0;
// Below this (a sine at -80 dBFS; white noise peaking at -70 dBFS reads about 0.02)
// there is nothing worth following: the gain holds, so silence and hiss are never raised.
constexpr double kSignalFloor = 0.1;
// The gain falls at once, since a loud onset must not light its neighbours, and rises
// by at most 2 dB a block, so after a 20 dB drop it is back within ten blocks (0.46 s).
constexpr double kRisePerBlock = 1.2589254117941673;  // +2 dB
constexpr double kLeastGain = 0.001;  // -60 dB: full scale needs no less
// Up to +42 dB: a piano peaking at -40 dBFS needs 30 to 100 times; capped at the
// slider's 27 it lit its row in 30 % of blocks instead of 52 % (measured at a target of 32).
constexpr double kMostGain = 125.0;

}  // namespace

double rawBandPeak(const std::atomic<double>* spectrum, const double* noteFrequency, double blockGain) {
  if (!(blockGain > 0.0)) return 0.0;
  const int first = static_cast<int>(noteFrequency[kLowestSearchEntry] * kEntriesPerHz);
  const int last = std::min(static_cast<int>(noteFrequency[kHighestSearchEntry] * kEntriesPerHz) + 1, kBlockSize - 1);
  double peak = 0.0;
  for (int i = first; i <= last; ++i) peak = std::max(peak, spectrum[i].load(std::memory_order_relaxed));
  return peak / blockGain;
}

double autoGainStep(AutoGain& state, double rawPeak) {
  if (!(rawPeak >= kSignalFloor)) return state.gain;  // NaN holds too
  const double wanted = std::clamp(kTargetPeak / rawPeak, kLeastGain, kMostGain);
  state.gain = std::min(wanted, std::max(state.gain, kLeastGain) * kRisePerBlock);
  return state.gain;
}

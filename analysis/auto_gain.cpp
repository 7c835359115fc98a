#include "analysis/auto_gain.hpp"

#include <algorithm>

#include "app/constants.hpp"

namespace {

// Spectrum entries per hertz: two entries per bin, bins 44100 / 2048 Hz apart.
constexpr double kEntriesPerHz = 2.0 * kBlockSize / kSampleRate;
constexpr int kLowestSearchEntry = kNoteRowOffset - 1;            // the semitone below row 0
constexpr int kHighestSearchEntry = kNoteRowOffset + kNoteRows;   // the semitone above row 71

// Spectrum magnitude the strongest partial is brought to. A full-scale sine reads
// 1024; this is a sine peaking at -33 dBFS, the middle of the band where the
// detector lights the played row and not its neighbours (level sweep, docs/).
constexpr double kTargetPeak = 32;
// Below this (a sine at -66 dBFS; -70 dBFS white noise reads about 0.05) there is
// nothing worth following: the gain holds, so silence and hiss are never raised.
constexpr double kSignalFloor = 0.1;
// The gain falls at once (a loud onset must not light its neighbours) and rises by
// at most 2 dB a block: a 20 dB drop is followed within ten blocks (0.46 s).
constexpr double kRisePerBlock = 1.2589254117941673;  // +2 dB
constexpr double kLeastGain = 0.001;  // -60 dB: louder than full scale needs no less
// Up to +42 dB: a piano peaking at -40 dBFS needs 30 to 100 times to reach the target
// (at most 27, the slider's own limit, it lit its row in 30 % of blocks, not 52 %).
constexpr double kMostGain = 125.0;  // the GAIN slider's full trough, 3 cubed

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

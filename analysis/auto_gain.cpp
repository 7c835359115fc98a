#include "analysis/auto_gain.hpp"

#include <algorithm>

#include "core/constants.hpp"

namespace {

// Spectrum entries per hertz: two entries per bin, bins 44100 / 2048 Hz apart.
constexpr double kEntriesPerHz = 2.0 * kBlockSize / kSampleRate;
constexpr int kLowestSearchEntry = kNoteRowOffset - 1;            // the semitone below row 0
constexpr int kHighestSearchEntry = kNoteRowOffset + kNoteRows;   // the semitone above row 71

// What the strongest partial is brought to, in spectrum magnitude (a full-scale sine
// reads 1024, so this is a sine at -27 dBFS). Measured over the level sweep (docs/), with
// one target for every note: at 24, piano lit its row in 50-59 % of blocks with the neighbour instead in 21-25 %;
// at 45, piano 62-74 % with 11-16 %, guitar 61-66 %, flute 91-97 %.
constexpr double kTargetPeak = 45.0;
// ...but a held note (bowed, blown) lights its harmonics well before a struck one: with one
// target, violin averaged 4.2 rows at 45, 3.2 at 24 and 2.4 at 15, flute kept 88 % at 15. At 17 violin
// stays within 3 rows (3.1 at 18) and flute above 85 %; piano and guitar keep 45.
constexpr double kHeldTargetPeak = 17.0;
// A note is held while it is within 6 dB of its loudest and has risen (by more than
// 0.5 dB) in two blocks since it began: a struck string only decays. Requiring one rise
// let piano's beating partials pass for held (its row lit in 51 % of blocks).
constexpr double kHeldSpread = 0.5011872336272722;  // -6 dB
constexpr double kRiseStep = 1.0592537251772889;    // +0.5 dB
constexpr int kHeldRises = 2;
// A jump of more than 6 dB over the last block starts a new note.
constexpr double kOnsetStep = 1.9952623149688795;  // +6 dB
// Below this (a sine at -80 dBFS; white noise peaking at -70 dBFS reads about 0.02)
// there is nothing worth following: the gain holds, so silence and hiss are never raised.
constexpr double kSignalFloor = 0.1;
// The gain falls at once, since a loud onset must not light its neighbours, and rises
// by at most 1.5 dB a block, so after a 20 dB drop it is back within 14 blocks (0.65 s).
// At 2 dB violin's tails lit 3.1 rows; at 1.25 dB a decaying piano fell behind (55 %).
constexpr double kRisePerBlock = 1.1885022274370185;  // +1.5 dB
// A -40 dBFS start from gain 1 took 0.65 s to rise into reach and flute lost its first
// note there (84 %); catching up to within 16 dB kept it (90 %). 12-20 dB measure alike.
constexpr double kMostBehind = 6.309573444801933;  // 16 dB
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

namespace {

// Follows the current note's level; true while it is held rather than decaying.
bool noteIsHeld(AutoGain& state, double rawPeak) {
  const bool onset = rawPeak > state.lastLevel * kOnsetStep;
  if (onset) {
    state.rises = 0;
    state.noteLevel = rawPeak;
  } else {
    if (rawPeak > state.lastLevel * kRiseStep) ++state.rises;
    state.noteLevel = std::max(state.noteLevel, rawPeak);
  }
  state.lastLevel = rawPeak;
  return state.rises >= kHeldRises && rawPeak >= state.noteLevel * kHeldSpread;
}

}  // namespace

double autoGainStep(AutoGain& state, double rawPeak) {
  if (!(rawPeak >= kSignalFloor)) return state.gain;  // NaN holds too
  const double target = noteIsHeld(state, rawPeak) ? kHeldTargetPeak : kTargetPeak;
  const double wanted = std::clamp(target / rawPeak, kLeastGain, kMostGain);
  // Never more than kMostBehind under what is wanted: a quiet start is caught up at once.
  state.gain = std::max(state.gain, wanted / kMostBehind);
  state.gain = std::min(wanted, std::max(state.gain, kLeastGain) * kRisePerBlock);
  return state.gain;
}

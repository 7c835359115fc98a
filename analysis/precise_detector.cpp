#include "analysis/precise_detector.hpp"

#include <cmath>
#include <cstring>

#include "analysis/fft.hpp"

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Below this amplitude (-115 dBFS after the gain) the strongest partial is digital silence; above
// it, hiss is told from notes by the noise floor, at any level.
constexpr double kSilentAmplitude = 1.7782794100389228e-6;
// Named notes score from kNamedLeast (weakest) to 1 (strongest); the rest show their
// harmonic evidence faintly, never near one half.
constexpr float kNamedLeast = 0.55f;
constexpr float kFaintScale = 0.3f;
constexpr float kFaintMost = 0.2f;
// A reading is sure when its salience reaches this (a lone pure tone has 1).
constexpr double kSureSalience = 1.0;

void transformRecent(PreciseState& state) {
  for (int i = 0; i < kPreciseWindow; ++i) {
    state.transform[2 * i] = state.recent[i] * state.window[i];
    state.transform[2 * i + 1] = 0.0;
  }
  complexFft(2 * kPreciseWindow, -1, state.transform, state.fftWorkArea, state.fftTwiddles);
}

void writeScores(const NoteSearch& found, float* column) {
  for (int row = 0; row < kNoteRows; ++row) {
    const float faint = kFaintScale * found.evidence[row];
    column[row] = faint < kFaintMost ? faint : kFaintMost;
  }
  if (found.count == 0) return;
  const double first = found.notes[0].salience;
  for (int i = 0; i < found.count; ++i) {
    const double share = found.notes[i].salience / first;
    column[found.notes[i].row] = static_cast<float>(kNamedLeast + (1.0 - kNamedLeast) * (share < 1.0 ? share : 1.0));
  }
}

PitchReading readingOf(const NoteSearch& found, const double* rowFrequency) {
  PitchReading reading;
  if (found.count == 0) return reading;
  const FoundNote& note = found.notes[0];
  reading.row = note.row;
  reading.frequency = note.frequency;
  reading.cents = 1200.0 * std::log2(note.frequency / rowFrequency[note.row]);
  const double sure = note.salience / kSureSalience;
  reading.confidence = (sure < 1.0 ? sure : 1.0) * found.firstShare;
  return reading;
}

}  // namespace

void resetPreciseDetector(PreciseState& state) {
  std::memset(state.recent, 0, sizeof state.recent);
  std::memset(state.lit, 0, sizeof state.lit);
  state.windowSum = 0.0;
  for (int i = 0; i < kPreciseWindow; ++i) {
    state.window[i] = 0.5 - 0.5 * std::cos(kTwoPi * i / kPreciseWindow);
    state.windowSum += state.window[i];
  }
  std::memset(state.fftWorkArea, 0, sizeof state.fftWorkArea);
  state.peaks.count = 0;
  state.found.count = 0;
  prepareHalves(state.halves);
}

void runPreciseDetector(const PreciseInput& input, PreciseState& state, float* column, PitchReading& reading) {
  std::memmove(state.recent, state.recent + kBlockSize, sizeof(float) * (kPreciseWindow - kBlockSize));
  std::memcpy(state.recent + kPreciseWindow - kBlockSize, input.block, sizeof(float) * kBlockSize);
  transformRecent(state);
  findSpectralPeaks(state.transform, state.windowSum, state.peakWork, state.peaks);
  if (!(state.peaks.strongest * input.gain >= kSilentAmplitude)) state.peaks.count = 0;
  searchNotes(state.peaks, input.rowFrequency, state.lit, state.search, state.found);
  dropFadedNotes(state.recent, state.halves, state.fftWorkArea, state.fftTwiddles, state.found);
  writeScores(state.found, column);
  for (int row = 0; row < kNoteRows; ++row) state.lit[row] = false;
  for (int i = 0; i < state.found.count; ++i) state.lit[state.found.notes[i].row] = true;
  reading = readingOf(state.found, input.rowFrequency);
}

#pragma once
// The precise detector: names the notes of each block from the partials of the last
// 93 ms of raw input, and reads the strongest one's pitch in cents. Pure: it reads only
// what it is given and its own state, allocates nothing and takes no lock.

#include "analysis/fading_notes.hpp"
#include "analysis/harmonic_search.hpp"
#include "core/analysis_state.hpp"
#include "analysis/precise_sizes.hpp"
#include "analysis/spectral_peaks.hpp"

struct PreciseInput {
  const float* block;           // kBlockSize raw samples, before any gain
  double gain;                  // the gain the block was analysed with: the floor of silence follows it
  const double* rowFrequency;   // 72 tuned frequencies, row 0 first
};

struct PreciseState {
  float recent[kPreciseWindow];  // the last blocks, oldest first
  bool lit[kNoteRows];           // rows named in the previous block
  double window[kPreciseWindow]; // periodic Hann
  double windowSum;
  alignas(64) double transform[2 * kPreciseWindow];
  int fftWorkArea[2 + 128];      // room for transforms of up to 8192 points
  double fftTwiddles[kPreciseWindow / 2];
  PeakWork peakWork;
  PeakList peaks;
  SearchWork search;
  NoteSearch found;
  HalvesWork halves;
};

// Before the first block, and to forget everything heard.
void resetPreciseDetector(PreciseState& state);

// One block: writes the 72 scores (0 .. 1, named notes at 0.5 and above) into `column` and
// the strongest note into `reading`.
void runPreciseDetector(const PreciseInput& input, PreciseState& state, float* column, PitchReading& reading);

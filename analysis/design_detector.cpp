#include "analysis/design_detector.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "analysis/detect_avx2.hpp"
#include "analysis/fft_avx2.hpp"

namespace {

// Tuning constants, used at their single-precision values.
constexpr float kLevelKeep = 0.9f;          // share of the old band level kept per block
constexpr float kLevelTake = 0.1f;          // share of the new band level
constexpr float kRatioScale = 0.33333334f;  // (peak / level)^2 to ratio
// The band level never sinks below this. Only digital silence (below 24-bit
// resolution) reaches it; without it the level decays towards zero over silent
// blocks and the peak floor's ratio to it grows without bound, so after some
// 20 s of silence every row would score as a loud note.
constexpr float kLevelFloor = 0.001f;
constexpr float kSoftScale = 0.06666667f;   // ratio to the soft term of the combined score
constexpr float kSoftCap = 0.15f;           // most the soft term adds
constexpr float kDriveScale = 0.00005f;     // ratio x contrast x centring to drive
constexpr float kDriveFloor = 0.3f;         // drive below this counts as none
constexpr float kLoserScore = 0.15f;        // what the weaker of two strong neighbours keeps
constexpr float kStrong = 0.5f;             // a row above this suppresses its weaker neighbour
constexpr float kOctaveFloor = 0.25f;       // lower-octave score that explains nothing
constexpr float kOctaveShare = 0.5f;        // share of the rest taken from the upper octave
constexpr float kSoftDisplayScale = 0.02f;  // ratio to the soft display's term
constexpr float kSoftAverage = 0.5f;        // the soft display averages two blocks
constexpr float kPeakFloor = 0.00001f;      // a window never above this has no peak
constexpr float kHalfRateReciprocal = 1.0f / 22050.0f;  // Hz to fraction of the spectrum

constexpr int kPeakPoints = 32;   // samples across the semitone window
constexpr int kBandPoints = 64;   // samples across the four-semitone band
constexpr int kCentrePoint = 16;  // the window sample at the note itself
static_assert(kPeakPoints + kBandPoints == kDesignReadsPerRow);
static_assert(kNoteRows % 4 == 0, "the vector measures take rows four at a time");

float windowEdge(const double* noteFrequency, int noteIndex) {
  return static_cast<float>(noteFrequency[noteIndex] * kHalfRateReciprocal);
}

// What a block shows of each row, one array a measure so that a loop over rows vectorises.
// Worked out afresh for every block.
struct RowMeasures {
  float peakHeight[kNoteRows];  // highest window point, the first of equal ones
  int peakPosition[kNoteRows];  // its window point, -1 when none rose above the floor
  float windowSum[kNoteRows];
  float bandSum[kNoteRows];
};

void placeReads(const double* noteFrequency, int row, double size, double* positions) {
  // The window runs from the semitone below up to (not including) the one above.
  const float lo = windowEdge(noteFrequency, row + 11), hi = windowEdge(noteFrequency, row + 13);
  for (int j = 0; j < kPeakPoints; ++j) {
    const double step = static_cast<double>(j) / kPeakPoints;
    positions[j] = ((1 - step) * lo + step * hi) * size;
  }
  // The band runs from four semitones below to four above the note.
  const float bandLo = windowEdge(noteFrequency, row + 8), bandHi = windowEdge(noteFrequency, row + 16);
  for (int k = 0; k < kBandPoints; ++k) {
    const double step = static_cast<double>(k) / kBandPoints;
    positions[kPeakPoints + k] = ((1 - step) * bandLo + step * bandHi) * size;
  }
}

bool readTableCurrent(const DesignReads& table, const DesignInput& in) {
  return table.blockSize == in.blockSize &&
         std::memcmp(table.noteFrequency, in.noteFrequency, sizeof table.noteFrequency) == 0;
}

void buildReadTable(DesignReads& table, const DesignInput& in) {
  std::memcpy(table.noteFrequency, in.noteFrequency, sizeof table.noteFrequency);
  table.blockSize = in.blockSize;
  const double size = static_cast<float>(in.blockSize);
  double positions[kDesignReadsPerRow];
  for (int row = 0; row < kNoteRows; ++row) {
    placeReads(in.noteFrequency, row, size, positions);
    for (int i = 0; i < kDesignReadsPerRow; ++i) table.reads[i * kNoteRows + row] = resolveSpectrumRead(positions[i]);
  }
}

// Highest window point (the first of equal ones), the window sum and the band sum of
// every row. Each row sums in its own order, point by point, in single precision; the
// rows are independent, so each point is taken for all rows at once.
void measureRows(const double* readValues, RowMeasures& measures) {
  for (int row = 0; row < kNoteRows; ++row) {
    measures.peakHeight[row] = kPeakFloor;
    measures.peakPosition[row] = -1;
    measures.windowSum[row] = 0.0f;
    measures.bandSum[row] = 0.0f;
  }
  if (fftHasAvx2()) {
    measureWindowAvx2(readValues, kPeakPoints, kNoteRows, measures.peakHeight, measures.peakPosition,
                      measures.windowSum);
    measureBandAvx2(readValues + kPeakPoints * kNoteRows, kBandPoints, kNoteRows, measures.bandSum);
    return;
  }
  for (int j = 0; j < kPeakPoints; ++j) {
    const double* values = readValues + j * kNoteRows;
    for (int row = 0; row < kNoteRows; ++row) {
      const double s = values[row];
      const bool higher = s > measures.peakHeight[row];
      measures.peakHeight[row] = higher ? static_cast<float>(s) : measures.peakHeight[row];
      measures.peakPosition[row] = higher ? j : measures.peakPosition[row];
      measures.windowSum[row] = static_cast<float>(measures.windowSum[row] + s);
    }
  }
  for (int k = 0; k < kBandPoints; ++k) {
    const double* values = readValues + (kPeakPoints + k) * kNoteRows;
    for (int row = 0; row < kNoteRows; ++row)
      measures.bandSum[row] = static_cast<float>(measures.bandSum[row] + values[row]);
  }
}

// Scores one row into column `col`; returns its ratio for the soft display.
double scoreRow(const RowMeasures& measures, DesignState state, float* column, int row) {
  const float peakHeight = measures.peakHeight[row];
  const float band = measures.bandSum[row];
  float level = static_cast<float>(kLevelKeep * static_cast<double>(state.noteLevel[row]) +
                                   kLevelTake * std::sqrt(band / 64.0));
  if (level < kLevelFloor) level = kLevelFloor;
  state.noteLevel[row] = level;

  const double offCentre = 1.0 - std::abs(measures.peakPosition[row] - kCentrePoint) / 16.0;
  const float centring = static_cast<float>(offCentre * offCentre * offCentre * offCentre);
  const double excess = peakHeight - (static_cast<double>(measures.windowSum[row]) / kPeakPoints) / 2;
  const float contrast = static_cast<float>(100.0 * (excess * excess));
  const double relative = static_cast<double>(peakHeight) / level;
  const float ratio = static_cast<float>(relative * relative * kRatioScale);
  float soft = static_cast<float>(ratio * static_cast<double>(kSoftScale));
  if (soft > kSoftCap) soft = kSoftCap;
  float drive = static_cast<float>(static_cast<double>(ratio) * contrast * centring * kDriveScale - kDriveFloor);
  if (drive < 0.0f) drive = 0.0f;

  const double combined = static_cast<double>(drive) * drive + soft;
  NoteTrack& track = state.noteTrack[row];
  track.previousCombined = track.combined;
  track.combined = static_cast<float>(combined);
  track.effective = static_cast<float>(combined);
  const double score = combined < 1.0 ? combined : 1.0;
  column[row] = static_cast<float>(score);

  if (row >= 1) applyNeighbourRule(column, state.noteTrack, row, score);
  if (row >= 12) applyOctaveRule(column, state.noteTrack, row);
  return ratio;
}

// The second scoring: this block's term averaged with the last one, clamped to 0..1.
void applySoftDisplay(NoteTrack& track, float* column, int row, double ratio) {
  const double z = ratio * kSoftDisplayScale;
  float stored = static_cast<float>((track.softPrevious + z) * kSoftAverage);
  track.softPrevious = static_cast<float>(z);
  if (stored > 1.0f) stored = 1.0f;
  if (stored < 0.0f) stored = 0.0f;
  column[row] = stored;
}

}  // namespace

void applyNeighbourRule(float* column, NoteTrack* tracks, int row, double score) {
  NoteTrack& lower = tracks[row - 1];
  const double e = lower.effective;
  if (!(e > kStrong)) return;
  // The lower row loses ties.
  if (e <= score) {
    column[row - 1] = kLoserScore;
    lower.effective = kLoserScore;
  } else if (score > kLoserScore) {
    column[row] = kLoserScore;
    tracks[row].effective = kLoserScore;
  }
}

void applyOctaveRule(float* scores, NoteTrack* tracks, int row) {
  double explained = (static_cast<double>(scores[row - 12]) - kOctaveFloor) * kOctaveShare;
  if (explained < 0.0) explained = 0.0;
  const double rest = scores[row] - explained;
  NoteTrack& track = tracks[row];
  if (rest < 0.0) {
    scores[row] = 0.0f;
    track.effective = 0.0f;
    return;
  }
  scores[row] = static_cast<float>(rest);
  if (scores[row] < kStrong) track.effective = scores[row];
}

void scoreDesignColumn(const DesignInput& in, DesignReads& reads, DesignState state, float* column) {
  if (!readTableCurrent(reads, in)) buildReadTable(reads, in);
  readSpectrumEach(in.spectrum, reads.reads, reads.values, kNoteRows * kDesignReadsPerRow);
  RowMeasures measures;
  measureRows(reads.values, measures);
  for (int row = 0; row < kNoteRows; ++row) {
    const double ratio = scoreRow(measures, state, column, row);
    if (in.softDisplay) applySoftDisplay(state.noteTrack[row], column, row, ratio);
  }
}

#pragma once
// The scoring the window has always shown: each row's highest point in a semitone
// window of the block's spectrum, against its band's running level, then two
// clean-up rules between rows. A step with inputs and outputs: it reads the spectrum,
// the note table and its own per-row state, and writes one column of scores.

#include <atomic>

#include "analysis/spectrum.hpp"
#include "core/analysis_state.hpp"
#include "core/constants.hpp"

inline constexpr int kDesignReadsPerRow = 96;  // 32 window points, then 64 band points

struct DesignInput {
  const std::atomic<double>* spectrum;  // kBlockSize entries, as the audio thread publishes them
  const double* noteFrequency;          // kNoteCount frequencies from the note table
  int blockSize;
  bool softDisplay;                     // the softer second scoring replaces the first
};

// The detector's own state from block to block: each row's band level and track.
struct DesignState {
  float* noteLevel;      // kNoteRows
  NoteTrack* noteTrack;  // kNoteRows
};

// The spectrum reads of every row, point by point (each point for all rows, so that the
// rows advance side by side), resolved for one note table and block size; built on first
// use and again whenever either changes. `values` holds one block's reads.
struct DesignReads {
  double noteFrequency[kNoteCount] = {};
  int blockSize = 0;  // 0: not built
  SpectrumRead reads[kDesignReadsPerRow * kNoteRows];
  double values[kDesignReadsPerRow * kNoteRows];
};

// Scores one block into `column` (kNoteRows scores in 0..1) and moves `state` on.
void scoreDesignColumn(const DesignInput& in, DesignReads& reads, DesignState state, float* column);

// The two clean-up rules for `row` of `column`, run once the row's own score is stored:
// against the row below (row >= 1; `score` is the row's score clamped to 1) and against
// the row an octave below (row >= 12).
void applyNeighbourRule(float* column, NoteTrack* tracks, int row, double score);
void applyOctaveRule(float* column, NoteTrack* tracks, int row);

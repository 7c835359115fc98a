#pragma once
// Scores the 72 note rows of the newest block into the next column of the score history,
// with the detector's state kept in the shared record. The analysis folder computes and
// does no I/O; it may use core/.

#include "core/analysis_state.hpp"

// Start-up: zeroes the score history and the row tracks, sets every band level to 1, and
// the precise detector forgets what it heard and its reading.
void resetNoteDetection();
// Main thread, once per consumed block: the design's detector, or the precise one while
// `tuner.preciseDetector` is on, writes column `historyColumn`, which then advances. The
// precise one also sets `tuner.pitchReading`.
void detectNotes();
// Whether blocks the design's detector scores are read by the precise one as well, for the
// pitch read-out alone (--pitch); the design's scores stay as they are.
void keepPitchReading(bool on);

// What the precise detector made of the block scored last: its scores, its reading and the raw
// block it read. Null pointers when it did not read that block; `restarted` when it had forgotten
// what it heard before.
struct PreciseBlock {
  const float* scores = nullptr;
  const PitchReading* reading = nullptr;
  const float* block = nullptr;
  bool restarted = false;
};
PreciseBlock lastPreciseBlock();

// The two clean-up rules of analysis/design_detector.hpp on column `col` of the score history
// and the record's tracks, so that their boundaries can be tested one row at a time.
void applyNeighbourRule(int col, int row, double score);
void applyOctaveRule(int col, int row);

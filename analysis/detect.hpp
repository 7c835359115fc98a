#pragma once
// Scores the 72 note rows of the newest block into the next column of the score history,
// with the detector's state kept in the shared record. The analysis folder computes and
// does no I/O; it may use core/.

#include "core/analysis_state.hpp"
#include "core/constants.hpp"

// Start-up: zeroes the score history and the row tracks, sets every band level to 1, and
// the precise detector forgets what it heard and its reading.
void resetNoteDetection();
// Main thread, once per consumed block: the design's detector, or the precise one while
// `tuner.preciseDetector` is on, writes column `historyColumn`, which then advances. The
// precise one also sets `tuner.pitchReading`.
void detectNotes();
// The next block does not follow the last one scored (blocks passed by while frozen, or
// were missed): the precise detector forgets the blocks it holds, as at the start.
void forgetRecentBlocks();
// Whether every scored block is also read by a precise detector of the outputs' own (--pitch,
// --midi), whichever detector the picture uses; the picture's scores and reading stay as they are.
void keepPitchReading(bool on);

// What that detector made of the last scored block.
struct KeptReading {
  float scores[kNoteRows];
  PitchReading reading;     // empty when nothing sounds or it is not kept
  float block[kBlockSize];  // the raw block it read
  bool afterGap = true;     // it forgot what it held before this block (the first, or after a gap)
};
const KeptReading& keptReading();

// The two clean-up rules of analysis/design_detector.hpp on column `col` of the score history
// and the record's tracks, so that their boundaries can be tested one row at a time.
void applyNeighbourRule(int col, int row, double score);
void applyOctaveRule(int col, int row);

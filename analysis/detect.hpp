#pragma once
// Scores the 72 note rows of the newest block into the next column of the score history.
// The record and the detectors' own state are the caller's, passed in. The analysis folder
// computes and does no I/O; it may use core/.

#include "analysis/design_detector.hpp"
#include "analysis/precise_detector.hpp"
#include "core/analysis_state.hpp"
#include "core/constants.hpp"
#include "core/tuner_state.hpp"

// A precise detector's window of recent blocks and its working storage.
struct PreciseRun {
  PreciseState state;
  bool sawLastBlock = false;  // it read the block before this one
};

// What the outputs' precise detector made of the last scored block.
struct KeptReading {
  float scores[kNoteRows];
  PitchReading reading;     // empty when nothing sounds or it is not kept
  float block[kBlockSize];  // the raw block it read
  bool afterGap = true;     // it forgot what it held before this block (the first, or after a gap)
};

// The detectors' state beside the record. Two precise runs, so that what one output wants
// never changes what another shows: the picture's (key D), which starts afresh whenever it
// is switched on, and the outputs' (--pitch, --midi), which reads every block whichever
// detector the picture uses. Large: keep it off the stack.
struct NoteDetection {
  DesignReads designReads;  // the reads resolved for the note table in use
  PreciseRun shown;
  PreciseRun heard;
  bool readingKept = false;
  KeptReading kept;
};

// Start-up: zeroes the score history and the row tracks, sets every band level to 1, and
// the precise detectors forget what they heard and their readings.
void resetNoteDetection(TunerState& record, NoteDetection& detection);
// Main thread, once per consumed block: the record's `detector` writes column `historyColumn`,
// which then advances, and sets `record.history.pitchReading` (empty from a detector that reads none).
void detectNotes(TunerState& record, NoteDetection& detection);
// Whether `detector` reads a pitch for the toolbar's read-out.
bool detectorReads(Detector detector);
// The next block does not follow the last one scored (blocks passed by while frozen, or
// were missed): the precise detectors forget the blocks they hold, as at the start.
void forgetRecentBlocks(NoteDetection& detection);
// Whether every scored block is also read by the outputs' precise detector, whichever detector
// the picture uses; the picture's scores and reading stay as they are.
void keepPitchReading(NoteDetection& detection, bool on);

// The two clean-up rules of analysis/design_detector.hpp on column `col` of the score history
// and the record's tracks, so that their boundaries can be tested one row at a time.
void applyNeighbourRule(TunerState& record, int col, int row, double score);
void applyOctaveRule(TunerState& record, int col, int row);

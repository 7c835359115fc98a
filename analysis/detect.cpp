#include "analysis/detect.hpp"

#include "analysis/design_detector.hpp"
#include "analysis/precise_detector.hpp"
#include "core/tuner_state.hpp"

namespace {

DesignReads designReads;  // the reads resolved for the note table in use

// A precise detector's window of recent blocks and its working storage.
struct PreciseRun {
  PreciseState state;
  bool sawLastBlock = false;  // it read the block before this one
};

// Two runs, so that what one output wants never changes what another shows: the picture's
// (key D), which starts afresh whenever it is switched on, and the outputs' (--pitch), which
// reads every block whichever detector the picture uses.
PreciseRun shown;
PreciseRun heard;
bool readingKept = false;
KeptReading kept;

float* column(int col) { return tuner.scoreHistory + col * kNoteRows; }

// Returns whether it forgot what it held: blocks it did not see leave a gap.
bool runPrecise(PreciseRun& run, const float* block, float* scores, PitchReading& reading) {
  const bool afterGap = !run.sawLastBlock;
  if (afterGap) resetPreciseDetector(run.state);
  run.sawLastBlock = true;
  const PreciseInput input{block, tuner.blockGain.load(std::memory_order_relaxed), tuner.noteFrequency + kNoteRowOffset};
  runPreciseDetector(input, run.state, scores, reading);
  return afterGap;
}

void runDesign(float* scores) {
  const DesignInput in{tuner.spectrum, tuner.noteFrequency, tuner.blockSize, tuner.softDisplay == 1};
  scoreDesignColumn(in, designReads, DesignState{tuner.noteLevel, tuner.noteTrack}, scores);
  shown.sawLastBlock = false;
  tuner.pitchReading = PitchReading{};
}

}  // namespace

void resetNoteDetection() {
  for (float& score : tuner.scoreHistory) score = 0.0f;
  for (float& level : tuner.noteLevel) level = 1.0f;
  for (NoteTrack& track : tuner.noteTrack) track = NoteTrack{};
  forgetRecentBlocks();
  tuner.pitchReading = PitchReading{};
  kept.reading = PitchReading{};
}

void forgetRecentBlocks() {
  shown.sawLastBlock = false;
  heard.sawLastBlock = false;
}

void applyNeighbourRule(int col, int row, double score) { applyNeighbourRule(column(col), tuner.noteTrack, row, score); }

void applyOctaveRule(int col, int row) { applyOctaveRule(column(col), tuner.noteTrack, row); }

void detectNotes() {
  int col = tuner.historyColumn.load(std::memory_order_relaxed);
  if (col < 0 || col >= kHistoryColumns) col = 0;  // the ring index is ours alone; never write outside it
  if (tuner.preciseDetector || readingKept)
    for (int i = 0; i < kBlockSize; ++i) kept.block[i] = tuner.lastBlock[i].load(std::memory_order_relaxed);
  if (tuner.preciseDetector) runPrecise(shown, kept.block, column(col), tuner.pitchReading);
  else runDesign(column(col));
  if (readingKept) kept.afterGap = runPrecise(heard, kept.block, kept.scores, kept.reading);
  tuner.historyColumn.store((col + 1) % kHistoryColumns, std::memory_order_relaxed);
}

void keepPitchReading(bool on) {
  readingKept = on;
  heard.sawLastBlock = false;
  kept.reading = PitchReading{};
}

const KeptReading& keptReading() { return kept; }

#include "analysis/detect.hpp"

#include "analysis/design_detector.hpp"
#include "analysis/precise_detector.hpp"
#include "core/tuner_state.hpp"

namespace {

DesignReads designReads;  // the reads resolved for the note table in use

// The precise detector's window of recent blocks and its working storage.
struct PreciseRun {
  PreciseState state;
  bool sawLastBlock = false;  // it read the block before this one
  bool readingKept = false;   // it reads the design's blocks too, for the pitch read-out
  float scratch[kNoteRows];   // its scores of a block the design's detector scores
  float block[kBlockSize];    // the raw block it read last
  const float* scores = nullptr;  // its scores of the block scored last; null when it did not read it
  bool restarted = false;     // it forgot its past before that block
};
PreciseRun precise;

float* column(int col) { return tuner.scoreHistory + col * kNoteRows; }

void runPrecise(float* scores) {
  // Blocks it did not see leave a gap: what it kept from before is forgotten.
  precise.restarted = !precise.sawLastBlock;
  if (!precise.sawLastBlock) resetPreciseDetector(precise.state);
  precise.sawLastBlock = true;
  float* block = precise.block;
  for (int i = 0; i < kBlockSize; ++i) block[i] = tuner.lastBlock[i].load(std::memory_order_relaxed);
  precise.scores = scores;
  const PreciseInput input{block, tuner.blockGain.load(std::memory_order_relaxed), tuner.noteFrequency + kNoteRowOffset};
  runPreciseDetector(input, precise.state, scores, tuner.pitchReading);
}

void runDesign(float* scores) {
  const DesignInput in{tuner.spectrum, tuner.noteFrequency, tuner.blockSize, tuner.softDisplay == 1};
  scoreDesignColumn(in, designReads, DesignState{tuner.noteLevel, tuner.noteTrack}, scores);
  if (precise.readingKept) {
    runPrecise(precise.scratch);
  } else {
    precise.sawLastBlock = false;
    precise.scores = nullptr;
    tuner.pitchReading = PitchReading{};
  }
}

}  // namespace

void resetNoteDetection() {
  for (float& score : tuner.scoreHistory) score = 0.0f;
  for (float& level : tuner.noteLevel) level = 1.0f;
  for (NoteTrack& track : tuner.noteTrack) track = NoteTrack{};
  resetPreciseDetector(precise.state);
  precise.sawLastBlock = false;
  precise.scores = nullptr;
  tuner.pitchReading = PitchReading{};
}

void applyNeighbourRule(int col, int row, double score) { applyNeighbourRule(column(col), tuner.noteTrack, row, score); }

void applyOctaveRule(int col, int row) { applyOctaveRule(column(col), tuner.noteTrack, row); }

void detectNotes() {
  int col = tuner.historyColumn.load(std::memory_order_relaxed);
  if (col < 0 || col >= kHistoryColumns) col = 0;  // the ring index is ours alone; never write outside it
  if (tuner.preciseDetector) runPrecise(column(col));
  else runDesign(column(col));
  tuner.historyColumn.store((col + 1) % kHistoryColumns, std::memory_order_relaxed);
}

void keepPitchReading(bool on) { precise.readingKept = on; }

PreciseBlock lastPreciseBlock() {
  if (precise.scores == nullptr) return PreciseBlock{};
  return PreciseBlock{precise.scores, &tuner.pitchReading, precise.block, precise.restarted};
}

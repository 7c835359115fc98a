#include "analysis/detect.hpp"

namespace {

float* column(TunerState& record, int col) { return record.history.scores + col * kNoteRows; }

// Returns whether it forgot what it held: blocks it did not see leave a gap.
bool runPrecise(const TunerState& record, PreciseRun& run, const float* block, float* scores, PitchReading& reading) {
  const bool afterGap = !run.sawLastBlock;
  if (afterGap) resetPreciseDetector(run.state);
  run.sawLastBlock = true;
  const PreciseInput input{block, record.handoff.blockGain.load(std::memory_order_relaxed), record.notes.frequency + kNoteRowOffset};
  runPreciseDetector(input, run.state, scores, reading);
  return afterGap;
}

void runDesign(TunerState& record, NoteDetection& detection, float* scores) {
  const DesignInput in{record.handoff.spectrum, record.notes.frequency, record.blockSize, record.controls.softDisplay == 1};
  scoreDesignColumn(in, detection.designReads, DesignState{record.history.noteLevel, record.history.noteTrack}, scores);
  detection.shown.sawLastBlock = false;
  record.history.pitchReading = PitchReading{};
}

void runPreciseShown(TunerState& record, NoteDetection& detection, float* scores) {
  runPrecise(record, detection.shown, detection.kept.block, scores, record.history.pitchReading);
}

// Each detector's step, in the enum's order.
struct DetectorRow {
  bool readsBlock;  // takes the raw block rather than the published spectrum
  bool reads;       // reads a pitch for the read-out
  void (*score)(TunerState& record, NoteDetection& detection, float* scores);
};
constexpr DetectorRow kDetectors[kDetectorCount] = {
    {false, false, runDesign},
    {true, true, runPreciseShown},
};

const DetectorRow& detectorRow(Detector detector) { return kDetectors[static_cast<int>(detector)]; }

}  // namespace

bool detectorReads(Detector detector) { return detectorRow(detector).reads; }

void resetNoteDetection(TunerState& record, NoteDetection& detection) {
  for (float& score : record.history.scores) score = 0.0f;
  for (float& level : record.history.noteLevel) level = 1.0f;
  for (NoteTrack& track : record.history.noteTrack) track = NoteTrack{};
  forgetRecentBlocks(detection);
  record.history.pitchReading = PitchReading{};
  detection.kept.reading = PitchReading{};
}

void forgetRecentBlocks(NoteDetection& detection) {
  detection.shown.sawLastBlock = false;
  detection.heard.sawLastBlock = false;
}

void applyNeighbourRule(TunerState& record, int col, int row, double score) {
  applyNeighbourRule(column(record, col), record.history.noteTrack, row, score);
}

void applyOctaveRule(TunerState& record, int col, int row) {
  applyOctaveRule(column(record, col), record.history.noteTrack, row);
}

void detectNotes(TunerState& record, NoteDetection& detection) {
  int col = record.history.column.load(std::memory_order_relaxed);
  if (col < 0 || col >= kHistoryColumns) col = 0;  // the ring index is ours alone; never write outside it
  KeptReading& kept = detection.kept;
  const DetectorRow& detector = detectorRow(record.controls.detector);
  if (detector.readsBlock || detection.readingKept)
    for (int i = 0; i < kBlockSize; ++i) kept.block[i] = record.handoff.lastBlock[i].load(std::memory_order_relaxed);
  detector.score(record, detection, column(record, col));
  if (detection.readingKept) kept.afterGap = runPrecise(record, detection.heard, kept.block, kept.scores, kept.reading);
  record.history.column.store((col + 1) % kHistoryColumns, std::memory_order_relaxed);
}

void keepPitchReading(NoteDetection& detection, bool on) {
  detection.readingKept = on;
  detection.heard.sawLastBlock = false;
  detection.kept.reading = PitchReading{};
}

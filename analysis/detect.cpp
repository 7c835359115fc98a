#include "analysis/detect.hpp"

#include "analysis/design_detector.hpp"
#include "core/tuner_state.hpp"

namespace {

DesignReads designReads;  // the reads resolved for the note table in use

float* column(int col) { return tuner.scoreHistory + col * kNoteRows; }

}  // namespace

void resetNoteDetection() {
  for (float& score : tuner.scoreHistory) score = 0.0f;
  for (float& level : tuner.noteLevel) level = 1.0f;
  for (NoteTrack& track : tuner.noteTrack) track = NoteTrack{};
}

void applyNeighbourRule(int col, int row, double score) { applyNeighbourRule(column(col), tuner.noteTrack, row, score); }

void applyOctaveRule(int col, int row) { applyOctaveRule(column(col), tuner.noteTrack, row); }

void detectNotes() {
  int col = tuner.historyColumn.load(std::memory_order_relaxed);
  if (col < 0 || col >= kHistoryColumns) col = 0;  // the ring index is ours alone; never write outside it
  const DesignInput in{tuner.spectrum, tuner.noteFrequency, tuner.blockSize, tuner.softDisplay == 1};
  scoreDesignColumn(in, designReads, DesignState{tuner.noteLevel, tuner.noteTrack}, column(col));
  tuner.historyColumn.store((col + 1) % kHistoryColumns, std::memory_order_relaxed);
}

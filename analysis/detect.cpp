#include "analysis/detect.hpp"

#include "app/tuner_state.hpp"

void resetNoteDetection() {
  for (float& score : tuner.scoreHistory) score = 0.0f;
  for (float& level : tuner.noteLevel) level = 1.0f;
  for (NoteTrack& track : tuner.noteTrack) track = NoteTrack{};
}

void detectNotes() {
  tuner.historyColumn.store((tuner.historyColumn.load(std::memory_order_relaxed) + 1) % kHistoryColumns,
                            std::memory_order_relaxed);
}

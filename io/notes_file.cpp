#include "io/notes_file.hpp"

namespace {

void writeEvents(NotesFile& notes) {
  for (int i = 0; i < notes.events.count; ++i) writeMidiNote(notes.track, notes.events.events[i]);
}

}  // namespace

bool startNotesFile(std::FILE* file, NotesFile& notes, std::string& reason) {
  resetPreciseDetector(notes.precise);
  resetNoteTracker(notes.tracker);
  notes.nextSample = -1;
  return startMidiFile(file, notes.track, reason);
}

void addNotesBlock(NotesFile& notes, const float* block, double gain, const double* rowFrequency, long long firstSample) {
  const bool afterGap = notes.nextSample >= 0 && firstSample != notes.nextSample;
  if (afterGap) resetPreciseDetector(notes.precise);
  runPreciseDetector(PreciseInput{block, gain, rowFrequency}, notes.precise, notes.scores, notes.reading);
  const NoteTrackerInput input{notes.scores, &notes.reading, block, rowFrequency, firstSample, afterGap};
  trackNotes(input, notes.tracker, notes.events);
  writeEvents(notes);
  notes.nextSample = firstSample + kBlockSize;
}

bool finishNotesFile(NotesFile& notes, std::string& reason) {
  finishNotes(notes.tracker, notes.events);
  writeEvents(notes);
  return finishMidiFile(notes.track, reason);
}

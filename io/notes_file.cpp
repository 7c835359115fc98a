#include "io/notes_file.hpp"

namespace {

// The first `count` events waiting, into the file.
void writeEvents(NotesFile& notes, int count) {
  for (int i = 0; i < count; ++i) writeMidiNote(notes.track, notes.order.waiting[i]);
  dropNoteEvents(notes.order, count);
}

}  // namespace

bool startNotesFile(std::FILE* file, NotesFile& notes, std::string& reason) {
  resetNoteTracker(notes.tracker);
  notes.order.count = 0;
  return startMidiFile(file, notes.track, reason);
}

void addNotesBlock(NotesFile& notes, const NoteTrackerInput& block) {
  trackNotes(block, notes.tracker, notes.events);
  holdNoteEvents(notes.order, notes.events);
  writeEvents(notes, settledNoteEvents(notes.order, block.firstSample));
}

bool finishNotesFile(NotesFile& notes, std::string& reason) {
  finishNotes(notes.tracker, notes.events);
  holdNoteEvents(notes.order, notes.events);
  writeEvents(notes, notes.order.count);
  return finishMidiFile(notes.track, reason);
}

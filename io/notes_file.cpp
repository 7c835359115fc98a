#include "io/notes_file.hpp"

namespace {

void writeEvents(NotesFile& notes) {
  for (int i = 0; i < notes.events.count; ++i) writeMidiNote(notes.track, notes.events.events[i]);
}

}  // namespace

bool startNotesFile(std::FILE* file, NotesFile& notes, std::string& reason) {
  resetNoteTracker(notes.tracker);
  return startMidiFile(file, notes.track, reason);
}

void addNotesBlock(NotesFile& notes, const NoteTrackerInput& block) {
  trackNotes(block, notes.tracker, notes.events);
  writeEvents(notes);
}

bool finishNotesFile(NotesFile& notes, std::string& reason) {
  finishNotes(notes.tracker, notes.events);
  writeEvents(notes);
  return finishMidiFile(notes.track, reason);
}

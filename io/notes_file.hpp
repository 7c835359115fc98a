#pragma once
// The notes of a run as a MIDI file: the note tracker turns what the outputs' precise detector
// names in each block into notes, and they go into the file in order as they settle.

#include <cstdio>
#include <string>

#include "analysis/note_order.hpp"
#include "analysis/note_tracker.hpp"
#include "io/midi_file.hpp"

struct NotesFile {
  NoteTrackerState tracker;
  NoteEvents events;
  NoteOrder order;
  MidiTrack track;
};

// The file's header; false with why.
bool startNotesFile(std::FILE* file, NotesFile& notes, std::string& reason);
// One scored block, as the outputs' precise detector read it.
void addNotesBlock(NotesFile& notes, const NoteTrackerInput& block);
// The notes still held end after the last block; false with why when the file is not whole.
bool finishNotesFile(NotesFile& notes, std::string& reason);

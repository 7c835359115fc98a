#pragma once
// The notes of a run as a MIDI file: a precise detector of its own reads every block the run
// consumes, whichever detector draws the rows, the note tracker turns what it names into notes,
// and they go into the file as they are decided.

#include <cstdio>
#include <string>

#include "analysis/note_tracker.hpp"
#include "analysis/precise_detector.hpp"
#include "io/midi_file.hpp"

struct NotesFile {
  PreciseState precise;
  float scores[kNoteRows];
  PitchReading reading;
  NoteTrackerState tracker;
  NoteEvents events;
  MidiTrack track;
  long long nextSample = -1;  // of the block after the last one read; -1 before the first
};

// The file's header; false with why.
bool startNotesFile(std::FILE* file, NotesFile& notes, std::string& reason);
// One block of raw samples, analysed with `gain`, starting at input sample `firstSample`. A block
// that does not follow the last one starts afresh: every note ends, the detector forgets.
void addNotesBlock(NotesFile& notes, const float* block, double gain, const double* rowFrequency, long long firstSample);
// The notes still held end after the last block; false with why when the file is not whole.
bool finishNotesFile(NotesFile& notes, std::string& reason);

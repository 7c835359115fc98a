#pragma once
// Standard MIDI File of the notes heard: format 0 (one track is all one instrument's notes
// need, and every reader takes it), 480 ticks a quarter at 120 BPM, so a tick is 1/960 s;
// note-on and note-off on channel 1, with running status. Written to a file the caller opens.

#include <cstdio>
#include <string>

#include "analysis/note_tracker.hpp"

inline constexpr int kMidiTicksPerQuarter = 480;
inline constexpr long kMidiMicrosecondsPerQuarter = 500000;  // 120 BPM
inline constexpr long long kMidiTicksPerSecond = 960;

struct MidiTrack {
  std::FILE* file = nullptr;
  long lengthAt = 0;              // where the track's length goes once it is known
  unsigned long long bytes = 0;   // the track's bytes so far
  long long tick = 0;             // of the last event written
  int runningStatus = -1;         // the last status byte sent, -1 after a meta event
  bool failed = false;
};

// The tick of input sample `sample` at 44100 Hz, to the nearest, ties to even.
long long midiTickOfSample(long long sample);

// The header and the tempo; false with why.
bool startMidiFile(std::FILE* file, MidiTrack& track, std::string& reason);
// One note-on or note-off, at or after the last event's time (an earlier one is written at it).
void writeMidiNote(MidiTrack& track, const NoteEvent& event);
// The end of the track and its length; false with why when anything could not be written.
bool finishMidiFile(MidiTrack& track, std::string& reason);

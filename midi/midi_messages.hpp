#pragma once
// The note messages sent for the tracker's notes, and the keys they leave sounding: a
// synthesiser holds a key until it is told to let go, so every note-on gets its note-off.
// Pure: no port, no I/O.

#include "analysis/note_tracker.hpp"

inline constexpr int kMidiChannel = 0;        // channel 1 on the wire
inline constexpr int kMidiKeys = 128;
inline constexpr int kMidiMostVelocity = 127;
inline constexpr int kMidiReleaseVelocity = 64;  // the default a note-off carries when nothing measured it
inline constexpr unsigned char kMidiNoteOff = 0x80;
inline constexpr unsigned char kMidiNoteOn = 0x90;
inline constexpr int kMostMessagesPerEvent = 2;  // a note-on for a key still held ends it first

struct MidiMessage {
  unsigned char bytes[3];
};

struct HeldKeys {
  bool held[kMidiKeys] = {};
  bool early[kMidiKeys] = {};  // sounding since the block that first showed it, not yet decided by the tracker
};

// A block's worth: its events, and a note-on or a note-off per row besides.
inline constexpr int kMostMessagesPerBlock = kMostNoteEvents * kMostMessagesPerEvent + kNoteRows;

// The messages for one tracker event into `out`, and the held keys updated; how many. None for a
// row outside the table or the end of a key not held.
int midiMessagesFor(const NoteEvent& event, HeldKeys& keys, MidiMessage out[kMostMessagesPerEvent]);
// One block's messages into `out`; how many. The tracker's events first, then a note-on for each
// row it shows for the first time: it decides a note only with the next block, and a player hears
// that block's wait, so the key sounds at once and the tracker's note-on for it later sends nothing.
// A row it then lets drop as a blip gets its note-off. A row where a partial of a note already shown
// falls waits for the tracker: that is where one-block blips come from.
int midiMessagesForBlock(const NoteEvents& events, const NoteTrackerState& tracker, HeldKeys& keys,
                         MidiMessage out[kMostMessagesPerBlock]);
// A note-off for every key still held, lowest first, into `out`; how many. No key is held after.
int releaseHeldKeys(HeldKeys& keys, MidiMessage out[kMidiKeys]);

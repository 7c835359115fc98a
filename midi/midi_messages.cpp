#include "midi/midi_messages.hpp"

namespace {

MidiMessage noteOff(int key) {
  return MidiMessage{{static_cast<unsigned char>(kMidiNoteOff | kMidiChannel), static_cast<unsigned char>(key),
                      kMidiReleaseVelocity}};
}

// A note-on of velocity 0 is a note-off on the wire: the softest note still sounds.
MidiMessage noteOn(int key, int velocity) {
  if (velocity < 1) velocity = 1;
  if (velocity > kMidiMostVelocity) velocity = kMidiMostVelocity;
  return MidiMessage{{static_cast<unsigned char>(kMidiNoteOn | kMidiChannel), static_cast<unsigned char>(key),
                      static_cast<unsigned char>(velocity)}};
}

// The detector may name a note's 2nd to 8th harmonic for a block as the note begins, so a row
// there waits for the tracker to confirm it.
constexpr int kEarlyHarmonics = 8;

bool mayBeAPartial(const NoteTrackerState& tracker, int row) {
  for (int h = 1; h < kEarlyHarmonics; ++h)
    if (row - kHarmonicRows[h] >= 0 && tracker.rows[row - kHarmonicRows[h]].phase != RowPhase::Idle) return true;
  return false;
}

}  // namespace

int midiMessagesFor(const NoteEvent& event, HeldKeys& keys, MidiMessage out[kMostMessagesPerEvent]) {
  if (event.row < 0 || event.row >= kNoteRows) return 0;
  const int key = event.row + kMidiKeyOfRow0;
  bool& held = keys.held[key];
  bool& early = keys.early[key];
  if (event.on && early) {  // the tracker decided the note already sounding
    early = false;
    return 0;
  }
  int count = 0;
  if (held) out[count++] = noteOff(key);  // a synthesiser counts its note-ons: a second one would stick
  if (event.on) out[count++] = noteOn(key, event.velocity);
  held = event.on;
  early = false;
  return count;
}

int midiMessagesForBlock(const NoteEvents& events, const NoteTrackerState& tracker, HeldKeys& keys,
                         MidiMessage out[kMostMessagesPerBlock]) {
  int count = 0;
  for (int i = 0; i < events.count; ++i) count += midiMessagesFor(events.events[i], keys, out + count);
  for (int row = 0; row < kNoteRows; ++row) {
    const int key = row + kMidiKeyOfRow0;
    const RowNote& note = tracker.rows[row];
    if (keys.early[key] && note.phase == RowPhase::Idle) {  // a blip, or ended by a gap before it was decided
      out[count++] = noteOff(key);
      keys.held[key] = keys.early[key] = false;
    }
    if (note.phase == RowPhase::Lit && !keys.held[key] && !mayBeAPartial(tracker, row)) {
      out[count++] = noteOn(key, noteVelocity(note.fullLevel));
      keys.held[key] = keys.early[key] = true;
    }
  }
  return count;
}

int releaseHeldKeys(HeldKeys& keys, MidiMessage out[kMidiKeys]) {
  int count = 0;
  for (int key = 0; key < kMidiKeys; ++key) {
    if (keys.held[key]) out[count++] = noteOff(key);
    keys.held[key] = keys.early[key] = false;
  }
  return count;
}

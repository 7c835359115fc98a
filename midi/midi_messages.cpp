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

}  // namespace

int midiMessagesFor(const NoteEvent& event, HeldKeys& keys, MidiMessage out[kMostMessagesPerEvent]) {
  if (event.row < 0 || event.row >= kNoteRows) return 0;
  const int key = event.row + kMidiKeyOfRow0;
  bool& held = keys.held[key];
  int count = 0;
  if (held) out[count++] = noteOff(key);  // a synthesiser counts its note-ons: a second one would stick
  if (event.on) out[count++] = noteOn(key, event.velocity);
  held = event.on;
  return count;
}

int releaseHeldKeys(HeldKeys& keys, MidiMessage out[kMidiKeys]) {
  int count = 0;
  for (int key = 0; key < kMidiKeys; ++key) {
    if (keys.held[key]) out[count++] = noteOff(key);
    keys.held[key] = false;
  }
  return count;
}

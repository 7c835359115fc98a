#include "app/midi_out.hpp"

#include <utility>

MidiOut::MidiOut() : tracker_(std::make_unique<NoteTrackerState>()) { resetNoteTracker(*tracker_); }

MidiOut::~MidiOut() { close(); }

bool MidiOut::open(const MidiSystemChoice& choice, int device, std::string& reason) {
  port_ = openMidiPort(choice, device, reason);
  if (!port_) return false;
  resetNoteTracker(*tracker_);
  return true;
}

void MidiOut::track(const NoteTrackerInput& block) {
  if (!port_) return;
  trackNotes(block, *tracker_, events_);
  sendMessages(messages_, midiMessagesForBlock(events_, *tracker_, keys_, messages_));
}

void MidiOut::close() {
  if (!port_) return;
  letGo();
  port_.reset();
}

std::vector<std::string> MidiOut::takeNotices() { return std::exchange(notices_, {}); }

void MidiOut::send(const NoteEvents& events) {
  MidiMessage messages[kMostMessagesPerEvent];
  for (int i = 0; i < events.count; ++i) sendMessages(messages, midiMessagesFor(events.events[i], keys_, messages));
}

void MidiOut::sendMessages(const MidiMessage* messages, int count) {
  std::string reason;
  for (int i = 0; i < count && port_; ++i) {
    if (sendMidi(*port_, messages[i], reason)) continue;
    notices_.push_back("MIDI out stopped: " + reason);
    port_.reset();
  }
}

// The tracker's ends of the notes it holds, then a note-off for any key still sounding.
void MidiOut::letGo() {
  finishNotes(*tracker_, events_);
  send(events_);
  MidiMessage offs[kMidiKeys];
  sendMessages(offs, releaseHeldKeys(keys_, offs));
  resetNoteTracker(*tracker_);
}

std::vector<std::string> midiOutputLines(const MidiSystemChoice& choice) {
  std::vector<std::string> names;
  std::string reason;
  if (!listMidiOutputs(choice, names, reason)) return {"MIDI outputs: none (" + reason + ")"};
  std::vector<std::string> lines{std::string("MIDI outputs (--midi-device N; without it --midi-out opens ") +
                                 midiDefaultPort() + "):"};
  for (std::size_t i = 0; i < names.size(); ++i) lines.push_back("  " + std::to_string(i) + "  " + names[i]);
  return lines;
}

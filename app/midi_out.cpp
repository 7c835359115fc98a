#include "app/midi_out.hpp"

#include <utility>

#include "analysis/detect.hpp"
#include "core/tuner_state.hpp"

MidiOut::MidiOut() : tracker_(std::make_unique<NoteTrackerState>()) { resetNoteTracker(*tracker_); }

MidiOut::~MidiOut() { close(); }

bool MidiOut::open(const MidiSystemChoice& choice, int device, std::string& reason) {
  port_ = openMidiPort(choice, device, reason);
  if (!port_) return false;
  keepPitchReading(true);  // whichever detector draws, the precise one reads every block for the notes
  resetNoteTracker(*tracker_);
  nextSample_ = -1;
  return true;
}

void MidiOut::follow(bool scored, bool frozen) {
  if (!port_) return;
  if (frozen) {
    if (nextSample_ >= 0) letGo();
    return;
  }
  if (!scored) return;
  // Blocks passed by leave the detector restarted, and the tracker ends its notes there; the
  // samples only need to run on, so each block tracked follows the one before.
  const KeptReading& kept = keptReading();
  const long long first = nextSample_ < 0 ? 0 : nextSample_;
  const NoteTrackerInput input{kept.scores, &kept.reading, kept.block, tuner.noteFrequency + kNoteRowOffset, first,
                               kept.afterGap};
  trackNotes(input, *tracker_, events_);
  sendMessages(messages_, midiMessagesForBlock(events_, *tracker_, keys_, messages_));
  nextSample_ = first + kBlockSize;
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
  nextSample_ = -1;
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

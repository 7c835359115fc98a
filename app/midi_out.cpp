#include "app/midi_out.hpp"

#include <utility>

#include "core/tuner_state.hpp"

MidiOut::MidiOut()
    : detector_(std::make_unique<PreciseState>()),
      tracker_(std::make_unique<NoteTrackerState>()),
      block_(std::make_unique<QueuedBlock>()) {
  resetNoteTracker(*tracker_);
}

MidiOut::~MidiOut() { close(); }

bool MidiOut::open(const MidiSystemChoice& choice, int device, std::string& reason) {
  port_ = openMidiPort(choice, device, reason);
  if (!port_) return false;
  resetNoteTracker(*tracker_);
  lastNumber_ = -1;
  return true;
}

void MidiOut::follow(bool frozen) {
  if (!port_) return;
  if (frozen && lastNumber_ >= 0) letGo();
  while (takeQueuedBlock(*block_))
    if (!frozen) track(*block_);
}

// A block the queue dropped, or the first since the start or a freeze, restarts the detector,
// and the tracker ends its notes there.
void MidiOut::track(const QueuedBlock& block) {
  const bool afterGap = lastNumber_ < 0 || block.number != static_cast<std::uint32_t>(lastNumber_ + 1);
  if (afterGap) resetPreciseDetector(*detector_);
  lastNumber_ = block.number;
  const double* rows = tuner.noteFrequency + kNoteRowOffset;
  runPreciseDetector(PreciseInput{block.samples, block.gain, rows}, *detector_, scores_, reading_);
  const long long first = static_cast<long long>(block.number) * kBlockSize;
  trackNotes(NoteTrackerInput{scores_, &reading_, block.samples, rows, first, afterGap}, *tracker_, events_);
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
  lastNumber_ = -1;
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

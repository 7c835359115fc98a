#pragma once
// Live MIDI out: the note tracker on every block the kept precise detector reads, its notes
// sent from the frame step that scores the block, never from the audio callback. Main thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/note_tracker.hpp"
#include "midi/midi_port.hpp"

class MidiOut {
 public:
  MidiOut();
  ~MidiOut();
  MidiOut(const MidiOut&) = delete;
  MidiOut& operator=(const MidiOut&) = delete;

  // Opens port `device` (kMidiDefaultPort: the program's own) and keeps the precise detector
  // reading every block; false with why.
  bool open(const MidiSystemChoice& choice, int device, std::string& reason);
  bool isOpen() const { return port_ != nullptr; }
  // Each frame step after scoring: the notes of the block scored, if one was; while `frozen`, every
  // held key is let go and the notes start afresh after.
  void follow(bool scored, bool frozen);
  // Lets go of every held key; nothing is sent after.
  void close();
  // What went wrong while sending, a line each without the "sonavel: " prefix.
  std::vector<std::string> takeNotices();

 private:
  void send(const NoteEvents& events);
  void sendMessages(const MidiMessage* messages, int count);
  void letGo();

  MidiPortPtr port_;
  std::unique_ptr<NoteTrackerState> tracker_;  // large: kept off the stack
  NoteEvents events_;
  MidiMessage messages_[kMostMessagesPerBlock];
  HeldKeys keys_;
  long long nextSample_ = -1;  // where the block after the last one tracked starts; -1: none since the start or a freeze
  std::vector<std::string> notices_;
};

// The lines --list-devices adds for MIDI out: a heading, then index and name of each output.
std::vector<std::string> midiOutputLines(const MidiSystemChoice& choice);

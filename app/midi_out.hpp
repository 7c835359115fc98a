#pragma once
// Live MIDI out: the note tracker on every block the live notes' precise detector reads, its
// notes sent from the frame step, never from the audio callback. Main thread only.

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

  // Opens port `device` (kMidiDefaultPort: the program's own); false with why.
  bool open(const MidiSystemChoice& choice, int device, std::string& reason);
  bool isOpen() const { return port_ != nullptr; }
  // One block as the detector read it: the notes it decides go out at once.
  void track(const NoteTrackerInput& block);
  // Every held key let go, the notes start afresh (a freeze).
  void letGo();
  // Lets go of every held key; nothing is sent after.
  void close();
  // What went wrong while sending, a line each without the "sonavel: " prefix.
  std::vector<std::string> takeNotices();

 private:
  void send(const NoteEvents& events);
  void sendMessages(const MidiMessage* messages, int count);

  MidiPortPtr port_;
  std::unique_ptr<NoteTrackerState> tracker_;  // large: kept off the stack
  NoteEvents events_;
  MidiMessage messages_[kMostMessagesPerBlock];
  HeldKeys keys_;
  std::vector<std::string> notices_;
};

// The lines --list-devices adds for MIDI out: a heading, then index and name of each output.
std::vector<std::string> midiOutputLines(const MidiSystemChoice& choice);

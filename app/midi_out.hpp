#pragma once
// Live MIDI out: a precise detector and the note tracker of its own on every block the audio
// thread completes, taken in order from the block queue by the frame step, so a frame step held
// back by a busy machine delays notes but never splits one. Sent from the main thread only,
// never from the audio callback.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/note_tracker.hpp"
#include "analysis/precise_detector.hpp"
#include "audio/block_queue.hpp"
#include "midi/midi_port.hpp"

class MidiOut {
 public:
  MidiOut();
  ~MidiOut();
  MidiOut(const MidiOut&) = delete;
  MidiOut& operator=(const MidiOut&) = delete;

  // Opens port `device` (kMidiDefaultPort: the program's own); false with why. The audio side
  // queues its blocks for us from startBlockQueue() on.
  bool open(const MidiSystemChoice& choice, int device, std::string& reason);
  bool isOpen() const { return port_ != nullptr; }
  // Each frame step: the notes of every block queued since the last; while `frozen`, every held
  // key is let go, the blocks are passed by and the notes start afresh after.
  void follow(bool frozen);
  // Lets go of every held key; nothing is sent after.
  void close();
  // What went wrong while sending, a line each without the "sonavel: " prefix.
  std::vector<std::string> takeNotices();

 private:
  void send(const NoteEvents& events);
  void sendMessages(const MidiMessage* messages, int count);
  void letGo();
  void track(const QueuedBlock& block);

  MidiPortPtr port_;
  std::unique_ptr<PreciseState> detector_;     // large: kept off the stack
  std::unique_ptr<NoteTrackerState> tracker_;
  std::unique_ptr<QueuedBlock> block_;
  float scores_[kNoteRows] = {};
  PitchReading reading_;
  NoteEvents events_;
  MidiMessage messages_[kMostMessagesPerBlock];
  HeldKeys keys_;
  long long lastNumber_ = -1;  // the last block tracked; -1: none since the start or a freeze
  std::vector<std::string> notices_;
};

// The lines --list-devices adds for MIDI out: a heading, then index and name of each output.
std::vector<std::string> midiOutputLines(const MidiSystemChoice& choice);

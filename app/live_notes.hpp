#pragma once
// The notes of a live session: one precise detector reads every block the audio thread queues,
// in order, whichever detector draws the picture. MIDI out sends the notes as they are decided;
// --midi keeps them in a file, put in place when the program ends. Main thread only.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "analysis/precise_detector.hpp"
#include "app/midi_out.hpp"
#include "audio/audio_shared.hpp"
#include "audio/block_queue.hpp"
#include "io/notes_file.hpp"
#include "io/output_files.hpp"

class LiveNotes {
 public:
  // Reads the blocks the callbacks sharing `audio` queue.
  explicit LiveNotes(AudioShared& audio);
  ~LiveNotes();
  LiveNotes(const LiveNotes&) = delete;
  LiveNotes& operator=(const LiveNotes&) = delete;

  // The notes go out through `midi`, an open one.
  void sendTo(MidiOut* midi) { midi_ = midi; }
  // The notes go into a MIDI file at `path`, written under a temporary name; false with why.
  bool openFile(const std::string& path, std::string& reason);
  // Whether anything takes the notes: the audio side queues its blocks only then.
  bool wanted() const { return midi_ != nullptr || file_ != nullptr; }
  // Each frame step: every block queued since the last. While `frozen` MIDI out lets go and the
  // blocks are passed by; the notes start afresh after, and the file's end where the freeze began.
  void follow(bool frozen);
  // The file finished and put in place of its target; false with why (the target is left as it was).
  bool finish(std::string& reason);

 private:
  void track(const QueuedBlock& block);
  void discardFile();

  AudioShared& audio_;
  MidiOut* midi_ = nullptr;
  std::unique_ptr<PreciseState> detector_;  // large: kept off the stack
  std::unique_ptr<QueuedBlock> block_;
  float scores_[kNoteRows] = {};
  PitchReading reading_;
  long long lastNumber_ = -1;  // the last block read; -1: none since the start or a freeze
  std::FILE* file_ = nullptr;
  OutputFile fileTarget_;
  std::unique_ptr<NotesFile> notes_;
};

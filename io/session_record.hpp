#pragma once
// `--record OUT.wav`: every sample the callback captures, from the start of the
// audio to its end, as a mono 44100 Hz 32-bit float WAV file. The audio thread
// only copies into the input tap's ring (audio/input_tap.hpp); a writer thread
// of its own empties it into the file and rewrites the header at least twice a
// second, so the file stays whole if the program is killed.
//
// The file is written in place, not renamed at the end: a recording cut short
// by a kill must still be there under its name.

#include <atomic>
#include <string>
#include <thread>

#include "io/sound_output.hpp"

struct InputTap;

struct RecordSummary {
  unsigned long long written = 0;  // samples in the file
  unsigned long long dropped = 0;  // samples lost because the writer fell behind
};

class SessionRecorder {
 public:
  SessionRecorder() = default;
  SessionRecorder(const SessionRecorder&) = delete;
  SessionRecorder& operator=(const SessionRecorder&) = delete;
  ~SessionRecorder();

  // Before the window: refuses a directory, a non-regular file or the input file
  // itself (`inputPath`, empty for the microphone); creates or empties the file.
  // False with a one-line reason.
  bool open(const std::string& path, const std::string& inputPath, std::string& reason);
  bool isOpen() const { return wav_.isOpen(); }
  const std::string& path() const { return path_; }
  // Before the audio starts: `tap` on, the writer running.
  void start(InputTap& tap);
  // After the audio has stopped: the rest written, the header finished. False with a
  // one-line reason when anything could not be written.
  bool finish(RecordSummary& summary, std::string& reason);

 private:
  void run();

  FloatWavWriter wav_;
  std::string path_;
  unsigned long long written_ = 0;  // the writer's; read after it is joined
  std::atomic<bool> stopping_{false};
  std::thread writer_;
  InputTap* tap_ = nullptr;  // from start() on
};

// The line for the end of a run that lost samples; empty when none were lost.
std::string droppedSamplesLine(const std::string& path, const RecordSummary& summary);

#pragma once
// `sonavel FILE`: the file read ahead of the audio thread by a thread of its own,
// and, when no output device can be had, a clock thread that stands in for the
// device and runs the callback at the file's own pace.
//
// The file is read in order as it plays rather than decoded whole at start-up:
// memory stays at the feed ring (1.5 s) whatever the length of the file. It ends
// where its data ends, whatever length its header claims.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "io/sound_input.hpp"
#include "audio/file_feed.hpp"

struct AudioShared;

class FileInput {
 public:
  FileInput() = default;
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  ~FileInput() { stop(); }

  // Before the window: refuses anything but a readable sound file at 8000 to 384000 Hz; false with a
  // one-line reason. A file at another rate than 44100 Hz is converted on the reading thread.
  bool open(const std::string& path, std::string& reason);
  // Before the audio starts: fills the feed ring of `audio`, then keeps it filled from a thread.
  void startReading(AudioShared& audio);
  // Without an output device: runs the callback at real time from a thread of its own.
  void startClock();
  // After the audio has stopped; joins both threads.
  void stop();
  // What went wrong while reading, empty when nothing did; valid after stop().
  const std::string& readFailure() const { return failure_; }
  const std::string& path() const { return path_; }
  int fileRate() const { return reader_.fileRate(); }

 private:
  bool fill();  // one read into the ring while there is room; false when the file is done
  void runReader();
  void runClock();

  MonoSoundReader reader_;
  std::string path_;
  std::string failure_;
  std::vector<float> chunk_;  // one read; the main thread's before the reader starts, the reader's after
  std::atomic<bool> stopping_{false};
  std::thread readerThread_;
  std::thread clockThread_;
  AudioShared* audio_ = nullptr;  // from startReading() on
};

// The line for the end of a run whose file was not read in time; empty when it always was.
std::string underrunLine(const std::string& path, const FeedCounts& counts);

#include "app/live_host.hpp"

#include "app/shell.hpp"
#include "audio/audio_shared.hpp"
#include "audio/block_queue.hpp"
#include "audio/stream.hpp"
#include "platform/event_watch.hpp"

bool LiveHost::openWindow(std::string& reason) {
  if (!::openWindow(kWindowTitle, reason, windowScale_, &shared_.record.handoff.bell)) return false;
  // The window library turns SIGINT and SIGTERM into a close request but leaves SIGHUP
  // (the terminal closed) to kill the program; it is asked to end the same clean way.
  hangUp_ = std::make_unique<StopSignals>(StopSignalSet::HangUpOnly);
  return true;
}

// The frame loop presents only pictures that can differ, so comparing them again would be wasted.
void LiveHost::present(const Framebuffer& picture) { sendFramebuffer(picture); }

bool LiveHost::takeEvent(WindowEvent& event) {
  if (takenStopSignal() != 0) {
    clearStopSignal();
    event = WindowEvent{};
    event.kind = WindowEvent::CloseRequest;
    return true;
  }
  return takeWindowEvent(event);
}
bool LiveHost::pictureLost() { return windowNeedsPicture(); }
void LiveHost::destroyWindow() { ::destroyWindow(); }
bool LiveHost::startAudio() {
  if (recorder_ != nullptr) recorder_->start(shared_.tap);
  if (notes_ != nullptr) startBlockQueue(shared_.blocks);
  std::string reason;
  if (file_ == nullptr) {
    std::vector<std::string> notes;
    const bool started = ::startAudio(shared_, audio_, reason, notes);
    if (!started) notices_.push_back("no sound: " + reason + "; running without audio");
    notices_.insert(notices_.end(), notes.begin(), notes.end());
    return started;
  }
  file_->startReading(shared_);
  if (audio_.report && file_->fileRate() != kReplaySampleRate)
    notices_.push_back("audio: " + conversionLine(file_->path(), file_->fileRate()));
  std::vector<std::string> notes;
  const bool started = startFileAudio(shared_, audio_, reason, notes);
  notices_.insert(notices_.end(), notes.begin(), notes.end());
  if (started) return true;
  notices_.push_back("no sound output (" + reason + "); " + file_->path() + " plays silently, timed by the clock");
  file_->startClock();
  return false;
}

void LiveHost::stopAudio() {
  if (file_ != nullptr) file_->stop();  // the clock, when it runs the callback, stops first
  std::vector<std::string> report;
  ::stopAudio(shared_, report);
  stopBlockQueue(shared_.blocks);
  notices_.insert(notices_.end(), report.begin(), report.end());
}

std::vector<std::string> LiveHost::takeNotices() { return std::exchange(notices_, {}); }

void LiveHost::sleepMs(int milliseconds) { waitWatchingWindowSystem(milliseconds); }

#pragma once
// The live program's host: the SDL window and keyboard, the PortAudio stream.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/host.hpp"
#include "app/live_notes.hpp"
#include "io/live_input.hpp"
#include "io/session_record.hpp"
#include "audio/stream.hpp"
#include "platform/stop_signals.hpp"
#include "platform/window.hpp"

class LiveHost : public Host {
 public:
  // Opens the chosen devices as `settings` say (empty names mean the defaults), the callbacks sharing `shared`.
  LiveHost(AudioSettings settings, AudioShared& shared) : audio_(std::move(settings)), shared_(shared) {}

  // A sound file in place of the input device; a notice says so when it plays without output.
  void useFile(FileInput* file) { file_ = file; }
  // Records what the callback captures from the start of the audio to its end.
  void record(SessionRecorder* recorder) { recorder_ = recorder; }
  // The notes heard go to `notes` (MIDI out, a MIDI file): the audio side queues every block for it.
  void followNotes(LiveNotes* notes) { notes_ = notes; }
  // The window opens at `scale` times 640 x 480; kScaleToSuitTheScreen unless told.
  void scaleWindow(int scale) { windowScale_ = scale; }

  bool openWindow(std::string& reason) override;
  void present(const Framebuffer& picture) override;
  bool takeEvent(WindowEvent& event) override;
  void destroyWindow() override;
  KeySource& keySource() override { return keys_; }
  bool startAudio() override;
  void stopAudio() override;
  void sleepMs(int milliseconds) override;
  // The window keeps its picture: only one that can differ is sent, or one it lost.
  PictureNeed pictureNeed() const override { return PictureNeed::Changes; }
  bool pictureLost() override;
  void afterScoring(bool frozen) override {
    if (notes_ != nullptr) notes_->follow(frozen);
  }
  // What the audio side had to say since the last call, a line each without the "sonavel: " prefix:
  // running without sound, and the lines SONAVEL_AUDIO_REPORT asks for.
  std::vector<std::string> takeNotices();

 private:
  SdlKeySource keys_;
  AudioSettings audio_;
  AudioShared& shared_;
  std::vector<std::string> notices_;
  FileInput* file_ = nullptr;
  SessionRecorder* recorder_ = nullptr;
  LiveNotes* notes_ = nullptr;
  int windowScale_ = kScaleToSuitTheScreen;
  std::unique_ptr<StopSignals> hangUp_;  // from the window's opening on
};

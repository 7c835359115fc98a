#pragma once
// The live program's host: the SDL window and keyboard, the PortAudio stream.

#include <functional>
#include <string>
#include <utility>

#include "app/host.hpp"
#include "app/live_input.hpp"
#include "app/session_record.hpp"
#include "audio/stream.hpp"
#include "platform/window.hpp"

class LiveHost : public Host {
 public:
  LiveHost() = default;
  // Opens the chosen devices instead of the defaults.
  explicit LiveHost(AudioDeviceChoice devices) : devices_(std::move(devices)) {}

  // A sound file in place of the input device; `notice` is told, in one line, when it plays without output.
  void useFile(FileInput* file, std::function<void(const std::string&)> notice) {
    file_ = file;
    notice_ = std::move(notice);
  }
  // Records what the callback captures from the start of the audio to its end.
  void record(SessionRecorder* recorder) { recorder_ = recorder; }

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

 private:
  SdlKeySource keys_;
  AudioDeviceChoice devices_;
  FileInput* file_ = nullptr;
  SessionRecorder* recorder_ = nullptr;
  std::function<void(const std::string&)> notice_;
};

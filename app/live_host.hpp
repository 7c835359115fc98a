#pragma once
// The live program's host: the SDL window and keyboard, the PortAudio stream.

#include <utility>

#include "app/host.hpp"
#include "audio/stream.hpp"
#include "platform/window.hpp"

class LiveHost : public Host {
 public:
  LiveHost() = default;
  // Opens the chosen devices instead of the defaults.
  explicit LiveHost(AudioDeviceChoice devices) : devices_(std::move(devices)) {}

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
};

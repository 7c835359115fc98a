#pragma once
// The live program's host: the SDL window and keyboard, the PortAudio stream.

#include "app/host.hpp"
#include "platform/window.hpp"

class LiveHost : public Host {
 public:
  bool openWindow(std::string& reason) override;
  void present(const Framebuffer& picture) override;
  bool takeEvent(WindowEvent& event) override;
  void destroyWindow() override;
  KeySource& keySource() override { return keys_; }
  bool startAudio() override;
  void stopAudio() override;
  void sleepMs(int milliseconds) override;

 private:
  SdlKeySource keys_;
};

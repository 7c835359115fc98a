#pragma once
// A host without window or audio device: the replay driver feeds it events,
// keys and audio buffers itself, and keeps the last picture shown.

#include <cstdint>
#include <vector>

#include "core/host.hpp"

// The keys a script holds down.
class ScriptKeys : public KeySource {
 public:
  void set(int code, bool down) { keys_[code] = down ? kKeyDownBit : 0; }
  bool readState(KeyStates& keys) override;

 private:
  KeyStates keys_ = {};
};

class HeadlessHost : public Host {
 public:
  HeadlessHost();
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

  bool openWindow(std::string&) override { return true; }
  void present(const Framebuffer& picture) override;
  bool takeEvent(WindowEvent&) override { return false; }
  void destroyWindow() override {}
  KeySource& keySource() override { return keys_; }
  bool startAudio() override { return true; }
  void stopAudio() override {}
  void sleepMs(int) override {}
  // Only the last picture is written out, so only that one is drawn; SONAVEL_DRAW_EVERY_FRAME=1 in
  // the environment draws every frame step's picture instead, as a check.
  PictureNeed pictureNeed() const override { return everyFrame_ ? PictureNeed::EveryFrame : PictureNeed::LastOnly; }

  ScriptKeys& keys() { return keys_; }
  // The picture as the last present left it (black until the first present).
  const Framebuffer& shownPicture() const { return shown_; }

 private:
  ScriptKeys keys_;
  std::vector<std::uint32_t> shownPixels_;
  Framebuffer shown_;
  bool everyFrame_ = false;
};

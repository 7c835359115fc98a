#pragma once
// A host that records what the shell asks of it, with scripted keys and events.

#include <deque>
#include <string>
#include <vector>

#include "core/host.hpp"
#include "core/tuner_state.hpp"
#include "scripted_keys.hpp"

class RecordingHost : public Host {
 public:
  std::vector<std::string> calls;
  std::deque<WindowEvent> events;
  ScriptedKeys keys;
  bool windowAvailable = true;
  int presents = 0;
  int framesLeft = 1000;  // a safety net: a loop that never ends fails instead of hanging
  std::vector<int> pauses;  // what each frame step asked to pause, in milliseconds
  // What the audio thread would find when the stream starts.
  bool noteTableReadyAtAudioStart = false;
  bool recordingReadyAtAudioStart = false;
  const TunerState* record = nullptr;  // the run's, which the two above look at

  RecordingHost() { keys.calls = &calls; }

  bool openWindow(std::string& reason) override {
    calls.push_back("openWindow");
    if (!windowAvailable) reason = "no display";
    return windowAvailable;
  }
  void present(const Framebuffer&) override {
    calls.push_back("present");
    ++presents;
  }
  bool takeEvent(WindowEvent& event) override {
    if (events.empty()) return false;
    event = events.front();
    events.pop_front();
    return true;
  }
  void destroyWindow() override { calls.push_back("destroyWindow"); }
  KeySource& keySource() override { return keys; }
  bool startAudio() override {
    calls.push_back("startAudio");
    noteTableReadyAtAudioStart = record != nullptr && record->notes.frequency[48] > 440.0;
    recordingReadyAtAudioStart = record != nullptr && record->history.recordedSamples != nullptr;
    return false;
  }
  void stopAudio() override { calls.push_back("stopAudio"); }
  void sleepMs(int milliseconds) override {
    pauses.push_back(milliseconds);
    if (--framesLeft == 0) keys.press(DIK_ESCAPE);
  }
};

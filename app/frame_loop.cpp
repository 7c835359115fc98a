#include "analysis/auto_gain.hpp"
#include "analysis/detect.hpp"
#include "app/exit_status.hpp"
#include "app/shell.hpp"
#include "app/shown_picture.hpp"
#include "core/tuner_state.hpp"
#include "audio/recording.hpp"
#include "app/controls.hpp"
#include "view/draw.hpp"
#include "view/view.hpp"

namespace {

// After a block is scored with automatic gain on: the gain and the slider for the blocks that follow.
void followInputLevel() {
  const double level = rawBandPeak(tuner.spectrum, tuner.noteFrequency, tuner.blockGain.load(std::memory_order_relaxed));
  const double gain = autoGainStep(tuner.autoGainState, level);
  tuner.inputGain.store(static_cast<float>(gain), std::memory_order_relaxed);
  setGainSlider(gain);  // beyond 27 times the slider stays at its end
}

}  // namespace

bool frameStep(Host& host) {
  keyboard->poll();
  if (keyboard->isKeyDown(DIK_ESCAPE)) return false;
  handleKeyCommands(*keyboard);
  runFrame(host);
  host.sleepMs(kFrameSleepMs);
  return true;
}

void runFrame(Host& host) {
  if (tuner.clearPending) {
    tuner.clearPending = false;
    clearScreen(kBackgroundColour);
    forgetShownPicture();
  }
  // While frozen the flag stays raised, so the first frame after unfreezing takes the newest block.
  if (!tuner.frozen.load(std::memory_order_relaxed) &&
      tuner.spectrumReady.exchange(false, std::memory_order_acquire)) {
    recordBlock();
    detectNotes();
    noteScoresChanged();
    if (tuner.autoGain) followInputLevel();
  }
  showFrame(host, applyViewRules());
}

bool loopTurn(Host& host) {
  if (tuner.quitting) return false;
  if (!frameStep(host)) {
    shutDown(host);
    return false;
  }
  tuner.leftClicked = false;
  return true;
}

int runLoop(Host& host) {
  for (;;) {
    WindowEvent event;
    if (host.takeEvent(event)) dispatchEvent(host, event);
    if (!loopTurn(host)) return kExitSuccess;
  }
}

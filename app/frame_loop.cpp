#include <algorithm>
#include <chrono>

#include "analysis/auto_gain.hpp"
#include "analysis/detect.hpp"
#include "app/controls.hpp"
#include "app/exit_status.hpp"
#include "app/shell.hpp"
#include "app/shown_picture.hpp"
#include "audio/recording.hpp"
#include "core/bell.hpp"
#include "core/tuner_state.hpp"
#include "view/draw.hpp"
#include "view/view.hpp"

namespace {

constexpr double kNanosecondsPerMillisecond = 1e6;

// What the user did lately, for the pause after a frame step.
struct Pace {
  bool inputSinceLastStep = false;
  bool inputAtStepBefore = false;
};
Pace pace;
BlockTiming timing;
LoopTiming loop;
bool frozeSinceLastBlock = false;  // blocks published while frozen are not scored, and not late
std::chrono::steady_clock::time_point firstStep;

// After a block is scored with automatic gain on: the gain and the slider for the blocks that follow.
void followInputLevel(TunerState& tuner) {
  const double level = rawBandPeak(tuner.handoff.spectrum, tuner.notes.frequency, tuner.handoff.blockGain.load(std::memory_order_relaxed));
  const double gain = autoGainStep(tuner.controls.autoGainState, level);
  tuner.controls.inputGain.store(static_cast<float>(gain), std::memory_order_relaxed);
  setGainSlider(tuner, gain);  // beyond 27 times the slider stays at its end
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Pauses the host as asked and notes how long that really took.
void pause(Host& host, int milliseconds) {
  const auto start = std::chrono::steady_clock::now();
  if (loop.pace.count + loop.idle.count == 0) firstStep = start;
  host.sleepMs(milliseconds);
  const double took = millisecondsSince(start);
  PauseTiming& kind = milliseconds == kFrameSleepMs ? loop.pace : loop.idle;
  ++kind.count;
  kind.sumMs += took;
  kind.mostMs = std::max(kind.mostMs, took);
  loop.seconds = millisecondsSince(firstStep) / 1000.0;
}

void noteBlockShown(std::int64_t rungNanoseconds) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto late = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() - rungNanoseconds;
  const double ms = static_cast<double>(late) / kNanosecondsPerMillisecond;
  ++timing.blocks;
  timing.sumMs += ms;
  timing.mostMs = std::max(timing.mostMs, ms);
}

// How long the loop may pause after a frame step. What the user does shows over
// this step and the next (the strips, the lit key and the scrub take the pick of the
// step before), and playback moves the cursor by itself: meanwhile the loop keeps
// the frame pace. Otherwise the picture changes only with a block or an event, both
// of which end the pause, so the loop waits for them.
int pauseAfterStep(const TunerState& tuner) {
  const bool input = pace.inputSinceLastStep || keyboard->changed();
  const bool busy = input || pace.inputAtStepBefore || tuner.playback.autoPlay.load(std::memory_order_relaxed);
  pace.inputAtStepBefore = input;
  pace.inputSinceLastStep = false;
  return busy ? kFrameSleepMs : kIdlePauseMs;
}

}  // namespace

void noteInput() { pace.inputSinceLastStep = true; }

BlockTiming blockTiming() { return timing; }

LoopTiming loopTiming() { return loop; }

bool frameStep(TunerState& tuner, Host& host) {
  keyboard->poll();
  if (keyboard->isKeyDown(DIK_ESCAPE)) return false;
  handleKeyCommands(tuner, *keyboard);
  runFrame(tuner, host);
  pause(host, pauseAfterStep(tuner));
  return true;
}

void runFrame(TunerState& tuner, Host& host) {
  if (tuner.shell.clearPending) {
    tuner.shell.clearPending = false;
    clearScreen(framebuffer, themePalette(tuner.controls.theme).background);
    forgetShownPicture();
  }
  // While frozen the flag stays raised, so the first frame after unfreezing takes the newest block.
  std::int64_t rung = 0;
  const bool frozen = tuner.playback.frozen.load(std::memory_order_relaxed);
  if (!frozen && tuner.handoff.spectrumReady.exchange(false, std::memory_order_acquire)) {
    rung = lastRingNanoseconds(tuner.handoff.bell);
    recordBlock(tuner.history, tuner.handoff);
    const std::uint32_t published = tuner.handoff.blocksPublished.load(std::memory_order_relaxed);
    if (published != tuner.handoff.blocksTaken + 1) {
      forgetRecentBlocks(noteDetection);
      if (!frozeSinceLastBlock && tuner.handoff.blocksTaken > 0) timing.passedBy += static_cast<std::uint32_t>(published - tuner.handoff.blocksTaken - 1);
    }
    tuner.handoff.blocksTaken = published;
    frozeSinceLastBlock = false;
    detectNotes(tuner, noteDetection);
    noteScoresChanged();
    if (tuner.controls.autoGain) followInputLevel(tuner);
  }
  if (frozen) frozeSinceLastBlock = true;
  host.afterScoring(frozen);
  if (showFrame(tuner, host, applyViewRules(tuner)) && rung != 0) noteBlockShown(rung);
}

bool loopTurn(TunerState& tuner, Host& host) {
  if (tuner.shell.quitting) return false;
  if (!frameStep(tuner, host)) {
    shutDown(tuner, host);
    return false;
  }
  tuner.pointer.leftClicked = false;
  return true;
}

int runLoop(TunerState& tuner, Host& host) {
  for (;;) {
    WindowEvent event;
    if (host.takeEvent(event)) dispatchEvent(tuner, host, event);
    if (!loopTurn(tuner, host)) return kExitSuccess;
  }
}

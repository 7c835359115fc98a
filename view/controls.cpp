#include "view/controls.hpp"

#include <algorithm>
#include <cmath>

#include "analysis/auto_gain.hpp"
#include "app/keyboard.hpp"
#include "app/tuner_state.hpp"
#include "view/draw.hpp"
#include "view/view.hpp"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kNoMarker = -1;

// Scrub area: the grid's columns, from the frame's top line down (the bottom strip included).
constexpr int kScrubLeft = 10;
constexpr int kScrubRight = 608;
constexpr int kScrubTop = 26;

// Tone pick: rows by height from y 25 to 478; keys by width on the bottom strip from y 455.
constexpr int kPickTop = 25;
constexpr int kPickBottom = 478;
constexpr int kPickBaseY = 456;
constexpr int kBottomStripPickY = 455;
constexpr int kBottomStripLeft = 101;
constexpr int kBottomStripRight = 532;
constexpr int kHoverBandBaseY = 523;
constexpr int kHoverBandHeight = 5;

// Toolbar input band and controls.
constexpr int kToolbarInputBottom = 17;
constexpr int kGainLeft = 51;
constexpr int kGainRight = 149;
constexpr int kGainOrigin = 50;
constexpr float kGainPerPixel = 0.03f;
constexpr float kGainSliderEnd = 3.0f;  // the full trough: 27 times
constexpr int kVolumeLeft = 203;
constexpr int kVolumeRight = 251;
constexpr int kVolumeOrigin = 202;
constexpr float kVolumePerPixel = 0.02f;
constexpr int kSwitchLeft = 273;
constexpr int kSwitchRight = 407;

int cursorDisplayColumn() { return displayColumnOf(tuner.playColumn.load(kRelaxed)); }

}  // namespace

void handleKeyCommands(const KeyboardDevice& keys) {
  bool latch = false;
  if (keys.isKeyDown(DIK_RETURN)) {
    latch = true;
    if (!tuner.keyLatch) tuner.frozen.store(!tuner.frozen.load(kRelaxed), kRelaxed);
  }
  if (keys.isKeyDown(DIK_SPACE)) {
    latch = true;
    if (!tuner.keyLatch && tuner.frozen.load(kRelaxed)) {
      const bool play = !tuner.autoPlay.load(kRelaxed);
      if (play) {
        tuner.playRepeat.store(0, kRelaxed);
        tuner.playSample.store(0, kRelaxed);
      }
      tuner.autoPlay.store(play, kRelaxed);
    }
  }
  tuner.keyLatch = latch;

  // A latches on its own, so it neither blocks nor is blocked by Enter and Space.
  const bool autoKey = keys.isKeyDown(DIK_A);
  if (autoKey && !tuner.autoGainLatch) setAutoGain(!tuner.autoGain);
  tuner.autoGainLatch = autoKey;

  if (keys.isKeyDown(DIK_DELETE)) {
    tuner.markersShown = false;
    tuner.markA = kNoMarker;
    tuner.markB = kNoMarker;
  }
  if (keys.isKeyDown(DIK_HOME)) {
    const int cursor = cursorDisplayColumn();
    tuner.markersShown = true;
    tuner.markA = cursor;
    if (tuner.markB == kNoMarker) tuner.markB = cursor;
  }
  if (keys.isKeyDown(DIK_END)) {
    const int cursor = cursorDisplayColumn();
    tuner.markersShown = true;
    tuner.markB = cursor;
    if (tuner.markA == kNoMarker) tuner.markA = cursor;
  }
  if (!tuner.frozen.load(kRelaxed)) tuner.autoPlay.store(false, kRelaxed);
}

std::uint32_t applyScrubbing() {
  const bool onGrid = kScrubLeft <= tuner.mouseX && tuner.mouseX <= kScrubRight && tuner.mouseY >= kScrubTop;
  if (!(onGrid && tuner.leftDown && tuner.frozen.load(kRelaxed))) {
    tuner.scrubbing.store(false, kRelaxed);
    return kCursorColour;
  }
  if (!tuner.scrubbing.load(kRelaxed)) tuner.playSample.store(0, kRelaxed);
  const int column = (tuner.historyColumn.load(kRelaxed) + (tuner.mouseX - kScrubLeft) / kColumnWidth) % kHistoryColumns;
  tuner.playColumn.store(column, kRelaxed);
  tuner.scrubbing.store(true, kRelaxed);
  return kScrubCursorColour;
}

void applyTonePick() {
  const int y = tuner.mouseY;
  if (!(tuner.rightDown && tuner.frozen.load(kRelaxed) && kPickTop <= y && y <= kPickBottom)) {
    tuner.toneHeld.store(false, kRelaxed);
    return;
  }
  // Decided locally first, so the audio thread never glimpses a key the pick is about to replace.
  if (!tuner.toneHeld.load(kRelaxed)) tuner.tonePhase.store(0.0, kRelaxed);
  int key = (kPickBaseY - y) / kRowHeight + kNoteRowOffset;
  bool held = true;
  if (y < kBottomStripPickY) {
    fillRect(kGridLeft, kHoverBandBaseY - kRowHeight * key, kGridWidth, kHoverBandHeight, kHoverBandColour);
  } else if (tuner.mouseX < kBottomStripLeft || tuner.mouseX > kBottomStripRight) {
    held = false;
  } else {
    key = (tuner.mouseX - kBottomStripLeft) / kRowHeight + kNoteRowOffset;
  }
  tuner.toneKey.store(key, kRelaxed);
  tuner.toneHeld.store(held, kRelaxed);
}

void clearMarkersWhileLive() {
  tuner.markersShown = false;
  tuner.markA = kNoMarker;
  tuner.markB = kNoMarker;
}

void applyToolbarInput() {
  if (!(tuner.leftDown && tuner.mouseY < kToolbarInputBottom)) return;
  const int x = tuner.mouseX;
  if (kGainLeft <= x && x <= kGainRight) {
    tuner.gainSlider = static_cast<float>(x - kGainOrigin) * kGainPerPixel;
    tuner.autoGain = false;  // the user takes the gain back
  }
  if (kVolumeLeft <= x && x <= kVolumeRight)
    tuner.outputVolume.store(static_cast<float>(x - kVolumeOrigin) * kVolumePerPixel, kRelaxed);
  if (tuner.leftClicked && kSwitchLeft <= x && x <= kSwitchRight) tuner.softDisplay = 1 - tuner.softDisplay;
}

void updateInputGain() {
  if (tuner.autoGain) return;  // followInputLevel sets the gain itself
  const double slider = tuner.gainSlider;
  tuner.inputGain.store(static_cast<float>(slider * slider * slider), kRelaxed);
}

void setGainSlider(double gain) {
  tuner.gainSlider = std::min(static_cast<float>(std::cbrt(gain)), kGainSliderEnd);
}

void setAutoGain(bool on) {
  tuner.autoGain = on;
  if (on) tuner.autoGainState = AutoGain{tuner.inputGain.load(kRelaxed)};
}

void followInputLevel() {
  const double level = rawBandPeak(tuner.spectrum, tuner.noteFrequency, tuner.blockGain.load(kRelaxed));
  const double gain = autoGainStep(tuner.autoGainState, level);
  tuner.inputGain.store(static_cast<float>(gain), kRelaxed);
  setGainSlider(gain);  // beyond 27 times the slider stays at its end
}

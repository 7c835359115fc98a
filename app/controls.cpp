#include "app/controls.hpp"

#include <algorithm>
#include <cmath>

#include "analysis/detect.hpp"
#include "analysis/history_ring.hpp"
#include "analysis/transposition.hpp"
#include "core/keyboard.hpp"
#include "core/tuner_state.hpp"
#include "app/shell.hpp"
#include "view/geometry.hpp"
#include "view/view.hpp"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kNoMarker = -1;
constexpr double kTenthsPerHz = 10.0;  // the read-out shows tenths of a hertz

// Slider values per pixel from the trough's left end, as stored in single precision.
constexpr int kGainOrigin = kGainTroughX;
constexpr float kGainPerPixel = 0.03f;
constexpr float kGainSliderEnd = 3.0f;  // the full trough: 27 times
constexpr int kVolumeOrigin = kVolumeTroughX;
constexpr float kVolumePerPixel = 0.02f;

int cursorDisplayColumn(const TunerState& tuner) { return displayColumnOf(tuner, tuner.playColumn.load(kRelaxed)); }

}  // namespace

void handleKeyCommands(TunerState& tuner, const KeyboardDevice& keys) {
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
  if (autoKey && !tuner.autoGainLatch) setAutoGain(tuner, !tuner.autoGain);
  tuner.autoGainLatch = autoKey;

  if (keys.isKeyDown(DIK_DELETE)) {
    tuner.markersShown = false;
    tuner.markA = kNoMarker;
    tuner.markB = kNoMarker;
  }
  if (keys.isKeyDown(DIK_HOME)) {
    const int cursor = cursorDisplayColumn(tuner);
    tuner.markersShown = true;
    tuner.markA = cursor;
    if (tuner.markB == kNoMarker) tuner.markB = cursor;
  }
  if (keys.isKeyDown(DIK_END)) {
    const int cursor = cursorDisplayColumn(tuner);
    tuner.markersShown = true;
    tuner.markB = cursor;
    if (tuner.markA == kNoMarker) tuner.markA = cursor;
  }
  // D latches on its own too: the next detector, the precise one in place of the design's or back.
  const bool detectorKey = keys.isKeyDown(DIK_D);
  if (detectorKey && !tuner.detectorLatch) tuner.detector = nextDetector(tuner.detector);
  tuner.detectorLatch = detectorKey;
  // T latches on its own as well: the next of the common transpositions.
  const bool transposeKey = keys.isKeyDown(DIK_T);
  if (transposeKey && !tuner.transposeLatch) tuner.transposition = nextCommonTransposition(tuner.transposition);
  tuner.transposeLatch = transposeKey;
  if (!tuner.frozen.load(kRelaxed)) tuner.autoPlay.store(false, kRelaxed);
}

std::uint32_t applyScrubbing(TunerState& tuner) {
  const Palette& palette = themePalette(tuner.theme);
  const bool onGrid = kScrubLeft <= tuner.mouseX && tuner.mouseX <= kScrubRight && tuner.mouseY >= kScrubTop;
  if (!(onGrid && tuner.leftDown && tuner.frozen.load(kRelaxed))) {
    tuner.scrubbing.store(false, kRelaxed);
    return palette.cursor;
  }
  if (!tuner.scrubbing.load(kRelaxed)) tuner.playSample.store(0, kRelaxed);
  const int column = (tuner.historyColumn.load(kRelaxed) + (tuner.mouseX - kScrubLeft) / kColumnWidth) % kHistoryColumns;
  tuner.playColumn.store(column, kRelaxed);
  tuner.scrubbing.store(true, kRelaxed);
  return palette.scrubCursor;
}

int applyTonePick(TunerState& tuner) {
  const int y = tuner.mouseY;
  if (!(tuner.rightDown && tuner.frozen.load(kRelaxed) && kPickTop <= y && y <= kPickBottom)) {
    tuner.toneHeld.store(false, kRelaxed);
    return kNoKey;
  }
  // Decided locally first, so the audio thread never glimpses a key the pick is about to replace.
  if (!tuner.toneHeld.load(kRelaxed)) tuner.tonePhase.store(0.0, kRelaxed);
  int key = (kPickBaseY - y) / kRowHeight + kNoteRowOffset;
  bool held = true;
  int hoverKey = kNoKey;
  if (y < kBottomStripPickY) {
    hoverKey = key;
  } else if (tuner.mouseX < kBottomStripLeft || tuner.mouseX > kBottomStripRight) {
    held = false;
  } else {
    key = (tuner.mouseX - kBottomStripLeft) / kRowHeight + kNoteRowOffset;
  }
  tuner.toneKey.store(key, kRelaxed);
  tuner.toneHeld.store(held, kRelaxed);
  return hoverKey;
}

void applyToolbarInput(TunerState& tuner) {
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

void updateInputGain(TunerState& tuner) {
  if (tuner.autoGain) return;  // followInputLevel sets the gain itself
  const double slider = tuner.gainSlider;
  tuner.inputGain.store(static_cast<float>(slider * slider * slider), kRelaxed);
}

namespace {

// Markers exist only while frozen.
void clearMarkersWhileLive(TunerState& tuner) {
  tuner.markersShown = false;
  tuner.markA = kNoMarker;
  tuner.markB = kNoMarker;
}

}  // namespace

ViewFrame applyViewRules(TunerState& tuner) {
  ViewFrame frame;
  frame.palette = &themePalette(tuner.theme);
  frame.font = &font;
  const int historyColumn = tuner.historyColumn.load(kRelaxed);
  frame.oldestColumn = wrapColumn(historyColumn);
  frame.frozen = tuner.frozen.load(kRelaxed);
  // The strips and the lit keys show the state before this frame's scrubbing and pick.
  const int liveColumn = wrapColumn(frame.oldestColumn + kHistoryColumns - 1);
  frame.stripColumn = frame.frozen ? wrapColumn(tuner.playColumn.load(kRelaxed)) : liveColumn;
  if (tuner.toneHeld.load(kRelaxed)) frame.litKey = tuner.toneKey.load(kRelaxed);

  const std::uint32_t cursorColour = applyScrubbing(tuner);
  frame.hoverKey = applyTonePick(tuner);
  if (frame.frozen) {
    frame.cursorColumn = cursorDisplayColumn(tuner);
    frame.cursorColour = cursorColour;
    frame.markersShown = tuner.markersShown;
    frame.markA = tuner.markA;
    frame.markB = tuner.markB;
  } else {
    clearMarkersWhileLive(tuner);
  }
  applyToolbarInput(tuner);
  updateInputGain(tuner);
  frame.gainSlider = tuner.gainSlider;
  frame.autoGain = tuner.autoGain;
  frame.outputVolume = tuner.outputVolume.load(kRelaxed);
  frame.softDisplay = tuner.softDisplay;
  if (detectorReads(tuner.detector)) {
    frame.showsReading = true;
    frame.transposition = tuner.transposition;
    frame.naming = tuner.naming;
    const PitchReading& reading = tuner.pitchReading;
    if (reading.row >= 0) {
      frame.pitchRow = reading.row;
      frame.pitchCents = static_cast<int>(std::lround(reading.cents));
      frame.pitchTenthsHz = static_cast<int>(std::lround(reading.frequency * kTenthsPerHz));
    }
  }
  return frame;
}

void setGainSlider(TunerState& tuner, double gain) {
  tuner.gainSlider = std::min(static_cast<float>(std::cbrt(gain)), kGainSliderEnd);
}

void setAutoGain(TunerState& tuner, bool on) {
  tuner.autoGain = on;
  if (on) tuner.autoGainState = AutoGain{tuner.inputGain.load(kRelaxed)};
}

int displayColumnOf(const TunerState& tuner, int historyColumnIndex) {
  return wrapColumn(historyColumnIndex - tuner.historyColumn.load(kRelaxed));
}

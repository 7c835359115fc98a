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

int cursorDisplayColumn(const TunerState& tuner) { return displayColumnOf(tuner, tuner.playback.column.load(kRelaxed)); }

}  // namespace

void handleKeyCommands(TunerState& tuner, const KeyboardDevice& keys) {
  bool latch = false;
  if (keys.isKeyDown(DIK_RETURN)) {
    latch = true;
    if (!tuner.shell.keyLatch) tuner.playback.frozen.store(!tuner.playback.frozen.load(kRelaxed), kRelaxed);
  }
  if (keys.isKeyDown(DIK_SPACE)) {
    latch = true;
    if (!tuner.shell.keyLatch && tuner.playback.frozen.load(kRelaxed)) {
      const bool play = !tuner.playback.autoPlay.load(kRelaxed);
      if (play) {
        tuner.playback.repeat.store(0, kRelaxed);
        tuner.playback.sample.store(0, kRelaxed);
      }
      tuner.playback.autoPlay.store(play, kRelaxed);
    }
  }
  tuner.shell.keyLatch = latch;

  // A latches on its own, so it neither blocks nor is blocked by Enter and Space.
  const bool autoKey = keys.isKeyDown(DIK_A);
  if (autoKey && !tuner.controls.autoGainLatch) setAutoGain(tuner, !tuner.controls.autoGain);
  tuner.controls.autoGainLatch = autoKey;

  if (keys.isKeyDown(DIK_DELETE)) {
    tuner.playback.markersShown = false;
    tuner.playback.markA = kNoMarker;
    tuner.playback.markB = kNoMarker;
  }
  if (keys.isKeyDown(DIK_HOME)) {
    const int cursor = cursorDisplayColumn(tuner);
    tuner.playback.markersShown = true;
    tuner.playback.markA = cursor;
    if (tuner.playback.markB == kNoMarker) tuner.playback.markB = cursor;
  }
  if (keys.isKeyDown(DIK_END)) {
    const int cursor = cursorDisplayColumn(tuner);
    tuner.playback.markersShown = true;
    tuner.playback.markB = cursor;
    if (tuner.playback.markA == kNoMarker) tuner.playback.markA = cursor;
  }
  // D latches on its own too: the next detector, the precise one in place of the design's or back.
  const bool detectorKey = keys.isKeyDown(DIK_D);
  if (detectorKey && !tuner.controls.detectorLatch) tuner.controls.detector = nextDetector(tuner.controls.detector);
  tuner.controls.detectorLatch = detectorKey;
  // T latches on its own as well: the next of the common transpositions.
  const bool transposeKey = keys.isKeyDown(DIK_T);
  if (transposeKey && !tuner.controls.transposeLatch) tuner.controls.transposition = nextCommonTransposition(tuner.controls.transposition);
  tuner.controls.transposeLatch = transposeKey;
  if (!tuner.playback.frozen.load(kRelaxed)) tuner.playback.autoPlay.store(false, kRelaxed);
}

std::uint32_t applyScrubbing(TunerState& tuner) {
  const Palette& palette = themePalette(tuner.controls.theme);
  const bool onGrid = kScrubLeft <= tuner.pointer.x && tuner.pointer.x <= kScrubRight && tuner.pointer.y >= kScrubTop;
  if (!(onGrid && tuner.pointer.leftDown && tuner.playback.frozen.load(kRelaxed))) {
    tuner.playback.scrubbing.store(false, kRelaxed);
    return palette.cursor;
  }
  if (!tuner.playback.scrubbing.load(kRelaxed)) tuner.playback.sample.store(0, kRelaxed);
  const int column = (tuner.history.column.load(kRelaxed) + (tuner.pointer.x - kScrubLeft) / kColumnWidth) % kHistoryColumns;
  tuner.playback.column.store(column, kRelaxed);
  tuner.playback.scrubbing.store(true, kRelaxed);
  return palette.scrubCursor;
}

int applyTonePick(TunerState& tuner) {
  const int y = tuner.pointer.y;
  if (!(tuner.pointer.rightDown && tuner.playback.frozen.load(kRelaxed) && kPickTop <= y && y <= kPickBottom)) {
    tuner.tone.held.store(false, kRelaxed);
    return kNoKey;
  }
  // Decided locally first, so the audio thread never glimpses a key the pick is about to replace.
  if (!tuner.tone.held.load(kRelaxed)) tuner.tone.phase.store(0.0, kRelaxed);
  int key = (kPickBaseY - y) / kRowHeight + kNoteRowOffset;
  bool held = true;
  int hoverKey = kNoKey;
  if (y < kBottomStripPickY) {
    hoverKey = key;
  } else if (tuner.pointer.x < kBottomStripLeft || tuner.pointer.x > kBottomStripRight) {
    held = false;
  } else {
    key = (tuner.pointer.x - kBottomStripLeft) / kRowHeight + kNoteRowOffset;
  }
  tuner.tone.key.store(key, kRelaxed);
  tuner.tone.held.store(held, kRelaxed);
  return hoverKey;
}

void applyToolbarInput(TunerState& tuner) {
  if (!(tuner.pointer.leftDown && tuner.pointer.y < kToolbarInputBottom)) return;
  const int x = tuner.pointer.x;
  if (kGainLeft <= x && x <= kGainRight) {
    tuner.controls.gainSlider = static_cast<float>(x - kGainOrigin) * kGainPerPixel;
    tuner.controls.autoGain = false;  // the user takes the gain back
  }
  if (kVolumeLeft <= x && x <= kVolumeRight)
    tuner.controls.outputVolume.store(static_cast<float>(x - kVolumeOrigin) * kVolumePerPixel, kRelaxed);
  if (tuner.pointer.leftClicked && kSwitchLeft <= x && x <= kSwitchRight) tuner.controls.softDisplay = 1 - tuner.controls.softDisplay;
}

void updateInputGain(TunerState& tuner) {
  if (tuner.controls.autoGain) return;  // followInputLevel sets the gain itself
  const double slider = tuner.controls.gainSlider;
  tuner.controls.inputGain.store(static_cast<float>(slider * slider * slider), kRelaxed);
}

namespace {

// Markers exist only while frozen.
void clearMarkersWhileLive(TunerState& tuner) {
  tuner.playback.markersShown = false;
  tuner.playback.markA = kNoMarker;
  tuner.playback.markB = kNoMarker;
}

}  // namespace

ViewFrame applyViewRules(TunerState& tuner) {
  ViewFrame frame;
  frame.palette = &themePalette(tuner.controls.theme);
  frame.font = &font;
  const int historyColumn = tuner.history.column.load(kRelaxed);
  frame.oldestColumn = wrapColumn(historyColumn);
  frame.frozen = tuner.playback.frozen.load(kRelaxed);
  // The strips and the lit keys show the state before this frame's scrubbing and pick.
  const int liveColumn = wrapColumn(frame.oldestColumn + kHistoryColumns - 1);
  frame.stripColumn = frame.frozen ? wrapColumn(tuner.playback.column.load(kRelaxed)) : liveColumn;
  if (tuner.tone.held.load(kRelaxed)) frame.litKey = tuner.tone.key.load(kRelaxed);

  const std::uint32_t cursorColour = applyScrubbing(tuner);
  frame.hoverKey = applyTonePick(tuner);
  if (frame.frozen) {
    frame.cursorColumn = cursorDisplayColumn(tuner);
    frame.cursorColour = cursorColour;
    frame.markersShown = tuner.playback.markersShown;
    frame.markA = tuner.playback.markA;
    frame.markB = tuner.playback.markB;
  } else {
    clearMarkersWhileLive(tuner);
  }
  applyToolbarInput(tuner);
  updateInputGain(tuner);
  frame.gainSlider = tuner.controls.gainSlider;
  frame.autoGain = tuner.controls.autoGain;
  frame.outputVolume = tuner.controls.outputVolume.load(kRelaxed);
  frame.softDisplay = tuner.controls.softDisplay;
  if (detectorReads(tuner.controls.detector)) {
    frame.showsReading = true;
    frame.transposition = tuner.controls.transposition;
    frame.naming = tuner.controls.naming;
    const PitchReading& reading = tuner.history.pitchReading;
    if (reading.row >= 0) {
      frame.pitchRow = reading.row;
      frame.pitchCents = static_cast<int>(std::lround(reading.cents));
      frame.pitchTenthsHz = static_cast<int>(std::lround(reading.frequency * kTenthsPerHz));
    }
  }
  return frame;
}

void setGainSlider(TunerState& tuner, double gain) {
  tuner.controls.gainSlider = std::min(static_cast<float>(std::cbrt(gain)), kGainSliderEnd);
}

void setAutoGain(TunerState& tuner, bool on) {
  tuner.controls.autoGain = on;
  if (on) tuner.controls.autoGainState = AutoGain{tuner.controls.inputGain.load(kRelaxed)};
}

int displayColumnOf(const TunerState& tuner, int historyColumnIndex) {
  return wrapColumn(historyColumnIndex - tuner.history.column.load(kRelaxed));
}

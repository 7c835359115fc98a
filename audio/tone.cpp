#include "audio/tone.hpp"

#include <cmath>

#include "core/tuner_state.hpp"

namespace {

// A request for a key outside the note table is no request at all.
bool isPlayableKey(int key) { return key >= 0 && key < kNoteCount; }

float bentSine(double phase, float level) {
  double s = std::sin(phase);
  if (s >= 0.0) return static_cast<float>(std::sqrt(s) * level);
  return static_cast<float>(-(std::sqrt(-s) * level));
}

bool crossesZero(float value, float previous) {
  return (value > 0.0f && previous <= 0.0f) || (value <= 0.0f && previous > 0.0f);
}

// One attempt only: if the main thread reset the phase since it was read, its reset is
// the later store and wins; the advance of this sample is dropped.
void advancePhase(double phase, double step) {
  tuner.tonePhase.compare_exchange_strong(phase, phase + step, std::memory_order_relaxed);
}

}  // namespace

bool toneIdle() {
  return tuner.toneNote == kToneSilent &&
         !(tuner.toneHeld.load(std::memory_order_relaxed) && isPlayableKey(tuner.toneKey.load(std::memory_order_relaxed)));
}

void toneStep(float& sample) {
  int key = tuner.toneKey.load(std::memory_order_relaxed);
  bool held = tuner.toneHeld.load(std::memory_order_relaxed) && isPlayableKey(key);

  if (tuner.toneNote == kToneSilent) {
    if (!held) return;
    tuner.tonePhase.store(0.0, std::memory_order_relaxed);
    tuner.toneNote = key;
    tuner.toneLevel = kToneStartLevel;
  }

  double phase = tuner.tonePhase.load(std::memory_order_relaxed);
  float value = bentSine(phase, tuner.toneLevel);
  sample = value;

  if (crossesZero(value, tuner.toneLastOut)) {
    if (held) {
      if (key != tuner.toneNote) tuner.toneLevel = kToneStartLevel;
      tuner.toneNote = key;
    } else {
      tuner.toneNote = kToneSilent;  // this sample, the one that crossed, was the last
    }
  }
  tuner.toneLastOut = value;

  if (tuner.toneNote != kToneSilent)
    advancePhase(phase, tuner.noteFrequency[tuner.toneNote] * kTonePhaseStepPerHertz);

  tuner.toneLevel = static_cast<float>(static_cast<double>(tuner.toneLevel) * kToneDecayPerSample);
  if (tuner.toneLevel < kToneFloorLevel) tuner.toneLevel = kToneFloorLevel;
}

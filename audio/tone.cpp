#include "audio/tone.hpp"

#include <cmath>

#include "core/tuner_state.hpp"
#include "audio/output_scale.hpp"

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

struct Request {
  int key;
  bool held;
};

Request request(const TunerState& record) {
  const int key = record.toneKey.load(std::memory_order_relaxed);
  return {key, record.toneHeld.load(std::memory_order_relaxed) && isPlayableKey(key)};
}

// One sample of a sounding voice: its value, then the voice moved on by that sample.
float stepSounding(const TunerState& record, ToneVoice& voice, Request wanted) {
  const float value = bentSine(voice.phase, voice.level);
  if (crossesZero(value, voice.lastOut)) {
    if (wanted.held) {
      if (wanted.key != voice.note) voice.level = kToneStartLevel;
      voice.note = wanted.key;
    } else {
      voice.note = kToneSilent;  // this sample, the one that crossed, was the last
    }
  }
  voice.lastOut = value;
  if (voice.note != kToneSilent) voice.phase = voice.phase + record.noteFrequency[voice.note] * kTonePhaseStepPerHertz;
  voice.level = static_cast<float>(static_cast<double>(voice.level) * kToneDecayPerSample);
  if (voice.level < kToneFloorLevel) voice.level = kToneFloorLevel;
  return value;
}

}  // namespace

bool toneIdle(const TunerState& record) { return record.toneNote == kToneSilent && !request(record).held; }

ToneVoice toneVoice(const TunerState& record) {
  return {record.tonePhase.load(std::memory_order_relaxed), record.toneNote, record.toneLevel, record.toneLastOut};
}

void toneStepVoice(const TunerState& record, ToneVoice& voice, float& sample) {
  const Request wanted = request(record);
  if (voice.note == kToneSilent) {
    if (!wanted.held) return;
    voice = {0.0, wanted.key, kToneStartLevel, voice.lastOut};
  }
  sample = stepSounding(record, voice, wanted);
}

void toneStep(TunerState& record, float& sample) {
  const Request wanted = request(record);
  if (record.toneNote == kToneSilent) {
    if (!wanted.held) return;
    record.tonePhase.store(0.0, std::memory_order_relaxed);
    record.toneNote = wanted.key;
    record.toneLevel = kToneStartLevel;
  }
  ToneVoice voice = toneVoice(record);
  const double phase = voice.phase;
  sample = stepSounding(record, voice, wanted);
  record.toneNote = voice.note;
  record.toneLevel = voice.level;
  record.toneLastOut = voice.lastOut;
  // One attempt only: if the main thread reset the phase since it was read, its reset is
  // the later store and wins; the advance of this sample is dropped.
  double expected = phase;
  if (voice.note != kToneSilent) record.tonePhase.compare_exchange_strong(expected, voice.phase, std::memory_order_relaxed);
}

void composeToneFrom(const TunerState& record, ToneVoice& voice, float* output, unsigned long frameCount) {
  for (unsigned long n = 0; n < frameCount; ++n) {
    float sample = 0.0f;
    toneStepVoice(record, voice, sample);
    output[n] = scaledOutput(record, sample);
  }
}

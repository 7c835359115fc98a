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

Request request(const ToneState& tone) {
  const int key = tone.key.load(std::memory_order_relaxed);
  return {key, tone.held.load(std::memory_order_relaxed) && isPlayableKey(key)};
}

// One sample of a sounding voice: its value, then the voice moved on by that sample.
float stepSounding(const NoteTable& notes, ToneVoice& voice, Request wanted) {
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
  if (voice.note != kToneSilent) voice.phase = voice.phase + notes.frequency[voice.note] * kTonePhaseStepPerHertz;
  voice.level = static_cast<float>(static_cast<double>(voice.level) * kToneDecayPerSample);
  if (voice.level < kToneFloorLevel) voice.level = kToneFloorLevel;
  return value;
}

}  // namespace

bool toneIdle(const ToneState& tone) { return tone.note == kToneSilent && !request(tone).held; }

ToneVoice toneVoice(const ToneState& tone) {
  return {tone.phase.load(std::memory_order_relaxed), tone.note, tone.level, tone.lastOut};
}

void toneStepVoice(const ToneState& tone, const NoteTable& notes, ToneVoice& voice, float& sample) {
  const Request wanted = request(tone);
  if (voice.note == kToneSilent) {
    if (!wanted.held) return;
    voice = {0.0, wanted.key, kToneStartLevel, voice.lastOut};
  }
  sample = stepSounding(notes, voice, wanted);
}

void toneStep(ToneState& tone, const NoteTable& notes, float& sample) {
  const Request wanted = request(tone);
  if (tone.note == kToneSilent) {
    if (!wanted.held) return;
    tone.phase.store(0.0, std::memory_order_relaxed);
    tone.note = wanted.key;
    tone.level = kToneStartLevel;
  }
  ToneVoice voice = toneVoice(tone);
  const double phase = voice.phase;
  sample = stepSounding(notes, voice, wanted);
  tone.note = voice.note;
  tone.level = voice.level;
  tone.lastOut = voice.lastOut;
  // One attempt only: if the main thread reset the phase since it was read, its reset is
  // the later store and wins; the advance of this sample is dropped.
  double expected = phase;
  if (voice.note != kToneSilent) tone.phase.compare_exchange_strong(expected, voice.phase, std::memory_order_relaxed);
}

void composeToneFrom(const TunerState& record, ToneVoice& voice, float* output, unsigned long frameCount) {
  for (unsigned long n = 0; n < frameCount; ++n) {
    float sample = 0.0f;
    toneStepVoice(record.tone, record.notes, voice, sample);
    output[n] = scaledOutput(record.controls, sample);
  }
}

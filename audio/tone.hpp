#pragma once
// The reference tone: a sine with square-root-bent lobes that starts loud, settles
// to a sustained level, and changes pitch or stops only where its waveform crosses zero.

struct TunerState;
struct ToneState;
struct NoteTable;

inline constexpr float kToneStartLevel = 0.2f;
inline constexpr float kToneDecayPerSample = 0.9999f;
inline constexpr float kToneFloorLevel = 0.05f;
// Radians per sample per hertz: a truncated 2 pi (6.2831853) over 44100 Hz.
inline constexpr double kTonePhaseStepPerHertz = 0.00014247585714285716;
inline constexpr int kToneSilent = -1;

// What the next sample of the tone depends on besides the request: the callback's
// tone fields, copied out so another thread can carry the tone on (output_relay).
struct ToneVoice {
  double phase = 0.0;
  int note = kToneSilent;
  float level = kToneFloorLevel;
  float lastOut = 0.0f;
};

// Audio thread, once per output sample. `sample` is 0.0 on entry; while the tone
// sounds it becomes the tone's value, otherwise it is left alone.
void toneStep(ToneState& tone, const NoteTable& notes, float& sample);
// True when toneStep would leave the sample and every tone field as they are.
bool toneIdle(const ToneState& tone);
// The callback's thread: its tone fields as they stand.
ToneVoice toneVoice(const ToneState& tone);
// Any thread: toneStep's sample for the request as it stands, from `voice` instead of
// the callback's fields, which it leaves alone; `voice` moves on one sample.
void toneStepVoice(const ToneState& tone, const NoteTable& notes, ToneVoice& voice, float& sample);
// What composing would give while only the tone sounds, from `voice` instead of the
// callback's own tone fields (left alone): the relay's way to carry the tone on.
void composeToneFrom(const TunerState& record, ToneVoice& voice, float* output, unsigned long frameCount);

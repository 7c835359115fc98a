#pragma once
// The reference tone: a sine with square-root-bent lobes that starts loud, settles
// to a sustained level, and changes pitch or stops only where its waveform crosses zero.

inline constexpr float kToneStartLevel = 0.2f;
inline constexpr float kToneDecayPerSample = 0.9999f;
inline constexpr float kToneFloorLevel = 0.05f;
// Radians per sample per hertz: a truncated 2 pi (6.2831853) over 44100 Hz.
inline constexpr double kTonePhaseStepPerHertz = 0.00014247585714285716;
inline constexpr int kToneSilent = -1;

// Audio thread, once per output sample. `sample` is 0.0 on entry; while the tone
// sounds it becomes the tone's value, otherwise it is left alone.
void toneStep(float& sample);
// True when toneStep would leave the sample and every tone field as they are.
bool toneIdle();

#pragma once
// The per-buffer work of the audio thread: capture, block completion, output.
// Never allocates, locks, blocks or does I/O. Returns 0: the stream goes on.
//
// For every frame: the input sample joins `captureBlock`; when the block is full,
// its raw copy goes to `lastBlock`, the copy scaled by `inputGain` to the spectrum,
// and `spectrumReady` is raised; then the output sample is composed from silence,
// the reference tone and recorded playback, times `outputVolume` and 4.
// A null input counts as silence, and so does a sample that is NaN, infinite or
// beyond 1e6 in size; a null output is not written.

#include "audio/tone.hpp"

int audioCallback(const float* input, float* output, unsigned long frameCount);

// The same for an input the user also hears (a sound file in place of the microphone):
// each input sample is where the output starts, before the tone and playback steps.
// `input` must not be null.
int audioCallbackHeard(const float* input, float* output, unsigned long frameCount);
// Paused input: composes the output (tone, playback) without capturing anything,
// so the block being filled waits where it is.
void composeOnly(float* output, unsigned long frameCount);
// What composing would give while only the tone sounds, from `voice` instead of the
// callback's own tone fields (left alone): the relay's way to carry the tone on.
void composeToneFrom(ToneVoice& voice, float* output, unsigned long frameCount);

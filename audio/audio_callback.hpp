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
int audioCallback(const float* input, float* output, unsigned long frameCount);

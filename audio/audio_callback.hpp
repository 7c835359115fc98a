#pragma once
// The per-buffer work of the audio thread: capture, block completion, output.
// Never allocates, locks, blocks or does I/O. Returns 0: the stream goes on.
int audioCallback(const float* input, float* output, unsigned long frameCount);

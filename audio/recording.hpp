#pragma once
// The raw input of the last 200 analysed blocks, beside the score history.

// Start-up: allocates and zeroes the history; false when the memory cannot be had.
bool allocateRecording();
// Shutdown, after the stream is closed.
void freeRecording();
// Main thread: copies `lastBlock` into column `historyColumn`.
void recordBlock();

#pragma once
// The raw input of the last 200 analysed blocks, beside the score history.

struct TunerState;

// Start-up: allocates and zeroes the history; false when the memory cannot be had.
bool allocateRecording(TunerState& record);
// Shutdown, after the stream is closed.
void freeRecording(TunerState& record);
// Main thread: copies `lastBlock` into column `historyColumn`.
void recordBlock(TunerState& record);

#pragma once
// The raw input of the last 200 analysed blocks, beside the score history.

struct Histories;
struct BlockHandoff;

// Start-up: allocates and zeroes the history; false when the memory cannot be had.
bool allocateRecording(Histories& history);
// Shutdown, after the stream is closed.
void freeRecording(Histories& history);
// Main thread: copies the handoff's `lastBlock` into the history's current column.
void recordBlock(Histories& history, const BlockHandoff& handoff);

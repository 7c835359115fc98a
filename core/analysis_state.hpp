#pragma once
// What the analysis keeps from one block to the next, and reads out, held in the shared record.

// Per-row detector state, four fields in this order; previousCombined is kept though nothing reads it yet.
struct NoteTrack {
  float effective;
  float combined;
  float previousCombined;
  float softPrevious;
};

// Automatic gain's control state, from one block to the next.
struct AutoGain {
  double gain = 1.0;       // factor for the next analysed block
  double noteLevel = 0.0;  // the loudest raw level since the current note began
  double lastLevel = 0.0;  // the raw level of the last block worth following
  int rises = 0;           // blocks since the note began whose level rose
};

// The strongest sounding note of a block, as the precise detector reads it.
struct PitchReading {
  int row = -1;             // 0 .. 71; -1 when nothing sounds
  double frequency = 0.0;   // Hz
  double cents = 0.0;       // from the row's tuned frequency
  double confidence = 0.0;  // 0 .. 1
};

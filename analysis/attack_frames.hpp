#pragma once
// The note tracker's last blocks of input in 2.9 ms frames: where an attack rose, to the sample,
// and how steeply the sound's highs rose, for the onsets and re-strikes of its notes. Pure, and
// allocates nothing.

#include "core/constants.hpp"

inline constexpr int kOnsetFrame = 128;  // samples: the grain of the onset search (2.9 ms)
// The detector may name a low note a block after it began, so its onset is sought back over
// this many blocks, the last given one included ...
inline constexpr int kOnsetBlocks = 3;
// ... and the two frames before them, so that an attack at their very start shows as a rise.
inline constexpr int kOnsetLeadFrames = 2;
inline constexpr int kOnsetFrames = kOnsetLeadFrames + kOnsetBlocks * kBlockSize / kOnsetFrame;

struct AttackFrames {
  float recent[kOnsetFrames * kOnsetFrame];  // the last blocks and the lead before them, oldest first
  double rms[kOnsetFrames];      // RMS of their frames
  double edgeRms[kOnsetFrames];  // RMS of their steps from sample to sample: the highs an attack brings
};

struct Onsets {
  long long recent;  // of the attack in the last block or the one before; the last block's start when nothing rose
  long long early;   // for a note named a block or two after it sounded: its attack back to the oldest block
};

// Silence before the first block, and after a gap.
void forgetFrames(AttackFrames& frames);
// The next block of kBlockSize samples.
void addFrames(AttackFrames& frames, const float* block);
// The onsets the frames show; `firstSample` is the input sample index of the last block's start.
Onsets findOnsets(const AttackFrames& frames, long long firstSample);
// The steepest rise of the highs in the last block and the one before, as a ratio, between windows
// of `window` frames a frame apart (a step inside a frame spreads over it and the next).
double steepestRise(const AttackFrames& frames, int window);
// Frames in a period of `hz`, for a window that follows a note's level rather than its waveform.
int framesInPeriod(double hz);

#pragma once
// Sizes of the precise detector, fixed at compile time so its state needs no allocation.

#include "core/constants.hpp"

inline constexpr int kPreciseWindow = 2 * kBlockSize;  // samples: this block and the one before (93 ms)
inline constexpr double kPreciseMaxPartialHz = 8000.0;  // partials above this are not looked at
// Bins read: up to the highest partial plus room for the noise floor's reach.
inline constexpr int kPreciseBins =
    static_cast<int>(kPreciseMaxPartialHz * kPreciseWindow / kSampleRate) + 64;
inline constexpr int kMostPeaks = 192;
inline constexpr int kMostNotes = 6;  // notes named in one block

#pragma once
// Automatic gain: keeps the strongest partial of the analysed band at the level
// the detector separates neighbouring semitones best, from one block to the next.

#include <atomic>

#include "core/analysis_state.hpp"

// Strongest magnitude of the published spectrum over the note rows' search windows,
// divided by `blockGain`, the factor that block was analysed with: the raw input's level.
double rawBandPeak(const std::atomic<double>* spectrum, const double* noteFrequency, double blockGain);

// One block's step of the control law; returns the gain for the blocks that follow.
// A note that keeps rising now and then and stays near its loudest (bowed, blown) is
// brought lower than one that only decays (struck, plucked): its harmonics light sooner.
double autoGainStep(AutoGain& state, double rawPeak);

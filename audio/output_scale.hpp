#pragma once
// The output's level: every sample the callbacks write passes through it.

#include <atomic>

#include "core/tuner_state.hpp"

// Together with `outputVolume`: the default volume of 0.25 passes samples through unchanged.
inline constexpr double kOutputScale = 4.0;

inline float scaledOutput(const Controls& controls, float sample) {
  const double volume = controls.outputVolume.load(std::memory_order_relaxed);
  return static_cast<float>((volume * sample) * kOutputScale);
}

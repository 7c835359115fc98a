#include "audio/audio_callback.hpp"

#include <cmath>

#include "analysis/spectrum.hpp"
#include "app/tuner_state.hpp"
#include "audio/input_tap.hpp"
#include "audio/playback.hpp"
#include "audio/tone.hpp"

// The audio thread must never wait on a lock, not even one hidden inside an atomic.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
              std::atomic<float>::is_always_lock_free && std::atomic<double>::is_always_lock_free);

namespace {

// Together with `outputVolume`: the default volume of 0.25 passes samples through unchanged.
constexpr double kOutputScale = 4.0;
// Far above full scale (1.0) yet small enough that no score, level or spectrum value
// can overflow at any gain; a sample beyond it, or NaN or infinite, is taken as silence.
constexpr float kLoudestInput = 1.0e6f;

// Keeps the raw block for the recording, gains the analysed copy, publishes its spectrum.
void completeBlock() {
  tuner.captureFill = 0;
  double gain = tuner.inputGain.load(std::memory_order_relaxed);
  for (int i = 0; i < tuner.blockSize; ++i) {
    tuner.lastBlock[i].store(static_cast<float>(tuner.captureBlock[i]), std::memory_order_relaxed);
    tuner.captureBlock[i] *= gain;
  }
  computeSpectrum(tuner.captureBlock, tuner.blockSize);
  tuner.blockGain.store(static_cast<float>(gain), std::memory_order_relaxed);
  // Release: the frame step that sees the flag also sees this block and its spectrum.
  tuner.spectrumReady.store(true, std::memory_order_release);
}

void capture(float input) {
  // Written so that NaN fails the comparison: one bad buffer must not poison the detector's levels.
  tuner.captureBlock[tuner.captureFill] = std::fabs(input) <= kLoudestInput ? input : 0.0f;
  if (++tuner.captureFill >= tuner.blockSize) completeBlock();
}

// `heard` is what plays when neither the tone nor playback replaces it: silence, or a file's sample.
float composeOutput(float heard = 0.0f) {
  float sample = heard;
  toneStep(sample);
  playbackStep(sample);
  double volume = tuner.outputVolume.load(std::memory_order_relaxed);
  return static_cast<float>((volume * sample) * kOutputScale);
}

}  // namespace

int audioCallback(const float* input, float* output, unsigned long frameCount) {
  tapInput(input, frameCount);
  for (unsigned long n = 0; n < frameCount; ++n) {
    capture(input != nullptr ? input[n] : 0.0f);  // no input buffer: the device gave silence
    float sample = composeOutput();
    if (output != nullptr) output[n] = sample;
  }
  return 0;
}

int audioCallbackHeard(const float* input, float* output, unsigned long frameCount) {
  tapInput(input, frameCount);
  for (unsigned long n = 0; n < frameCount; ++n) {
    const float sample = std::fabs(input[n]) <= kLoudestInput ? input[n] : 0.0f;
    capture(sample);
    const float out = composeOutput(sample);
    if (output != nullptr) output[n] = out;
  }
  return 0;
}

void composeOnly(float* output, unsigned long frameCount) {
  for (unsigned long n = 0; n < frameCount; ++n) {
    const float out = composeOutput();
    if (output != nullptr) output[n] = out;
  }
}

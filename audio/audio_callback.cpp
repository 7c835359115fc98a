#include "audio/audio_callback.hpp"

#include <cmath>

#include "analysis/spectrum.hpp"
#include "core/bell.hpp"
#include "core/tuner_state.hpp"
#include "audio/block_queue.hpp"
#include "audio/input_tap.hpp"
#include "audio/playback.hpp"
#include "audio/tone.hpp"

// The audio thread must never wait on a lock, not even one hidden inside an atomic.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
              std::atomic<float>::is_always_lock_free && std::atomic<double>::is_always_lock_free);

namespace {

// Together with `outputVolume`: the default volume of 0.25 passes samples through unchanged.
constexpr double kOutputScale = 4.0;

// Keeps the raw block for the recording, gains the analysed copy, publishes its spectrum.
void completeBlock() {
  tuner.captureFill = 0;
  double gain = tuner.inputGain.load(std::memory_order_relaxed);
  queueBlock(tuner.captureBlock, static_cast<float>(gain));
  for (int i = 0; i < tuner.blockSize; ++i) {
    tuner.lastBlock[i].store(static_cast<float>(tuner.captureBlock[i]), std::memory_order_relaxed);
    tuner.captureBlock[i] *= gain;
  }
  computeSpectrum(tuner, tuner.captureBlock, tuner.blockSize);
  tuner.blockGain.store(static_cast<float>(gain), std::memory_order_relaxed);
  tuner.blocksPublished.store(tuner.blocksPublished.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  // Release: the frame step that sees the flag also sees this block and its spectrum.
  tuner.spectrumReady.store(true, std::memory_order_release);
  ringBell();
}

// The buffer's input joins the block, a block completed wherever it fills.
void captureBuffer(const float* input, unsigned long frameCount) {
  for (unsigned long n = 0; n < frameCount;) {
    const int fill = tuner.captureFill;
    const unsigned long room = fill < tuner.blockSize ? static_cast<unsigned long>(tuner.blockSize - fill) : 0;
    const unsigned long take = room < frameCount - n ? room : frameCount - n;
    double* block = tuner.captureBlock + fill;
    // Written so that NaN fails the comparison: one bad buffer must not poison the detector's levels.
    if (input != nullptr)
      for (unsigned long i = 0; i < take; ++i)
        block[i] = std::fabs(input[n + i]) <= kLoudestInput ? input[n + i] : 0.0f;
    else
      for (unsigned long i = 0; i < take; ++i) block[i] = 0.0;  // no input buffer: the device gave silence
    tuner.captureFill = fill + static_cast<int>(take);
    n += take;
    if (tuner.captureFill >= tuner.blockSize) completeBlock();
  }
}

float scaledOutput(float sample) {
  double volume = tuner.outputVolume.load(std::memory_order_relaxed);
  return static_cast<float>((volume * sample) * kOutputScale);
}

// A sample fit to be heard: as the capture guard, NaN, infinite or huge is silence.
float audible(float sample) { return std::fabs(sample) <= kLoudestInput ? sample : 0.0f; }

// `heard` is what plays where neither the tone nor playback replaces it: a file's
// samples, or silence when null.
void composeBuffer(float* output, unsigned long frameCount, const float* heard = nullptr) {
  // Nothing sounding: every sample is the same silence, and neither step would change a thing.
  if (toneIdle() && playbackIdle()) {
    if (output == nullptr) return;
    if (heard != nullptr) {
      for (unsigned long n = 0; n < frameCount; ++n) output[n] = scaledOutput(audible(heard[n]));
      return;
    }
    const float silence = scaledOutput(0.0f);
    for (unsigned long n = 0; n < frameCount; ++n) output[n] = silence;
    return;
  }
  for (unsigned long n = 0; n < frameCount; ++n) {
    float sample = heard != nullptr ? audible(heard[n]) : 0.0f;
    toneStep(sample);
    playbackStep(sample);
    sample = scaledOutput(sample);
    if (output != nullptr) output[n] = sample;
  }
}

}  // namespace

int audioCallback(const float* input, float* output, unsigned long frameCount) {
  tapInput(input, frameCount);
  // Capture never reads what composing writes, nor the other way round: two plain passes.
  captureBuffer(input, frameCount);
  composeBuffer(output, frameCount);
  return 0;
}

int audioCallbackHeard(const float* input, float* output, unsigned long frameCount) {
  tapInput(input, frameCount);
  captureBuffer(input, frameCount);
  composeBuffer(output, frameCount, input);
  return 0;
}

void composeOnly(float* output, unsigned long frameCount) { composeBuffer(output, frameCount); }

void composeToneFrom(ToneVoice& voice, float* output, unsigned long frameCount) {
  for (unsigned long n = 0; n < frameCount; ++n) {
    float sample = 0.0f;
    toneStepVoice(voice, sample);
    output[n] = scaledOutput(sample);
  }
}

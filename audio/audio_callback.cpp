#include "audio/audio_callback.hpp"

#include <algorithm>
#include <cmath>

#include "analysis/spectrum.hpp"
#include "core/bell.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_shared.hpp"
#include "audio/block_queue.hpp"
#include "audio/file_feed.hpp"
#include "audio/input_tap.hpp"
#include "audio/output_relay.hpp"
#include "audio/output_scale.hpp"
#include "audio/playback.hpp"
#include "audio/tone.hpp"

// The audio thread must never wait on a lock, not even one hidden inside an atomic.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
              std::atomic<float>::is_always_lock_free && std::atomic<double>::is_always_lock_free &&
              std::atomic<BellRinger>::is_always_lock_free && std::atomic<std::int64_t>::is_always_lock_free);

namespace {

// Keeps the raw block for the recording, gains the analysed copy, publishes its spectrum.
void completeBlock(AudioShared& audio) {
  TunerState& record = audio.record;
  record.capture.fill = 0;
  double gain = record.controls.inputGain.load(std::memory_order_relaxed);
  queueBlock(audio.blocks, record.capture.block, static_cast<float>(gain));
  for (int i = 0; i < record.blockSize; ++i) {
    record.handoff.lastBlock[i].store(static_cast<float>(record.capture.block[i]), std::memory_order_relaxed);
    record.capture.block[i] *= gain;
  }
  computeSpectrum(record.capture, record.handoff, record.capture.block, record.blockSize);
  record.handoff.blockGain.store(static_cast<float>(gain), std::memory_order_relaxed);
  record.handoff.blocksPublished.store(record.handoff.blocksPublished.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  // Release: the frame step that sees the flag also sees this block and its spectrum.
  record.handoff.spectrumReady.store(true, std::memory_order_release);
  ringBell(record.handoff.bell);
}

// The buffer's input joins the block, a block completed wherever it fills.
void captureBuffer(AudioShared& audio, const float* input, unsigned long frameCount) {
  TunerState& record = audio.record;
  for (unsigned long n = 0; n < frameCount;) {
    const int fill = record.capture.fill;
    const unsigned long room = fill < record.blockSize ? static_cast<unsigned long>(record.blockSize - fill) : 0;
    const unsigned long take = room < frameCount - n ? room : frameCount - n;
    double* block = record.capture.block + fill;
    // Written so that NaN fails the comparison: one bad buffer must not poison the detector's levels.
    if (input != nullptr)
      for (unsigned long i = 0; i < take; ++i)
        block[i] = std::fabs(input[n + i]) <= kLoudestInput ? input[n + i] : 0.0f;
    else
      for (unsigned long i = 0; i < take; ++i) block[i] = 0.0;  // no input buffer: the device gave silence
    record.capture.fill = fill + static_cast<int>(take);
    n += take;
    if (record.capture.fill >= record.blockSize) completeBlock(audio);
  }
}

// A sample fit to be heard: as the capture guard, NaN, infinite or huge is silence.
float audible(float sample) { return std::fabs(sample) <= kLoudestInput ? sample : 0.0f; }

// `heard` is what plays where neither the tone nor playback replaces it: a file's
// samples, or silence when null.
void composeBuffer(TunerState& record, float* output, unsigned long frameCount, const float* heard = nullptr) {
  // Nothing sounding: every sample is the same silence, and neither step would change a thing.
  if (toneIdle(record.tone) && playbackIdle(record.playback, record.history)) {
    if (output == nullptr) return;
    if (heard != nullptr) {
      for (unsigned long n = 0; n < frameCount; ++n) output[n] = scaledOutput(record.controls, audible(heard[n]));
      return;
    }
    const float silence = scaledOutput(record.controls, 0.0f);
    for (unsigned long n = 0; n < frameCount; ++n) output[n] = silence;
    return;
  }
  for (unsigned long n = 0; n < frameCount; ++n) {
    float sample = heard != nullptr ? audible(heard[n]) : 0.0f;
    toneStep(record.tone, record.notes, sample);
    playbackStep(record.playback, record.history, sample);
    sample = scaledOutput(record.controls, sample);
    if (output != nullptr) output[n] = sample;
  }
}

}  // namespace

int audioCallback(AudioShared& audio, const float* input, float* output, unsigned long frameCount) {
  tapInput(audio.tap, input, frameCount);
  // Capture never reads what composing writes, nor the other way round: two plain passes.
  captureBuffer(audio, input, frameCount);
  composeBuffer(audio.record, output, frameCount);
  return 0;
}

int audioCallbackHeard(AudioShared& audio, const float* input, float* output, unsigned long frameCount) {
  tapInput(audio.tap, input, frameCount);
  captureBuffer(audio, input, frameCount);
  composeBuffer(audio.record, output, frameCount, input);
  return 0;
}

void composeOnly(AudioShared& audio, float* output, unsigned long frameCount) {
  composeBuffer(audio.record, output, frameCount);
}

void feedFromFile(AudioShared& audio, float* output, unsigned long frameCount) {
  for (unsigned long done = 0; done < frameCount;) {
    const unsigned long count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    float* out = output != nullptr ? output + done : nullptr;
    if (audio.record.playback.frozen.load(std::memory_order_relaxed)) {
      composeOnly(audio, out, count);
      notePausedFrames(audio.feed, count);
    } else {
      audioCallbackHeard(audio, takeFileFrames(audio.feed, count), out, count);
    }
    done += count;
  }
}

void relayCapture(AudioShared& audio, const float* input, unsigned long frameCount) {
  for (unsigned long done = 0; done < frameCount;) {
    const unsigned long count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    audioCallback(audio, input != nullptr ? input + done : nullptr, audio.relay.composed, count);
    queueComposed(audio.relay, audio.record, audio.relay.composed, count);
    done += count;
  }
}

#include "audio/recording.hpp"

#include <new>

#include "core/tuner_state.hpp"

namespace {
constexpr int kRecordedSampleCount = kHistoryColumns * TunerState::blockSize;
}

bool allocateRecording() {
  // Value-initialised: every sample starts at 0.0, so playback before any block is silent.
  tuner.recordedSamples = new (std::nothrow) std::atomic<float>[kRecordedSampleCount]();
  return tuner.recordedSamples != nullptr;
}

void freeRecording() {
  delete[] tuner.recordedSamples;
  tuner.recordedSamples = nullptr;
}

void recordBlock() {
  if (tuner.recordedSamples == nullptr) return;
  std::atomic<float>* column =
      tuner.recordedSamples + tuner.historyColumn.load(std::memory_order_relaxed) * tuner.blockSize;
  for (int i = 0; i < tuner.blockSize; ++i)
    column[i].store(tuner.lastBlock[i].load(std::memory_order_relaxed), std::memory_order_relaxed);
}

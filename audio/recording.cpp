#include "audio/recording.hpp"

#include <new>

#include "core/tuner_state.hpp"

namespace {
constexpr int kRecordedSampleCount = kHistoryColumns * kBlockSize;
}

bool allocateRecording(Histories& history) {
  // Value-initialised: every sample starts at 0.0, so playback before any block is silent.
  history.recordedSamples = new (std::nothrow) std::atomic<float>[kRecordedSampleCount]();
  return history.recordedSamples != nullptr;
}

void freeRecording(Histories& history) {
  delete[] history.recordedSamples;
  history.recordedSamples = nullptr;
}

void recordBlock(Histories& history, const BlockHandoff& handoff) {
  if (history.recordedSamples == nullptr) return;
  std::atomic<float>* column =
      history.recordedSamples + history.column.load(std::memory_order_relaxed) * kBlockSize;
  for (int i = 0; i < kBlockSize; ++i)
    column[i].store(handoff.lastBlock[i].load(std::memory_order_relaxed), std::memory_order_relaxed);
}

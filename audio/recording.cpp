#include "audio/recording.hpp"

#include <new>

#include "core/tuner_state.hpp"

namespace {
constexpr int kRecordedSampleCount = kHistoryColumns * TunerState::blockSize;
}

bool allocateRecording(TunerState& record) {
  // Value-initialised: every sample starts at 0.0, so playback before any block is silent.
  record.recordedSamples = new (std::nothrow) std::atomic<float>[kRecordedSampleCount]();
  return record.recordedSamples != nullptr;
}

void freeRecording(TunerState& record) {
  delete[] record.recordedSamples;
  record.recordedSamples = nullptr;
}

void recordBlock(TunerState& record) {
  if (record.recordedSamples == nullptr) return;
  std::atomic<float>* column =
      record.recordedSamples + record.historyColumn.load(std::memory_order_relaxed) * record.blockSize;
  for (int i = 0; i < record.blockSize; ++i)
    column[i].store(record.lastBlock[i].load(std::memory_order_relaxed), std::memory_order_relaxed);
}

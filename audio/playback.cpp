#include "audio/playback.hpp"

#include "analysis/history_ring.hpp"
#include "core/tuner_state.hpp"

namespace {

bool isActive(const TunerState& record) {
  return record.frozen.load(std::memory_order_relaxed) &&
         (record.scrubbing.load(std::memory_order_relaxed) || record.autoPlay.load(std::memory_order_relaxed));
}

// The column has been played in full once more; after the second time move on,
// and stop when the next column would be the oldest one again.
void columnFinished(TunerState& record, int column) {
  int repeats = record.playRepeat.load(std::memory_order_relaxed) + 1;
  if (repeats < kPlaysPerColumn) {
    record.playRepeat.store(repeats, std::memory_order_relaxed);
    return;
  }
  record.playRepeat.store(0, std::memory_order_relaxed);
  int next = wrapColumn(column + 1);
  int oldest = record.historyColumn.load(std::memory_order_relaxed);
  if (next == oldest) {
    record.autoPlay.store(false, std::memory_order_relaxed);
    next = wrapColumn(oldest + 1);
  }
  record.playColumn.store(next, std::memory_order_relaxed);
}

}  // namespace

bool playbackIdle(const TunerState& record) { return record.recordedSamples == nullptr || !isActive(record); }

void playbackStep(TunerState& record, float& sample) {
  if (playbackIdle(record)) return;

  // The main thread writes both positions; keep whatever it wrote inside the storage.
  int column = wrapColumn(record.playColumn.load(std::memory_order_relaxed));
  int stored = record.playSample.load(std::memory_order_relaxed);
  int position = (stored >= 0 && stored < record.blockSize) ? stored : 0;

  sample = record.recordedSamples[column * record.blockSize + position].load(std::memory_order_relaxed);

  int next = position + 1;
  bool columnDone = next >= record.blockSize;
  if (columnDone) next = 0;
  // One attempt only: a reset to 0 stored by the main thread since the read is the later store and wins.
  if (!record.playSample.compare_exchange_strong(stored, next, std::memory_order_relaxed)) return;
  if (columnDone && record.autoPlay.load(std::memory_order_relaxed)) columnFinished(record, column);
}

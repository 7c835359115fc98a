#include "audio/playback.hpp"

#include "analysis/history_ring.hpp"
#include "core/tuner_state.hpp"

namespace {

bool isActive() {
  return tuner.frozen.load(std::memory_order_relaxed) &&
         (tuner.scrubbing.load(std::memory_order_relaxed) || tuner.autoPlay.load(std::memory_order_relaxed));
}

// The column has been played in full once more; after the second time move on,
// and stop when the next column would be the oldest one again.
void columnFinished(int column) {
  int repeats = tuner.playRepeat.load(std::memory_order_relaxed) + 1;
  if (repeats < kPlaysPerColumn) {
    tuner.playRepeat.store(repeats, std::memory_order_relaxed);
    return;
  }
  tuner.playRepeat.store(0, std::memory_order_relaxed);
  int next = wrapColumn(column + 1);
  int oldest = tuner.historyColumn.load(std::memory_order_relaxed);
  if (next == oldest) {
    tuner.autoPlay.store(false, std::memory_order_relaxed);
    next = wrapColumn(oldest + 1);
  }
  tuner.playColumn.store(next, std::memory_order_relaxed);
}

}  // namespace

bool playbackIdle() { return tuner.recordedSamples == nullptr || !isActive(); }

void playbackStep(float& sample) {
  if (playbackIdle()) return;

  // The main thread writes both positions; keep whatever it wrote inside the storage.
  int column = wrapColumn(tuner.playColumn.load(std::memory_order_relaxed));
  int stored = tuner.playSample.load(std::memory_order_relaxed);
  int position = (stored >= 0 && stored < tuner.blockSize) ? stored : 0;

  sample = tuner.recordedSamples[column * tuner.blockSize + position].load(std::memory_order_relaxed);

  int next = position + 1;
  bool columnDone = next >= tuner.blockSize;
  if (columnDone) next = 0;
  // One attempt only: a reset to 0 stored by the main thread since the read is the later store and wins.
  if (!tuner.playSample.compare_exchange_strong(stored, next, std::memory_order_relaxed)) return;
  if (columnDone && tuner.autoPlay.load(std::memory_order_relaxed)) columnFinished(column);
}

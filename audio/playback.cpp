#include "audio/playback.hpp"

#include "analysis/history_ring.hpp"
#include "core/tuner_state.hpp"

namespace {

bool isActive(const Playback& playback) {
  return playback.frozen.load(std::memory_order_relaxed) &&
         (playback.scrubbing.load(std::memory_order_relaxed) || playback.autoPlay.load(std::memory_order_relaxed));
}

// The column has been played in full once more; after the second time move on,
// and stop when the next column would be the oldest one again.
void columnFinished(Playback& playback, const Histories& history, int column) {
  int repeats = playback.repeat.load(std::memory_order_relaxed) + 1;
  if (repeats < kPlaysPerColumn) {
    playback.repeat.store(repeats, std::memory_order_relaxed);
    return;
  }
  playback.repeat.store(0, std::memory_order_relaxed);
  int next = wrapColumn(column + 1);
  int oldest = history.column.load(std::memory_order_relaxed);
  if (next == oldest) {
    playback.autoPlay.store(false, std::memory_order_relaxed);
    next = wrapColumn(oldest + 1);
  }
  playback.column.store(next, std::memory_order_relaxed);
}

}  // namespace

bool playbackIdle(const Playback& playback, const Histories& history) {
  return history.recordedSamples == nullptr || !isActive(playback);
}

void playbackStep(Playback& playback, const Histories& history, float& sample) {
  if (playbackIdle(playback, history)) return;

  // The main thread writes both positions; keep whatever it wrote inside the storage.
  int column = wrapColumn(playback.column.load(std::memory_order_relaxed));
  int stored = playback.sample.load(std::memory_order_relaxed);
  int position = (stored >= 0 && stored < kBlockSize) ? stored : 0;

  sample = history.recordedSamples[column * kBlockSize + position].load(std::memory_order_relaxed);

  int next = position + 1;
  bool columnDone = next >= kBlockSize;
  if (columnDone) next = 0;
  // One attempt only: a reset to 0 stored by the main thread since the read is the later store and wins.
  if (!playback.sample.compare_exchange_strong(stored, next, std::memory_order_relaxed)) return;
  if (columnDone && playback.autoPlay.load(std::memory_order_relaxed)) columnFinished(playback, history, column);
}

// Drawing speed: the whole view per frame against one clear of the picture.

#include <benchmark/benchmark.h>

#include "analysis/note_table.hpp"
#include "app/framebuffer.hpp"
#include "app/tuner_state.hpp"
#include "ratio.hpp"
#include "view/draw.hpp"
#include "view/font.hpp"
#include "view/glyphs.hpp"
#include "view/view.hpp"

namespace {

// A picture with every kind of cell: scores spread over 0..1 as a live run would give.
void prepareLiveState() {
  resetTunerState();
  createFramebuffer();
  if (font.pixels == nullptr) buildBuiltinFont(font);
  buildNoteTable();
  for (int i = 0; i < kHistoryColumns * kNoteRows; ++i) tuner.scoreHistory[i] = static_cast<float>((i * 37) % 101) / 100.0f;
  tuner.historyColumn.store(37);
}

// Times one drawing step on a picture that the previous iteration left.
template <class Draw>
void timeDrawing(benchmark::State& state, Draw draw) {
  for (auto _ : state) {
    draw();
    benchmark::DoNotOptimize(framebuffer.pixels[0]);
    benchmark::ClobberMemory();
  }
}

void BM_clearScreen(benchmark::State& state) {
  prepareLiveState();
  timeDrawing(state, [] { clearScreen(kBackgroundColour); });
}
BENCHMARK(BM_clearScreen);

void BM_drawView(benchmark::State& state) {
  prepareLiveState();
  clearScreen(kBackgroundColour);
  timeDrawing(state, [] { drawView(); });
}
BENCHMARK(BM_drawView);

void BM_drawViewFrozenWithMarkers(benchmark::State& state) {
  prepareLiveState();
  clearScreen(kBackgroundColour);
  tuner.frozen.store(true);
  tuner.markersShown = true;
  tuner.markA = 10;
  tuner.markB = 20;
  timeDrawing(state, [] { drawView(); });
}
BENCHMARK(BM_drawViewFrozenWithMarkers);

}  // namespace

SONAVEL_RATIO("drawView/clear", "BM_drawView", "BM_clearScreen");

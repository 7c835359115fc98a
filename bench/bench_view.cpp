// Drawing speed: the whole view per frame against one clear of the picture.

#include <benchmark/benchmark.h>

#include "app/framebuffer.hpp"
#include "app/tuner_state.hpp"
#include "ratio.hpp"
#include "view/draw.hpp"
#include "view/font.hpp"
#include "view/glyphs.hpp"
#include "view/view.hpp"

namespace {

constexpr int kKeyPattern[kPitchClasses] = {0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF,
                                            0, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF, 0};

// A picture with every kind of cell: scores spread over 0..1 as a live run would give.
void prepareLiveState() {
  resetTunerState();
  createFramebuffer();
  if (font.pixels == nullptr) buildBuiltinFont(font);
  for (int p = 0; p < kPitchClasses; ++p) tuner.keyColour[p] = kKeyPattern[p];
  for (int i = 0; i < kHistoryColumns * kNoteRows; ++i) tuner.scoreHistory[i] = static_cast<float>((i * 37) % 101) / 100.0f;
  tuner.historyColumn.store(37);
}

void BM_clearScreen(benchmark::State& state) {
  prepareLiveState();
  for (auto _ : state) {
    clearScreen(kBackgroundColour);
    benchmark::DoNotOptimize(framebuffer.pixels[0]);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_clearScreen);

void BM_drawView(benchmark::State& state) {
  prepareLiveState();
  clearScreen(kBackgroundColour);
  for (auto _ : state) {
    drawView();
    benchmark::DoNotOptimize(framebuffer.pixels[0]);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_drawView);

void BM_drawViewFrozenWithMarkers(benchmark::State& state) {
  prepareLiveState();
  clearScreen(kBackgroundColour);
  tuner.frozen.store(true);
  tuner.markersShown = true;
  tuner.markA = 10;
  tuner.markB = 20;
  for (auto _ : state) {
    drawView();
    benchmark::DoNotOptimize(framebuffer.pixels[0]);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_drawViewFrozenWithMarkers);

}  // namespace

SONAVEL_RATIO("drawView/clear", "BM_drawView", "BM_clearScreen");

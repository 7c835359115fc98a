// Drawing speed: the whole view per frame against one clear of the picture.

#include <benchmark/benchmark.h>

#include <memory>

#include "analysis/note_table.hpp"
#include "core/framebuffer.hpp"
#include "core/tuner_state.hpp"
#include "ratio.hpp"
#include "view/draw.hpp"
#include "view/font.hpp"
#include "view/glyphs.hpp"
#include "app/record_view.hpp"
#include "app/shell.hpp"
#include "view/view.hpp"

namespace {

// A picture with every kind of cell: scores spread over 0..1 as a live run would give.
void prepareLiveState(TunerState& record) {
  createFramebuffer();
  if (font.pixels == nullptr) buildBuiltinFont(font);
  buildNoteTable(record.notes);
  for (int i = 0; i < kHistoryColumns * kNoteRows; ++i) record.history.scores[i] = static_cast<float>((i * 37) % 101) / 100.0f;
  record.history.column.store(37);
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
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  prepareLiveState(record);
  timeDrawing(state, [&] { clearScreen(framebuffer, kDesignPalette.background); });
}
BENCHMARK(BM_clearScreen);

void BM_drawView(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  prepareLiveState(record);
  clearScreen(framebuffer, kDesignPalette.background);
  timeDrawing(state, [&] { drawView(record); });
}
BENCHMARK(BM_drawView);

void BM_drawViewFrozenWithMarkers(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  prepareLiveState(record);
  clearScreen(framebuffer, kDesignPalette.background);
  record.playback.frozen.store(true);
  record.playback.markersShown = true;
  record.playback.markA = 10;
  record.playback.markB = 20;
  timeDrawing(state, [&] { drawView(record); });
}
BENCHMARK(BM_drawViewFrozenWithMarkers);

// One block's scores as a tone gives them: three lit rows over a low floor that
// differs slightly from block to block, so every score of the column is new.
void writeLiveColumn(TunerState& record, int column, unsigned& seed) {
  constexpr float kFloor = 0.02f;
  constexpr float kFloorWobble = 0.01f;
  constexpr int kLitRows[] = {24, 36, 43};
  constexpr float kLitScores[] = {0.9f, 0.6f, 0.35f};
  float* scores = record.history.scores + column * kNoteRows;
  for (int row = 0; row < kNoteRows; ++row) {
    seed = seed * 1664525u + 1013904223u;
    scores[row] = kFloor + kFloorWobble * static_cast<float>(seed >> 8) / static_cast<float>(1u << 24);
  }
  for (int i = 0; i < 3; ++i) scores[kLitRows[i]] = kLitScores[i] + scores[kLitRows[i]];
}

// The live case: each drawn frame follows one new column, as the analysis leaves it.
void BM_drawViewNewColumn(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  prepareLiveState(record);
  unsigned seed = 1;
  for (int column = 0; column < kHistoryColumns; ++column) writeLiveColumn(record, column, seed);
  clearScreen(framebuffer, kDesignPalette.background);
  drawView(record);
  timeDrawing(state, [&] {
    const int column = record.history.column.load();
    writeLiveColumn(record, column, seed);
    record.history.column.store((column + 1) % kHistoryColumns);
    drawView(record);
  });
}
BENCHMARK(BM_drawViewNewColumn);

}  // namespace

SONAVEL_RATIO("drawView/clear", "BM_drawView", "BM_clearScreen");
SONAVEL_RATIO("drawView-newColumn/clear", "BM_drawViewNewColumn", "BM_clearScreen");

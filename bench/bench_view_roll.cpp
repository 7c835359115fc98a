// Drawing the whole piece as one picture: a roll of the window's 200 blocks, band by
// band as it is written, against the window's own picture of the same blocks.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "core/framebuffer.hpp"
#include "core/tuner_state.hpp"
#include "ratio.hpp"
#include "view/font.hpp"
#include "view/glyphs.hpp"
#include "view/roll_picture.hpp"
#include "app/record_view.hpp"
#include "app/shell.hpp"
#include "view/view.hpp"

namespace {

constexpr int kKeyPattern[kPitchClasses] = {0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF,
                                            0, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF, 0};
constexpr int kBandRows = 16;  // as the roll is written

void prepareState(TunerState& record) {
  createFramebuffer();
  if (font.pixels == nullptr) buildBuiltinFont(font);
  for (int p = 0; p < kPitchClasses; ++p) record.notes.keyColour[p] = kKeyPattern[p];
  for (int i = 0; i < kHistoryColumns * kNoteRows; ++i) record.history.scores[i] = static_cast<float>((i * 37) % 101) / 100.0f;
}

void BM_drawViewOfTheRollsBlocks(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  prepareState(record);
  for (auto _ : state) {
    drawView(record);
    benchmark::DoNotOptimize(framebuffer.pixels[0]);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_drawViewOfTheRollsBlocks);

void BM_drawRoll200Blocks(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  prepareState(record);
  std::vector<std::string> labels(kNoteRows);
  labels[27] = "C4";
  const RollPicture roll{record.history.scores, kHistoryColumns, 3, labels.data(), &font};
  const long long width = rollWidth(roll.blocks, roll.scale);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * kBandRows);
  Framebuffer band{static_cast<int>(width), kBandRows, static_cast<int>(width), pixels.data()};
  for (auto _ : state) {
    for (int top = 0; top < kRollHeight; top += kBandRows) drawRollBand(roll, top, band);
    benchmark::DoNotOptimize(pixels[0]);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_drawRoll200Blocks);

}  // namespace

SONAVEL_RATIO("roll200/view", "BM_drawRoll200Blocks", "BM_drawViewOfTheRollsBlocks");

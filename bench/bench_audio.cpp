// The audio thread's heaviest call: the buffer that completes a block, with its
// 2048-point spectrum, against the 11.61 ms that a buffer of 512 frames lasts.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "analysis/note_table.hpp"
#include "core/constants.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "audio/recording.hpp"
#include "ratio.hpp"

namespace {

constexpr double kBufferSeconds = kFramesPerBuffer / kSampleRate;

// A fresh record with its note table and recording, and the callbacks' shared state beside it.
struct Prepared {
  std::unique_ptr<TunerState> record = std::make_unique<TunerState>();  // large: kept off the stack
  std::unique_ptr<AudioShared> audio = std::make_unique<AudioShared>(*record);
  Prepared() {
    buildNoteTable(record->notes);
    allocateRecording(record->history);
  }
  ~Prepared() { freeRecording(record->history); }
};

std::vector<float> sineBuffer() {
  std::vector<float> samples(kFramesPerBuffer);
  for (int i = 0; i < kFramesPerBuffer; ++i) samples[i] = 0.5f * static_cast<float>(std::sin(0.0627 * i));
  return samples;
}

void BM_BlockCallback(benchmark::State& state) {
  Prepared prepared;
  TunerState& record = *prepared.record;
  AudioShared& audio = *prepared.audio;
  std::vector<float> in = sineBuffer(), out(kFramesPerBuffer);
  for (auto _ : state) {
    record.capture.fill = kBlockSize - kFramesPerBuffer;  // this buffer completes the block
    auto start = std::chrono::steady_clock::now();
    audioCallback(audio, in.data(), out.data(), kFramesPerBuffer);
    auto stop = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_BlockCallback)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A buffer that only captures and composes output, with the tone sounding: the other three of four.
void BM_ToneCallback(benchmark::State& state) {
  Prepared prepared;
  TunerState& record = *prepared.record;
  AudioShared& audio = *prepared.audio;
  record.playback.frozen = true;
  record.tone.key = 48;
  record.tone.held = true;
  std::vector<float> in = sineBuffer(), out(kFramesPerBuffer);
  for (auto _ : state) {
    record.capture.fill = 0;
    audioCallback(audio, in.data(), out.data(), kFramesPerBuffer);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ToneCallback)->Unit(benchmark::kMicrosecond);

// The real-time budget: one buffer period per iteration.
void BM_BufferPeriod(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(kBufferSeconds);
}
BENCHMARK(BM_BufferPeriod)->UseManualTime()->Unit(benchmark::kMicrosecond);

SONAVEL_RATIO("callback/period", "BM_BlockCallback/manual_time", "BM_BufferPeriod/manual_time");

}  // namespace

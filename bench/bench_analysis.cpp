// Analysis speed: the transform against FFTW on the same data, the block spectrum,
// note detection against its floor of 6912 cosines, and the precise detector, alone and with
// the note tracker behind it, against the design's on the same chord.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "analysis/detect.hpp"
#include "analysis/fft.hpp"
#include "analysis/note_table.hpp"
#include "analysis/note_tracker.hpp"
#include "analysis/precise_detector.hpp"
#include "analysis/spectrum.hpp"
#include "core/tuner_state.hpp"
#include "ratio.hpp"

namespace {

NoteDetection detection;  // the detectors' state beside the record, as the program keeps it

constexpr int kPoints = 2048;
constexpr int kLength = 2 * kPoints;  // doubles
constexpr int kDetectReads = 72 * 96;

std::vector<double> randomComplex() {
  std::mt19937 generator(42);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> data(kLength);
  for (double& v : data) v = uniform(generator);
  return data;
}

// Both transforms start every iteration from the same input, copied in the same way.
void BM_complexFft(benchmark::State& state) {
  const std::vector<double> input = randomComplex();
  alignas(64) static double data[kLength];
  int workArea[66] = {};
  alignas(64) static double twiddles[kLength / 4];
  std::memcpy(data, input.data(), sizeof data);
  complexFft(kLength, +1, data, workArea, twiddles);
  for (auto _ : state) {
    std::memcpy(data, input.data(), sizeof data);
    complexFft(kLength, +1, data, workArea, twiddles);
    benchmark::DoNotOptimize(data);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_complexFft);

void BM_fftwInPlace(benchmark::State& state) {
  const std::vector<double> input = randomComplex();
  auto* data = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * kPoints));
  // FFTW's backward direction is e^(+2 pi i jk/N), the same as sign +1 here.
  fftw_plan plan = fftw_plan_dft_1d(kPoints, data, data, FFTW_BACKWARD, FFTW_MEASURE);
  for (auto _ : state) {
    std::memcpy(data, input.data(), sizeof(double) * kLength);
    fftw_execute(plan);
    benchmark::DoNotOptimize(data);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
  fftw_free(data);
}
BENCHMARK(BM_fftwInPlace);

void prepareTone(TunerState& record) {
  buildNoteTable(record.notes);
  resetNoteDetection(record, detection);
  std::mt19937 generator(7);
  std::normal_distribution<double> noise(0.0, 0.002);
  for (int i = 0; i < kBlockSize; ++i)
    record.capture.block[i] = 0.02 * std::sin(2 * 3.14159265358979 * 440.0 * i / kSampleRate) +
                            0.01 * std::sin(2 * 3.14159265358979 * 659.3 * i / kSampleRate) + noise(generator);
  computeSpectrum(record.capture, record.handoff, record.capture.block, kBlockSize);
}

void BM_computeSpectrum(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  prepareTone(record);
  for (auto _ : state) {
    computeSpectrum(record.capture, record.handoff, record.capture.block, kBlockSize);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_computeSpectrum);

void BM_detectNotes(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  prepareTone(record);
  for (auto _ : state) {
    detectNotes(record, detection);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_detectNotes);

// The floor under detection: one cosine per spectrum read, over the same range of angles.
void BM_cosines(benchmark::State& state) {
  std::vector<double> angles(kDetectReads);
  for (int i = 0; i < kDetectReads; ++i) angles[i] = (i * 0.61803398875 - std::floor(i * 0.61803398875)) * 3.14159265;
  for (auto _ : state) {
    double sum = 0;
    for (double a : angles) sum += std::cos(a);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_cosines);

// A chord of three notes with ten decaying partials each, and a little hiss: a block of
// the kind the precise detector spends most on (many partials, several notes to name).
constexpr int kChordBlocks = 16;
std::vector<float> chordBlocks() {
  std::mt19937 generator(11);
  std::normal_distribution<double> noise(0.0, 0.0005);
  const double roots[] = {261.63, 329.63, 392.0};
  std::vector<float> samples(kChordBlocks * kBlockSize);
  for (int i = 0; i < static_cast<int>(samples.size()); ++i) {
    double v = noise(generator);
    for (double f : roots)
      for (int h = 1; h <= 10; ++h) v += 0.03 / h * std::sin(2 * 3.14159265358979 * f * h * i / kSampleRate);
    samples[i] = static_cast<float>(v);
  }
  return samples;
}

PreciseState preciseState;

void BM_preciseDetector(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  buildNoteTable(record.notes);
  resetPreciseDetector(preciseState);
  const std::vector<float> samples = chordBlocks();
  float column[kNoteRows];
  PitchReading reading;
  int block = 0;
  for (auto _ : state) {
    const PreciseInput input{samples.data() + block * kBlockSize, 1.0, record.notes.frequency + kNoteRowOffset};
    runPreciseDetector(input, preciseState, column, reading);
    benchmark::DoNotOptimize(column);
    block = (block + 1) % kChordBlocks;
  }
}
BENCHMARK(BM_preciseDetector);

NoteTrackerState trackerState;
NoteEvents trackerEvents;

// The precise detector and the note tracker behind it, as the notes output runs them.
void BM_preciseAndTracker(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  buildNoteTable(record.notes);
  resetPreciseDetector(preciseState);
  resetNoteTracker(trackerState);
  const std::vector<float> samples = chordBlocks();
  float column[kNoteRows];
  PitchReading reading;
  long long blocks = 0;
  for (auto _ : state) {
    const float* block = samples.data() + (blocks % kChordBlocks) * kBlockSize;
    const double* rows = record.notes.frequency + kNoteRowOffset;
    runPreciseDetector(PreciseInput{block, 1.0, rows}, preciseState, column, reading);
    trackNotes(NoteTrackerInput{column, &reading, block, rows, blocks * kBlockSize, false}, trackerState, trackerEvents);
    benchmark::DoNotOptimize(trackerEvents);
    ++blocks;
  }
}
BENCHMARK(BM_preciseAndTracker);

// The note tracker alone, on the detector's scores and readings of the same chord.
void BM_noteTracker(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  buildNoteTable(record.notes);
  resetPreciseDetector(preciseState);
  resetNoteTracker(trackerState);
  const std::vector<float> samples = chordBlocks();
  const double* rows = record.notes.frequency + kNoteRowOffset;
  std::vector<float> columns(kChordBlocks * kNoteRows);
  std::vector<PitchReading> readings(kChordBlocks);
  for (int b = 0; b < kChordBlocks; ++b)
    runPreciseDetector(PreciseInput{samples.data() + b * kBlockSize, 1.0, rows}, preciseState,
                       columns.data() + b * kNoteRows, readings[b]);
  long long blocks = 0;
  for (auto _ : state) {
    const int b = static_cast<int>(blocks % kChordBlocks);
    const NoteTrackerInput input{columns.data() + b * kNoteRows, &readings[b], samples.data() + b * kBlockSize, rows,
                                 blocks * kBlockSize, false};
    trackNotes(input, trackerState, trackerEvents);
    benchmark::DoNotOptimize(trackerEvents);
    ++blocks;
  }
}
BENCHMARK(BM_noteTracker);

// The design's detector on the spectrum of the same chord.
void BM_detectNotesChord(benchmark::State& state) {
  const auto held = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& record = *held;
  buildNoteTable(record.notes);
  resetNoteDetection(record, detection);
  const std::vector<float> samples = chordBlocks();
  for (int i = 0; i < kBlockSize; ++i) record.capture.block[i] = samples[i];
  computeSpectrum(record.capture, record.handoff, record.capture.block, kBlockSize);
  for (auto _ : state) {
    detectNotes(record, detection);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_detectNotesChord);

SONAVEL_RATIO("complexFft/fftw", "BM_complexFft", "BM_fftwInPlace");
SONAVEL_RATIO("precise/design", "BM_preciseDetector", "BM_detectNotesChord");
SONAVEL_RATIO("precise+tracker/design", "BM_preciseAndTracker", "BM_detectNotesChord");
SONAVEL_RATIO("tracker/design", "BM_noteTracker", "BM_detectNotesChord");
SONAVEL_RATIO("detectNotes/cosines", "BM_detectNotes", "BM_cosines");

}  // namespace

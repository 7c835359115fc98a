// Headless export speed: a `--scores` replay of generated input, in seconds of
// audio per second of replay, against the time the same audio lasts; and the same
// audio at 48 kHz, converted to 44.1 kHz as it is read, against it at 44.1 kHz.

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "core/tuner_state.hpp"
#include "app/replay.hpp"
#include "ratio.hpp"

namespace {

constexpr double kInputSeconds = 300.0;
constexpr int kConvertedRate = 48000;  // Hz: the commonest other rate

// A temporary folder holding the input, the font and the scores, entered for the replays.
class Workspace {
 public:
  Workspace() {
    dir_ = std::filesystem::temp_directory_path() / ("sonavel-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    std::error_code ignored;
    std::filesystem::copy_file(SONAVEL_FONT, dir_ / "font.tga", ignored);
    writeInputAt(kSampleRate, "input.wav");
    writeInputAt(kConvertedRate, "input48k.wav");
  }
  ~Workspace() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;

  // A tone at -30 dBFS over faint noise, as the live suite plays, at `rate` as a float WAV.
  void writeInputAt(int rate, const char* name) const {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path(name).c_str(), SFM_WRITE, &info);
    if (file == nullptr) return;
    std::mt19937 generator(3);
    std::normal_distribution<double> noise(0.0, 0.0005);
    std::vector<float> buffer(kFramesPerBuffer);
    const long long total = static_cast<long long>(kInputSeconds * rate);
    for (long long first = 0; first < total; first += kFramesPerBuffer) {
      for (int i = 0; i < kFramesPerBuffer; ++i) {
        const double t = static_cast<double>(first + i) / rate;
        buffer[i] = static_cast<float>(0.0316 * std::sin(2 * M_PI * 440.0 * t) + noise(generator));
      }
      sf_writef_float(file, buffer.data(), kFramesPerBuffer);
    }
    sf_close(file);
  }
};

void replayScores(benchmark::State& state, const char* input) {
  static Workspace workspace;
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(workspace.path(""));
  HeadlessOptions options;
  options.input = workspace.path(input);
  options.scoresPath = workspace.path("scores.csv");
  std::FILE* errors = std::fopen("/dev/null", "w");
  const auto record = std::make_unique<TunerState>();  // the run's own, as main gives it; large: off the stack
  for (auto _ : state) {
    if (runHeadless(*record, options, errors) != 0) state.SkipWithError("the replay failed");
  }
  std::fclose(errors);
  std::filesystem::current_path(before);
}

void BM_headlessScores(benchmark::State& state) { replayScores(state, "input.wav"); }
BENCHMARK(BM_headlessScores)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_headlessScores48k(benchmark::State& state) { replayScores(state, "input48k.wav"); }
BENCHMARK(BM_headlessScores48k)->Iterations(1)->Unit(benchmark::kMillisecond);

// The time the replayed audio lasts.
void BM_realtime(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(kInputSeconds);
}
BENCHMARK(BM_realtime)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Seconds of audio per second of replay.
SONAVEL_RATIO("headless/realtime", "BM_realtime/iterations:1/manual_time", "BM_headlessScores/iterations:1");
// What converting adds: at most 1.3 (the conversion at most 30 % of the run).
SONAVEL_RATIO("headless48k/headless44k", "BM_headlessScores48k/iterations:1", "BM_headlessScores/iterations:1");

}  // namespace

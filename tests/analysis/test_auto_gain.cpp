// Automatic gain: the control law on synthetic level steps, and the level it measures.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "analysis/auto_gain.hpp"
#include "analysis/note_table.hpp"
#include "analysis/spectrum.hpp"
#include "app/tuner_state.hpp"

namespace {

constexpr double kTwoDb = 1.2589254117941673;
constexpr int kBlocksPerSecond = 21;  // 44100 / 2048, rounded down

// Runs `blocks` blocks at `level`; returns the last gain.
double hold(AutoGain& state, double level, int blocks) {
  double gain = state.gain;
  for (int n = 0; n < blocks; ++n) gain = autoGainStep(state, level);
  return gain;
}

TEST(AutoGainLaw, SettlesToTheSameAnalysedLevelWhateverTheInputLevel) {
  // Levels from a quiet to a loud partial: once settled, gain x level is one value.
  double product = 0.0;
  for (double level : {3.0, 10.0, 30.0, 100.0, 300.0}) {
    AutoGain state;
    const double settled = hold(state, level, 3 * kBlocksPerSecond) * level;
    if (product == 0.0) product = settled;
    EXPECT_NEAR(settled, product, product * 1e-12) << level;
  }
}

TEST(AutoGainLaw, FallsAtOnceAndRisesTwoDecibelsABlock) {
  AutoGain state;
  const double quietGain = hold(state, 10.0, 3 * kBlocksPerSecond);
  // +20 dB: the very next gain is right.
  EXPECT_NEAR(autoGainStep(state, 100.0), quietGain / 10.0, 1e-12);
  // -20 dB: up by 2 dB a block, so back within ten blocks, well inside a second.
  double gain = state.gain;
  int blocks = 0;
  while (gain < quietGain * (1 - 1e-12) && blocks < kBlocksPerSecond) {
    const double next = autoGainStep(state, 10.0);
    EXPECT_LE(next, gain * kTwoDb * (1 + 1e-12));
    gain = next;
    ++blocks;
  }
  EXPECT_EQ(blocks, 10);
  EXPECT_NEAR(gain, quietGain, quietGain * 1e-12);
}

TEST(AutoGainLaw, HoldsThroughSilenceNoiseAndBrokenLevels) {
  AutoGain state;
  const double settled = hold(state, 20.0, 3 * kBlocksPerSecond);
  // Silence, a hiss far below any note, a NaN level: ten seconds of each leave the gain alone.
  for (double level : {0.0, 0.02, std::nan("")})
    EXPECT_EQ(hold(state, level, 10 * kBlocksPerSecond), settled) << level;
  // From the start, silence never raises the gain above 1.
  AutoGain fresh;
  EXPECT_EQ(hold(fresh, 0.0, 10 * kBlocksPerSecond), 1.0);
}

TEST(AutoGainLaw, StaysWithinItsRangeAndLeavesZero) {
  AutoGain state;
  const double quietest = hold(state, 0.11, 20 * kBlocksPerSecond);
  EXPECT_GT(quietest, 27.0);  // beyond the slider: a -40 dBFS piano needs it
  EXPECT_LE(quietest, 125.0);
  EXPECT_GT(hold(state, 1e9, 1), 0.0);
  AutoGain muted{0.0};  // started from --gain 0
  EXPECT_GT(hold(muted, 10.0, 5), 0.0);
}

TEST(AutoGainLevel, StrongestPartialInTheNoteRowsDividedByTheBlocksGain) {
  resetTunerState();
  buildNoteTable();
  static std::atomic<double> spectrum[kBlockSize];
  for (auto& entry : spectrum) entry.store(1.0);
  auto entryOf = [](double hz) { return static_cast<int>(hz * 2 * kBlockSize / kSampleRate); };
  spectrum[entryOf(440.0)].store(50.0);
  spectrum[entryOf(10.0)].store(900.0);    // below the lowest row's window: hum, not a note
  spectrum[entryOf(8000.0)].store(900.0);  // above the highest row's window
  EXPECT_DOUBLE_EQ(rawBandPeak(spectrum, tuner.noteFrequency, 1.0), 50.0);
  EXPECT_DOUBLE_EQ(rawBandPeak(spectrum, tuner.noteFrequency, 4.0), 12.5);
  EXPECT_EQ(rawBandPeak(spectrum, tuner.noteFrequency, 0.0), 0.0);  // a muted block says nothing
}

TEST(AutoGainLevel, ALoudAndAQuietSineEndAtTheSameAnalysedPeak) {
  resetTunerState();
  buildNoteTable();
  double analysed[2] = {};
  const double amplitudes[2] = {0.01, 0.9};  // -40 and -1 dBFS
  for (int k = 0; k < 2; ++k) {
    AutoGain state;
    double gain = 1.0;
    double block[kBlockSize];
    for (int n = 0; n < 3 * kBlocksPerSecond; ++n) {
      for (int i = 0; i < kBlockSize; ++i) block[i] = gain * amplitudes[k] * std::sin(2 * M_PI * 440.0 * i / kSampleRate);
      computeSpectrum(block, kBlockSize);
      gain = autoGainStep(state, rawBandPeak(tuner.spectrum, tuner.noteFrequency, gain));
    }
    analysed[k] = rawBandPeak(tuner.spectrum, tuner.noteFrequency, 1.0);
  }
  EXPECT_NEAR(analysed[0], analysed[1], analysed[1] * 1e-6);
}

}  // namespace

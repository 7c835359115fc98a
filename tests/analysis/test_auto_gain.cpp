// Automatic gain: the control law on synthetic level steps, and the level it measures.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>

#include "analysis/auto_gain.hpp"
#include "analysis/note_table.hpp"
#include "analysis/spectrum.hpp"
#include "core/tuner_state.hpp"
#include "test_record.hpp"

namespace {

constexpr double kRiseDb = 1.1885022274370185;     // +1.5 dB
constexpr double kSixteenDb = 6.309573444801933;
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

TEST(AutoGainLaw, FallsAtOnceAndClimbsBackWithinASecond) {
  AutoGain state;
  const double quietGain = hold(state, 10.0, 3 * kBlocksPerSecond);
  // +20 dB: the very next gain is right.
  EXPECT_NEAR(autoGainStep(state, 100.0), quietGain / 10.0, 1e-12);
  // -20 dB: at once to within 16 dB of the wanted gain, then up by 1.5 dB a block.
  double gain = autoGainStep(state, 10.0);
  EXPECT_NEAR(gain, quietGain / kSixteenDb * kRiseDb, quietGain * 1e-12);
  int blocks = 1;
  while (gain < quietGain * (1 - 1e-12) && blocks < kBlocksPerSecond) {
    const double next = autoGainStep(state, 10.0);
    EXPECT_LE(next, gain * kRiseDb * (1 + 1e-12));
    gain = next;
    ++blocks;
  }
  EXPECT_EQ(blocks, 11);  // 0.5 s
  EXPECT_NEAR(gain, quietGain, quietGain * 1e-12);
}

// Analysed level (gain x raw level) after 3 s of a level pattern: a held note that wobbles
// near its loudest is brought lower than a steady or decaying one.
TEST(AutoGainLaw, HeldNotesAreBroughtLowerThanStruckOnes) {
  struct Case {
    const char* name;
    double (*level)(int block);
    double analysed;
  };
  const Case cases[] = {
      {"steady", [](int) { return 100.0; }, 45.0},
      {"decaying 0.45 dB a block", [](int n) { return 1000.0 * std::pow(0.95, n); }, 45.0},
      {"wobbling by 1 dB", [](int n) { return n % 2 ? 112.0 : 100.0; }, 17.0},
      {"wobbling by 0.4 dB: not a rise", [](int n) { return n % 2 ? 104.0 : 100.0; }, 45.0},
      {"wobbling, 7 dB under its onset", [](int n) { return n == 0 ? 1000.0 : n % 2 ? 440.0 : 400.0; }, 45.0},
  };
  for (const Case& c : cases) {
    AutoGain state;
    double gain = 1.0, level = 0.0;
    for (int n = 0; n < 3 * kBlocksPerSecond; ++n) {
      level = c.level(n);
      gain = autoGainStep(state, level);
    }
    EXPECT_NEAR(gain * level, c.analysed, 1e-9) << c.name;
  }
}

TEST(AutoGainLaw, ANewNoteStartsAtTheStruckLevel) {
  AutoGain state;
  for (int n = 0; n < 3 * kBlocksPerSecond; ++n) autoGainStep(state, n % 2 ? 11.2 : 10.0);
  EXPECT_NEAR(state.gain * 10.0, 17.0, 1e-9);  // held, last at 10
  // A jump of more than 6 dB is a new note: nothing has risen in it yet.
  EXPECT_NEAR(autoGainStep(state, 100.0) * 100.0, 45.0, 1e-9);
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

using AutoGainLevel = WithRecord;

TEST_F(AutoGainLevel, StrongestPartialInTheNoteRowsDividedByTheBlocksGain) {
  buildNoteTable(tuner.notes);
  static std::atomic<double> spectrum[kBlockSize];
  for (auto& entry : spectrum) entry.store(1.0);
  auto entryOf = [](double hz) { return static_cast<int>(hz * 2 * kBlockSize / kSampleRate); };
  spectrum[entryOf(440.0)].store(50.0);
  spectrum[entryOf(10.0)].store(900.0);    // below the lowest row's window: hum, not a note
  spectrum[entryOf(8000.0)].store(900.0);  // above the highest row's window
  EXPECT_DOUBLE_EQ(rawBandPeak(spectrum, tuner.notes.frequency, 1.0), 50.0);
  EXPECT_DOUBLE_EQ(rawBandPeak(spectrum, tuner.notes.frequency, 4.0), 12.5);
  EXPECT_EQ(rawBandPeak(spectrum, tuner.notes.frequency, 0.0), 0.0);  // a muted block says nothing
}

TEST_F(AutoGainLevel, ALoudAndAQuietSineEndAtTheSameAnalysedPeak) {
  buildNoteTable(tuner.notes);
  double analysed[2] = {};
  const double amplitudes[2] = {0.01, 0.9};  // -40 and -1 dBFS
  for (int k = 0; k < 2; ++k) {
    AutoGain state;
    double gain = 1.0;
    double block[kBlockSize];
    for (int n = 0; n < 3 * kBlocksPerSecond; ++n) {
      for (int i = 0; i < kBlockSize; ++i) block[i] = gain * amplitudes[k] * std::sin(2 * std::numbers::pi * 440.0 * i / kSampleRate);
      computeSpectrum(tuner.capture, tuner.handoff, block, kBlockSize);
      gain = autoGainStep(state, rawBandPeak(tuner.handoff.spectrum, tuner.notes.frequency, gain));
    }
    analysed[k] = rawBandPeak(tuner.handoff.spectrum, tuner.notes.frequency, 1.0);
  }
  EXPECT_NEAR(analysed[0], analysed[1], analysed[1] * 1e-6);
}

}  // namespace

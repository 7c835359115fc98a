// The block spectrum: paired magnitudes, and reading it at fractional positions.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "analysis/round_half_even.hpp"
#include "analysis/spectrum.hpp"
#include "core/tuner_state.hpp"
#include "test_record.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;

class Spectrum : public WithRecord {
 protected:
  double entry(int i) { return tuner.handoff.spectrum[i].load(std::memory_order_relaxed); }

  void spectrumOf(const std::vector<double>& block) {
    freshRecord();
    computeSpectrum(tuner.capture, tuner.handoff, block.data(), kBlockSize);
  }

  // Entries that are not single-precision values, so that the rounding of `a` shows.
  void fillRamp() {
    freshRecord();
    for (int i = 0; i < kBlockSize; ++i) tuner.handoff.spectrum[i].store(1.0 + i * 0.1 + 1e-9 * i, std::memory_order_relaxed);
  }

  double blend(int idx, double t) {
    const double a = static_cast<float>(entry(idx)), b = entry(idx + 1);
    return a + (1 - std::cos(t * 3.14159265)) * 0.5 * (b - a);
  }
};

using ComputeSpectrum = Spectrum;
using SpectrumAt = Spectrum;
using ResolvedReads = Spectrum;

TEST_F(ComputeSpectrum, AllOnesPutsTheWholeBlockInTheFirstPair) {
  spectrumOf(std::vector<double>(kBlockSize, 1.0));
  EXPECT_NEAR(entry(0), 2048.0, 1e-9);
  EXPECT_NEAR(entry(1), 2048.0, 1e-9);
  for (int i = 2; i < kBlockSize; ++i) ASSERT_NEAR(entry(i), 0.0, 1e-9) << i;
}

TEST_F(ComputeSpectrum, ASineOnBinKFillsEntries2kAnd2kPlus1With1024TimesItsAmplitude) {
  for (int bin : {1, 20, 37, 511, 1023}) {
    const double amplitude = 0.37;
    std::vector<double> block(kBlockSize);
    for (int i = 0; i < kBlockSize; ++i) block[i] = amplitude * std::sin(2 * kPi * bin * i / kBlockSize);
    spectrumOf(block);
    EXPECT_NEAR(entry(2 * bin), 1024 * amplitude, 1e-9) << bin;
    EXPECT_EQ(entry(2 * bin), entry(2 * bin + 1)) << bin;
    for (int i = 0; i < kBlockSize; ++i) {
      if (i / 2 == bin) continue;
      ASSERT_NEAR(entry(i), 0.0, 1e-9) << "bin " << bin << " entry " << i;
    }
  }
}

TEST_F(ComputeSpectrum, LeavesMagnitudesInTheFrontHalfAndTheUpperTransformBehind) {
  std::vector<double> block(kBlockSize);
  for (int i = 0; i < kBlockSize; ++i) block[i] = std::cos(0.3 * i) + 0.25 * std::sin(1.7 * i + 0.2);
  spectrumOf(block);
  for (int i = 0; i < kBlockSize; ++i) ASSERT_EQ(tuner.capture.transform[i], entry(i)) << i;
  // A real block's transform is conjugate-symmetric: element N - k mirrors element k.
  for (int k = kBlockSize / 2 + 1; k < kBlockSize; ++k) {
    const double re = tuner.capture.transform[2 * k], im = tuner.capture.transform[2 * k + 1];
    ASSERT_NEAR(std::sqrt(re * re + im * im), entry(2 * (kBlockSize - k)), 1e-9) << k;
  }
}

TEST_F(ComputeSpectrum, RefusesACountThatDoesNotFitAndKeepsTheLastSpectrum) {
  spectrumOf(std::vector<double>(kBlockSize, 1.0));
  const std::vector<double> other(kBlockCapacity, 0.5);
  for (int count : {0, -4, 1000, kBlockCapacity}) computeSpectrum(tuner.capture, tuner.handoff, other.data(), count);
  EXPECT_NEAR(entry(0), 2048.0, 1e-9);
}

TEST_F(SpectrumAt, EvenPositionsGiveTheEntryInSinglePrecisionOddOnesTheFullEntry) {
  fillRamp();
  for (int j : {2, 100, 2046}) {
    EXPECT_EQ(spectrumAt(tuner.handoff, j), static_cast<double>(static_cast<float>(entry(j)))) << j;
    EXPECT_NE(spectrumAt(tuner.handoff, j), entry(j)) << j;
  }
  for (int j : {1, 3, 101, 2045, 2047}) EXPECT_DOUBLE_EQ(spectrumAt(tuner.handoff, j), entry(j)) << j;
}

TEST_F(SpectrumAt, BlendsNeighboursWithARaisedCosine) {
  fillRamp();
  struct Case {
    double x;
    int idx;
    double t;
  };
  const Case cases[] = {{0.2, 0, 0.2}, {0.5, 0, 0.5}, {40.75, 40, 0.75}, {41.25, 41, 0.25}, {2046.6, 2046, 0.6}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(spectrumAt(tuner.handoff, c.x), blend(c.idx, c.t)) << c.x;
  // Halfway between two entries the weight is one half, up to the shortened pi.
  EXPECT_NEAR(spectrumAt(tuner.handoff, 10.5), (static_cast<float>(entry(10)) + entry(11)) / 2, 1e-9);
}

TEST_F(SpectrumAt, ClampsOutsideTheSpectrumWithoutRounding) {
  fillRamp();
  const double inf = std::numeric_limits<double>::infinity();
  for (double x : {-0.0001, -0.2, -1.0, -1e12, -inf}) EXPECT_EQ(spectrumAt(tuner.handoff, x), entry(0)) << x;
  for (double x : {2047.0001, 2047.5, 2048.0, 1e12, inf}) EXPECT_EQ(spectrumAt(tuner.handoff, x), entry(kBlockSize - 1)) << x;
  EXPECT_EQ(spectrumAt(tuner.handoff, std::numeric_limits<double>::quiet_NaN()), entry(0));
}

// Serves the read positions (just below zero up to twice the block) and the picture's shades.
TEST(RoundHalfEven, AgreesWithTheDefaultRoundingModeFromBelowZeroToTheSpectrumsEnd) {
  for (int step = -3 * 16; step <= 2 * kBlockSize * 16; ++step) {
    const double value = step / 16.0;  // halves, quarters, eighths and sixteenths
    EXPECT_EQ(roundHalfEven(value), std::nearbyint(value)) << value;
  }
  EXPECT_EQ(roundHalfEven(12.5), 12.0);
  EXPECT_EQ(roundHalfEven(-1.5), -2.0);
  EXPECT_EQ(roundHalfEven(33.333332), 33.0);
}

// Resolved once, read many times: bit for bit what spectrumAt gives, on spectra of every
// kind (paired magnitudes, ragged values, zeros, infinities, NaN) and at positions across
// the whole range: integers, halves, detection-like fractions, both clamps.
TEST_F(ResolvedReads, GiveExactlySpectrumAtOnManySpectra) {
  std::mt19937 generator(12);
  std::uniform_real_distribution<double> magnitude(0.0, 50.0);
  std::uniform_real_distribution<double> position(-5.0, kBlockSize + 5.0);
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> positions = {-1.0, -0.5, 0.0, 0.2, 0.5, 1.0, 2046.6, 2047.0, 2047.5, 1e12, -1e12,
                                   std::numeric_limits<double>::quiet_NaN()};
  for (int j = 0; j < kBlockSize; ++j) {
    positions.push_back(j);
    positions.push_back(j + 0.5);
  }
  for (int i = 0; i < 4000; ++i) positions.push_back(position(generator));
  std::vector<SpectrumRead> reads;
  for (double x : positions) reads.push_back(resolveSpectrumRead(x));
  std::vector<double> values(positions.size());

  for (int spectrum = 0; spectrum < 40; ++spectrum) {
    freshRecord();
    for (int i = 0; i < kBlockSize; ++i) {
      const double v = spectrum % 2 == 0 ? magnitude(generator) : (i % 2 == 0 ? magnitude(generator) : entry(i - 1));
      tuner.handoff.spectrum[i].store(v, std::memory_order_relaxed);
    }
    if (spectrum == 3) tuner.handoff.spectrum[100].store(inf, std::memory_order_relaxed);
    if (spectrum == 5) tuner.handoff.spectrum[200].store(std::numeric_limits<double>::quiet_NaN(), std::memory_order_relaxed);
    if (spectrum == 7)
      for (int i = 0; i < kBlockSize; i += 3) tuner.handoff.spectrum[i].store(0.0, std::memory_order_relaxed);
    readSpectrumEach(tuner.handoff.spectrum, reads.data(), values.data(), static_cast<int>(reads.size()));
    for (size_t i = 0; i < positions.size(); ++i) {
      const double expected = spectrumAt(tuner.handoff, positions[i]);
      if (std::isnan(expected)) {
        ASSERT_TRUE(std::isnan(values[i])) << "spectrum " << spectrum << " x " << positions[i];
        continue;
      }
      ASSERT_EQ(std::memcmp(&values[i], &expected, sizeof expected), 0)
          << "spectrum " << spectrum << " x " << positions[i] << ": " << values[i] << " vs " << expected;
    }
  }
}

}  // namespace

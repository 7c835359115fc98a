// The complex transform against a long-double DFT, its tables, and its identities.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/fft.hpp"
#include "analysis/fft_avx2.hpp"
#include "analysis/fft_schedule.hpp"
#include "analysis/fft_steps.hpp"

namespace {

constexpr int kLongest = 16384;  // doubles
constexpr long double kTwoPi = 6.283185307179586476925286766559L;

struct Tables {
  std::vector<int> workArea = std::vector<int>(2 + 128, 0);
  std::vector<double> twiddles = std::vector<double>(kLongest / 4, 0.0);
};

std::vector<double> randomData(int length, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> data(length);
  for (double& v : data) v = uniform(generator);
  return data;
}

// X[k] = sum x[j] e^(+2 pi i jk/N) in long double, four bins per sweep over the data.
// Each bin's root is advanced by multiplication and reset from the table every 64
// points, which keeps it within a few long-double roundings of the tabulated value.
std::vector<std::complex<long double>> positiveDft(const std::vector<double>& x) {
  constexpr int kBins = 4, kReseed = 64;
  const int points = static_cast<int>(x.size()) / 2;
  std::vector<long double> rootRe(points), rootIm(points);
  for (int k = 0; k < points; ++k) {
    rootRe[k] = std::cos(kTwoPi * k / points);
    rootIm[k] = std::sin(kTwoPi * k / points);
  }
  std::vector<std::complex<long double>> out(points);
  for (int k0 = 0; k0 < points; k0 += kBins) {
    const int bins = std::min(kBins, points - k0);
    long double sumRe[kBins] = {}, sumIm[kBins] = {}, stepRe[kBins] = {}, stepIm[kBins] = {};
    for (int b = 0; b < kBins; ++b) {  // bins past the last wrap around and are dropped
      stepRe[b] = rootRe[(k0 + b) % points];
      stepIm[b] = rootIm[(k0 + b) % points];
    }
    for (int j0 = 0; j0 < points; j0 += kReseed) {
      long double pRe[kBins], pIm[kBins];
      for (int b = 0; b < kBins; ++b) {
        const int index = static_cast<int>((static_cast<long long>(j0) * (k0 + b)) % points);
        pRe[b] = rootRe[index];
        pIm[b] = rootIm[index];
      }
      for (int j = j0; j < std::min(points, j0 + kReseed); ++j) {
        const long double xr = x[2 * j], xi = x[2 * j + 1];
        for (int b = 0; b < kBins; ++b) {
          sumRe[b] += xr * pRe[b] - xi * pIm[b];
          sumIm[b] += xr * pIm[b] + xi * pRe[b];
          const long double re = pRe[b] * stepRe[b] - pIm[b] * stepIm[b];
          pIm[b] = pRe[b] * stepIm[b] + pIm[b] * stepRe[b];
          pRe[b] = re;
        }
      }
    }
    for (int b = 0; b < bins; ++b) out[k0 + b] = {sumRe[b], sumIm[b]};
  }
  return out;
}

double norm(const std::vector<double>& x) {
  double sum = 0;
  for (double v : x) sum += v * v;
  return std::sqrt(sum);
}

// Largest distance between the transform and the expected point values.
template <class Expected>
double largestError(const std::vector<double>& data, Expected expected) {
  double worst = 0;
  for (int k = 0; k < static_cast<int>(data.size()) / 2; ++k) {
    const std::complex<long double> want = expected(k);
    const double dr = static_cast<double>(data[2 * k] - want.real());
    const double di = static_cast<double>(data[2 * k + 1] - want.imag());
    worst = std::max(worst, std::hypot(dr, di));
  }
  return worst;
}

// Both the vector and the portable arithmetic, wherever the processor has the former.
TEST(ComplexFft, MatchesALongDoubleDftAtEveryLengthAndBothSigns) {
  for (int length = 4; length <= kLongest; length *= 2) {
    const std::vector<double> input = randomData(length, 1000u + length);
    const auto reference = positiveDft(input);
    const int points = length / 2;
    const double bound = 1e-12 * norm(input);
    for (bool vectors : {true, false}) {
      setFftVectorsEnabled(vectors);
      for (int sign : {+1, -1}) {
        Tables tables;
        std::vector<double> data = input;
        complexFft(length, sign, data.data(), tables.workArea.data(), tables.twiddles.data());
        // The - transform is the + transform read backwards from point 0.
        const double error = largestError(data, [&](int k) { return reference[sign > 0 ? k : (points - k) % points]; });
        EXPECT_LE(error, bound) << "length " << length << " sign " << sign << " vectors " << vectors;
      }
    }
  }
  setFftVectorsEnabled(true);
}

// The block length's leaves use only the 8-point kernels, whose two arithmetics round alike, so
// a processor without AVX2 scores every block exactly as one with it.
TEST(ComplexFft, BothArithmeticsAgreeBitForBitAtTheBlockLength) {
  for (int sign : {+1, -1}) {
    const std::vector<double> input = randomData(4096, 11u);
    std::vector<double> results[2];
    for (bool vectors : {true, false}) {
      setFftVectorsEnabled(vectors);
      Tables tables;
      results[vectors] = input;
      complexFft(4096, sign, results[vectors].data(), tables.workArea.data(), tables.twiddles.data());
    }
    EXPECT_EQ(std::memcmp(results[0].data(), results[1].data(), 4096 * sizeof(double)), 0) << "sign " << sign;
  }
  setFftVectorsEnabled(true);
}

// A pass of kind K splits its block into quarters of kinds even, odd, even and K.
Kind handedOut(int place, Kind splitKind) { return place == 1 ? Kind::odd : place == 3 ? splitKind : Kind::even; }

// The leaf order as data: each quarter passed once, each sixteenth finished by one kernel after
// its quarter's pass, every step of the kind its split hands out.
TEST(LeafSchedule, FinishesEverySixteenthOnceAfterItsQuartersPassWithTheKindHandedOut) {
  for (Kind leafKind : {Kind::even, Kind::odd}) {
    int passes[4] = {}, kernels[16] = {};
    for (const leaf::Step& step : leaf::kSteps) {
      const Kind kind = step.kind == leaf::Of::leaf ? leafKind : step.kind == leaf::Of::even ? Kind::even : Kind::odd;
      const int quarter = step.at / 4;
      if (step.op == leaf::Op::pass) {
        ASSERT_EQ(step.at % 4, 0);
        ++passes[quarter];
        EXPECT_EQ(kind, handedOut(quarter, leafKind)) << "pass " << quarter;
        continue;
      }
      EXPECT_EQ(passes[quarter], 1) << "kernel " << step.at;
      ++kernels[step.at];
      EXPECT_EQ(kind, handedOut(step.at % 4, handedOut(quarter, leafKind))) << "kernel " << step.at;
    }
    for (int q = 0; q < 4; ++q) EXPECT_EQ(passes[q], 1) << q;
    for (int k = 0; k < 16; ++k) EXPECT_EQ(kernels[k], 1) << k;
  }
}

TEST(ComplexFft, ImpulsesGiveConstantsAndRootsOfUnity) {
  for (int length = 4; length <= kLongest; length *= 4) {
    const int points = length / 2;
    for (int sign : {+1, -1}) {
      Tables tables;
      std::vector<double> atZero(length, 0.0), atOne(length, 0.0);
      atZero[0] = 1.0;
      atOne[2] = 1.0;
      complexFft(length, sign, atZero.data(), tables.workArea.data(), tables.twiddles.data());
      complexFft(length, sign, atOne.data(), tables.workArea.data(), tables.twiddles.data());
      EXPECT_LE(largestError(atZero, [](int) { return std::complex<long double>(1.0L, 0.0L); }), 1e-15) << length;
      const double error = largestError(atOne, [&](int k) { return std::polar(1.0L, sign * kTwoPi * k / points); });
      EXPECT_LE(error, 1e-14) << "length " << length << " sign " << sign;
    }
  }
}

TEST(ComplexFft, ForwardThenBackwardGivesNTimesTheInput) {
  for (int length : {4, 8, 16, 32, 64, 128, 256, 512, 1024, 4096, 16384}) {
    Tables tables;
    const std::vector<double> input = randomData(length, 7u);
    std::vector<double> data = input;
    complexFft(length, +1, data.data(), tables.workArea.data(), tables.twiddles.data());
    complexFft(length, -1, data.data(), tables.workArea.data(), tables.twiddles.data());
    const double points = length / 2;
    double worst = 0;
    for (int i = 0; i < length; ++i) worst = std::max(worst, std::abs(data[i] - points * input[i]));
    EXPECT_LE(worst, 1e-12 * points) << length;
  }
}

TEST(ComplexFft, LengthsBelowFourOrNotPowersOfTwoLeaveTheDataAlone) {
  for (int length : {2, 0, -8, 12, 100}) {
    Tables tables;
    std::vector<double> data(128, 0.25);
    complexFft(length, +1, data.data(), tables.workArea.data(), tables.twiddles.data());
    EXPECT_EQ(data, std::vector<double>(128, 0.25)) << length;
    EXPECT_EQ(tables.workArea[1], 0) << length;
  }
}

TEST(FftTables, AreBuiltOnceReusedForShorterLengthsAndRebuiltForLonger) {
  Tables tables;
  int* work = tables.workArea.data();
  double* w = tables.twiddles.data();
  std::vector<double> data = randomData(4096, 3u);
  complexFft(4096, +1, data.data(), work, w);
  EXPECT_EQ(work[0], 1024);
  EXPECT_EQ(work[1], 1);

  // A rebuild would set the flag again; the same and shorter lengths must not.
  work[1] = 0;
  const std::vector<double> built(w, w + 1024);
  data = randomData(4096, 4u);
  complexFft(4096, +1, data.data(), work, w);
  const std::vector<double> shortInput = randomData(1024, 5u);
  std::vector<double> shortData = shortInput;
  complexFft(1024, +1, shortData.data(), work, w);
  EXPECT_EQ(work[0], 1024);
  EXPECT_EQ(work[1], 0);
  EXPECT_EQ(std::vector<double>(w, w + 1024), built);
  const auto reference = positiveDft(shortInput);
  EXPECT_LE(largestError(shortData, [&](int k) { return reference[k]; }), 1e-12 * norm(shortInput));

  data = randomData(8192, 6u);
  complexFft(8192, +1, data.data(), work, w);
  EXPECT_EQ(work[0], 2048);
  EXPECT_EQ(work[1], 1);
}

TEST(FftTables, HoldHalvingBlocksCountedFromTheEnd) {
  Tables big, small;
  buildFftTables(2048, big.workArea.data(), big.twiddles.data());
  buildFftTables(1024, small.workArea.data(), small.twiddles.data());
  const double* w = big.twiddles.data();
  const double delta = std::atan(1.0) / 1024;
  EXPECT_EQ(w[0], 1.0);
  EXPECT_DOUBLE_EQ(w[1], std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(w[2], 0.5 / std::cos(2 * delta));
  EXPECT_DOUBLE_EQ(w[3], 0.5 / std::cos(6 * delta));
  EXPECT_DOUBLE_EQ(w[8], std::cos(8 * delta));
  EXPECT_DOUBLE_EQ(w[11], -std::sin(24 * delta));
  // Everything after the first block is the table for half the size.
  for (int i = 0; i < 1022; ++i) EXPECT_EQ(w[1024 + i], small.twiddles[i]) << i;
  // The four-entry block holds 1, cos pi/4, cos pi/8, sin pi/8.
  const double* block4 = w + 2048 - 8;
  EXPECT_EQ(block4[0], 1.0);
  EXPECT_DOUBLE_EQ(block4[2], std::cos(std::atan(1.0) / 2));
  EXPECT_DOUBLE_EQ(block4[3], std::sin(std::atan(1.0) / 2));
}

TEST(FftTables, BitReverseOffsetsFillEntriesTwoToThirtyOneFor1024) {
  std::vector<int> ip(66, -1);
  buildBitReverseTable(1024, ip.data());
  const int expected[] = {0, 16, 0, 64, 32, 96, 0, 256, 128, 384, 64, 320, 192, 448};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(ip[2 + i], expected[i]) << i;
  const int reverse4[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  for (int r = 0; r < 16; ++r) EXPECT_EQ(ip[16 + r], 128 * reverse4[r]) << r;
  EXPECT_EQ(ip[32], -1);
}

}  // namespace

// The partials picked from one Hann-windowed frame: where they lie, how loud they are, what is
// left out (silence, hiss, side lobes, the band's ends) and the index a search starts from.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/fft.hpp"
#include "analysis/spectral_peaks.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBinHz = kSampleRate / kPreciseWindow;  // 10.77 Hz

struct Sine {
  double hz;
  double amplitude;  // full scale 1
};

// Every frame carries hiss at -100 dBFS, as any recording does: a digital sine's rounding alone
// makes faint spurs, which are partials of their own.
constexpr double kDither = 1e-5;
// Hiss's own local maxima stand up to some 18 dB over the floor: a partial is any peak above this.
constexpr double kHissMostOverFloorDb = 20.0;

// One frame of sines and white noise peaking at `noise` through a periodic Hann window and the
// transform, then the peaks found in it.
struct Frame {
  double transform[2 * kPreciseWindow];
  int fftWorkArea[2 + 128] = {};
  double fftTwiddles[kPreciseWindow / 2];
  PeakWork work;
  PeakList peaks;

  const PeakList& of(const std::vector<Sine>& sines, double noise = kDither, unsigned seed = 1) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> hiss(-noise, noise);
    double windowSum = 0.0;
    for (int i = 0; i < kPreciseWindow; ++i) {
      const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / kPreciseWindow);
      windowSum += w;
      double v = noise > 0.0 ? hiss(generator) : 0.0;
      // A phase of its own for each sine, so that none is a special case of the window.
      for (const Sine& s : sines) v += s.amplitude * std::sin(2 * kPi * s.hz * i / kSampleRate + 0.7 * s.hz);
      transform[2 * i] = w * static_cast<float>(v);
      transform[2 * i + 1] = 0.0;
    }
    complexFft(2 * kPreciseWindow, -1, transform, fftWorkArea, fftTwiddles);
    findSpectralPeaks(transform, windowSum, work, peaks);
    return peaks;
  }
};

// The peaks that stand higher over the floor than hiss can.
std::vector<SpectralPeak> partials(const PeakList& peaks) {
  std::vector<SpectralPeak> clear;
  for (int i = 0; i < peaks.count; ++i)
    if (peaks.peaks[i].overFloor > kHissMostOverFloorDb) clear.push_back(peaks.peaks[i]);
  return clear;
}

// The peak nearest to `hz` among `found`, which must not be empty.
const SpectralPeak& nearest(const std::vector<SpectralPeak>& found, double hz) {
  size_t best = 0;
  for (size_t i = 1; i < found.size(); ++i)
    if (std::fabs(found[i].frequency - hz) < std::fabs(found[best].frequency - hz)) best = i;
  return found[best];
}

double dbOf(double ratio) { return 20.0 * std::log10(ratio); }

TEST(HannOffset, ReadsBackTheOffsetOfAnyLobeRatio) {
  // The ratio of the lobe's height one bin further on to its height here, for a sinusoid
  // `offset` bins above this bin: hannOffset must invert it, hannLobe must fall monotonically.
  double previous = 2.0;
  for (const double offset : {0.0, 0.1, 0.25, 0.4, 0.5, 0.6, 0.75, 0.9}) {
    const double ratio = hannLobe(1.0 - offset) / hannLobe(offset);
    EXPECT_NEAR(hannOffset(ratio), offset, 1e-9) << offset;
    EXPECT_LT(hannLobe(offset), previous) << offset;
    previous = hannLobe(offset);
  }
  EXPECT_NEAR(hannLobe(-0.3), hannLobe(0.3), 1e-15);
}

struct SineCase {
  double hz;
  const char* where;
};

TEST(FindSpectralPeaks, ALoneSineIsOnePeakAtItsFrequencyAndAmplitudeWhereverItFallsBetweenBins) {
  // Frequency within 0.03 bin (a third of a hertz: 1 cent at 550 Hz), amplitude within 1.5%.
  constexpr double kHzTolerance = 0.03 * kBinHz;
  constexpr double kAmplitudeTolerance = 0.015;
  const SineCase cases[] = {
      {40 * kBinHz, "on a bin"},          {40.25 * kBinHz, "a quarter bin up"}, {40.5 * kBinHz, "half-way"},
      {40.8 * kBinHz, "most of a bin up"}, {55.0, "the lowest row"},            {440.0, "A4"},
      {1234.5, "between rows"},           {3322.4, "the highest row"},         {7000.0, "a high partial"},
  };
  Frame frame;
  for (const double amplitude : {0.5, 0.001}) {
    for (const SineCase& c : cases) {
      const PeakList& peaks = frame.of({{c.hz, amplitude}});
      const std::vector<SpectralPeak> found = partials(peaks);
      ASSERT_EQ(found.size(), 1u) << c.where << " at " << amplitude;
      EXPECT_NEAR(found[0].frequency, c.hz, kHzTolerance) << c.where;
      EXPECT_NEAR(found[0].amplitude / amplitude, 1.0, kAmplitudeTolerance) << c.where;
      EXPECT_EQ(peaks.strongest, found[0].amplitude) << c.where;
      EXPECT_GT(found[0].overFloor, 40.0) << c.where;  // the sine stands 40 to 95 dB over the hiss
    }
  }
}

TEST(FindSpectralPeaks, SilenceHasNoPeaksAndHissOnlyFaintOnesWhateverItsLevel) {
  Frame frame;
  const PeakList& silence = frame.of({}, 0.0);
  EXPECT_EQ(silence.count, 0);
  EXPECT_EQ(silence.strongest, 0.0);
  // White noise's highest bins pass the floor's test now and then, only just: a dozen in a frame
  // at most, in the same places at any level.
  constexpr int kMostHissPeaks = 16;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::vector<double> quietest;
    for (const double hiss : {1e-6, 0.01, 0.9}) {  // quietest first
      const PeakList& peaks = frame.of({}, hiss, seed);
      EXPECT_LE(peaks.count, kMostHissPeaks) << "hiss " << hiss << " seed " << seed;
      EXPECT_TRUE(partials(peaks).empty()) << "hiss " << hiss << " seed " << seed;
      std::vector<double> at;
      for (int i = 0; i < peaks.count; ++i) at.push_back(peaks.peaks[i].frequency);
      if (hiss == 1e-6) quietest = at;
      ASSERT_EQ(at.size(), quietest.size()) << "hiss " << hiss << " seed " << seed;
      for (size_t i = 0; i < at.size(); ++i) EXPECT_NEAR(at[i], quietest[i], 1e-3) << "hiss " << hiss;
    }
  }
}

TEST(FindSpectralPeaks, ASineInHissStandsOverTheFloorByItsLevel) {
  // The same hiss under a sine 20 dB louder: the peak stands 20 dB further over the floor.
  Frame frame;
  const auto overFloor = [&](double amplitude) {
    const std::vector<SpectralPeak> found = partials(frame.of({{440.0, amplitude}}, 0.001));
    EXPECT_EQ(found.size(), 1u) << amplitude;
    return found.empty() ? 0.0 : found[0].overFloor;
  };
  const double quiet = overFloor(0.0003), loud = overFloor(0.003);
  EXPECT_NEAR(loud - quiet, 20.0, 1.0);
  // A third of the hiss's peak in amplitude, yet one bin holds it against the hiss's spread.
  EXPECT_GT(quiet, kHissMostOverFloorDb);
  // Buried in hiss as loud as itself, a sine's bin is no partial.
  const PeakList& buried = frame.of({{440.0, 0.001}}, 0.03);
  for (int i = 0; i < buried.count; ++i) EXPECT_GT(std::fabs(buried.peaks[i].frequency - 440.0), kBinHz);
}

struct EdgeCase {
  double hz;
  bool found;
};

TEST(FindSpectralPeaks, OnlyPartialsWithinTheSearchedBandAreFound) {
  // The band runs from under the lowest row's lowest candidate fundamental to the highest
  // partial looked at.
  const EdgeCase cases[] = {
      {15.0, false}, {21.0, false}, {43.0, true},  {60.0, true},
      {7900.0, true}, {7990.0, true}, {8050.0, false}, {9000.0, false}, {15000.0, false},
  };
  Frame frame;
  for (const EdgeCase& c : cases) {
    const std::vector<SpectralPeak> found = partials(frame.of({{c.hz, 0.5}}));
    ASSERT_EQ(found.size(), c.found ? 1u : 0u) << c.hz;
    if (c.found) {
      EXPECT_NEAR(found[0].frequency, c.hz, 0.05 * kBinHz) << c.hz;
    }
  }
}

TEST(FindSpectralPeaks, AHarmonicSeriesGivesEachPartialInAscendingOrder) {
  constexpr double kF0 = 130.81;  // C3
  std::vector<Sine> sines;
  for (int h = 1; h <= 12; ++h) sines.push_back({kF0 * h, 0.3 / h});
  Frame frame;
  const PeakList& peaks = frame.of(sines);
  const std::vector<SpectralPeak> found = partials(peaks);
  ASSERT_EQ(found.size(), 12u);
  for (int h = 1; h <= 12; ++h) {
    const SpectralPeak& p = found[h - 1];
    EXPECT_NEAR(p.frequency, kF0 * h, 0.05 * kBinHz) << h;
    EXPECT_NEAR(dbOf(p.amplitude / (0.3 / h)), 0.0, 0.2) << h;
  }
  EXPECT_NEAR(peaks.strongest, 0.3, 0.005);
}

struct NeighbourCase {
  double bins;     // from the strong sine
  double belowDb;  // the weak sine's level under it
  bool kept;
};

TEST(FindSpectralPeaks, AWeakSineBesideAStrongOneIsKeptOnlyWhenItStandsClearOfTheSideLobes) {
  // Within a few bins a sine must stand well over where the strong one's side lobes reach (a
  // moving partial's lobes rise high); further off, a sine far weaker is still a partial.
  constexpr double kStrongHz = 60.3 * kBinHz;
  const NeighbourCase cases[] = {
      {4.0, 20.0, true},  {4.0, 45.0, false},  {6.0, 30.0, true},   {6.0, 50.0, false},
      {-6.0, 30.0, true}, {-6.0, 50.0, false}, {20.0, 60.0, true}, {-20.0, 60.0, true},
  };
  Frame frame;
  for (const NeighbourCase& c : cases) {
    const double weakHz = kStrongHz + c.bins * kBinHz;
    const std::vector<SpectralPeak> found =
        partials(frame.of({{kStrongHz, 0.5}, {weakHz, 0.5 * std::pow(10.0, -c.belowDb / 20.0)}}));
    ASSERT_EQ(found.size(), c.kept ? 2u : 1u) << c.bins << " bins, " << c.belowDb << " dB under";
    EXPECT_NEAR(nearest(found, kStrongHz).frequency, kStrongHz, 0.05 * kBinHz);
    if (c.kept) {
      const SpectralPeak& weak = nearest(found, weakHz);
      EXPECT_NEAR(weak.frequency, weakHz, 0.1 * kBinHz) << c.bins << " bins, " << c.belowDb << " dB under";
      EXPECT_NEAR(dbOf(weak.amplitude / 0.5), -c.belowDb, 0.5) << c.bins << " bins, " << c.belowDb << " dB under";
    }
  }
}

TEST(FindSpectralPeaks, TheSearchIndexPointsAtTheFirstPeakAtOrAboveEachBin) {
  Frame frame;
  const PeakList& peaks = frame.of({{110.0, 0.2}, {523.25, 0.1}, {529.0 + 8 * kBinHz, 0.05}, {3000.0, 0.3}});
  ASSERT_EQ(partials(peaks).size(), 4u);
  for (int k = 0; k <= kPreciseBins; ++k) {
    int first = 0;
    while (first < peaks.count && peaks.peaks[first].frequency < k * kBinHz) ++first;
    ASSERT_EQ(peaks.firstFrom[k], first) << "bin " << k;
  }
  // With no peaks at all, every search starts past the end.
  const PeakList& none = frame.of({}, 0.0);
  for (int k = 0; k <= kPreciseBins; ++k) ASSERT_EQ(none.firstFrom[k], 0) << "bin " << k;
}

}  // namespace

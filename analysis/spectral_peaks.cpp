#include "analysis/spectral_peaks.hpp"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDbPerNeper = 8.685889638065035;   // 20 / ln 10
constexpr double kTiny = 1e-300;                     // keeps the logarithm of digital silence finite
constexpr double kBinHz = kSampleRate / kPreciseWindow;
constexpr int kFirstBin = 3;                         // 32 Hz: below the lowest row's lowest search
constexpr int kLastBin = static_cast<int>(kPreciseMaxPartialHz / kBinHz);
constexpr int kFloorReach = 24;                      // bins each side of the noise floor's geometric mean
constexpr int kFloorQuantilePercent = 25;            // the floor's quantile among the bins in reach
constexpr int kFloorStep = 16;                       // bins between two floor estimates
// A local maximum is a partial only this far above the floor: white noise's highest bin
// in a frame stands some 11 dB over its geometric mean.
constexpr double kPartialOverFloorDb = 13.0;
// Side lobes of a periodic Hann window: the lobe d bins from a peak stands about
// kFirstSideLobeDb - kSideLobeSlopeDb * log10(d / 2.5) below it. A weaker peak within
// kSideLobeMargin of that is taken for a lobe (a partial that moves has higher lobes).
constexpr double kFirstSideLobeDb = -31.5;
constexpr double kSideLobeSlopeDb = 60.0;
constexpr double kSideLobeMarginDb = 12.0;
constexpr int kSideLobeReach = 8;  // bins; beyond this a lobe is below any partial worth keeping

double sideLobeDb(double distance) { return kFirstSideLobeDb - kSideLobeSlopeDb * std::log10(distance / 2.5); }

struct RawPeak {
  int bin;
  double db;
};

}  // namespace

double hannOffset(double upperOverLower) { return (2.0 * upperOverLower - 1.0) / (upperOverLower + 1.0); }

double hannLobe(double offset) {
  const double d = std::fabs(offset);
  if (d < 1e-9) return 1.0;
  if (std::fabs(d - 1.0) < 1e-9) return 0.5;
  return std::fabs(std::sin(kPi * d) / (kPi * d) / (1.0 - d * d));
}

void findSpectralPeaks(const double* spectrum, double windowSum, PeakWork& work, PeakList& out) {
  out.count = 0;
  out.strongest = 0.0;
  constexpr int kEnd = kLastBin + kFloorReach + 1;
  static_assert(kEnd <= kPreciseBins, "the floor's reach must fit the bins kept");
  for (int k = 0; k < kEnd; ++k) {
    const double re = spectrum[2 * k], im = spectrum[2 * k + 1];
    work.magnitude[k] = std::sqrt(re * re + im * im);
    work.logMagnitude[k] = std::log(work.magnitude[k] + kTiny);
  }
  // The floor is a low quantile of the bins around: dense partials (a chord, a low note) leave
  // it in the valleys between them, where a mean would rise. It is taken every kFloorStep bins
  // and joined by straight lines (in logarithms) between.
  for (int k = 0; k < kEnd + kFloorStep; k += kFloorStep) {
    const int lo = std::max(0, k - kFloorReach), hi = std::min(kEnd - 1, k + kFloorReach);
    double around[2 * kFloorReach + 1];
    const int n = hi - lo + 1;
    std::copy(work.logMagnitude + lo, work.logMagnitude + hi + 1, around);
    const int quantile = n * kFloorQuantilePercent / 100;
    std::nth_element(around, around + quantile, around + n);
    work.floorAt[k / kFloorStep] = around[quantile];
  }
  RawPeak raw[kMostPeaks];
  double overFloor[kMostPeaks];
  int found = 0;
  const double* m = work.magnitude;
  for (int k = kFirstBin; k <= kLastBin && found < kMostPeaks; ++k) {
    if (!(m[k] > m[k - 1] && m[k] >= m[k + 1])) continue;
    const double along = static_cast<double>(k % kFloorStep) / kFloorStep;
    const double floorLog = (1.0 - along) * work.floorAt[k / kFloorStep] + along * work.floorAt[k / kFloorStep + 1];
    const double above = kDbPerNeper * (work.logMagnitude[k] - floorLog);
    if (above < kPartialOverFloorDb) continue;
    raw[found] = {k, kDbPerNeper * work.logMagnitude[k]};
    overFloor[found] = above;
    ++found;
  }
  for (int i = 0; i < found; ++i) {
    bool lobe = false;
    for (int j = i - 1; j >= 0 && raw[i].bin - raw[j].bin <= kSideLobeReach && !lobe; --j)
      lobe = raw[i].db < raw[j].db + sideLobeDb(raw[i].bin - raw[j].bin) + kSideLobeMarginDb;
    for (int j = i + 1; j < found && raw[j].bin - raw[i].bin <= kSideLobeReach && !lobe; ++j)
      lobe = raw[i].db < raw[j].db + sideLobeDb(raw[j].bin - raw[i].bin) + kSideLobeMarginDb;
    if (lobe) continue;
    const int k = raw[i].bin;
    const bool upper = m[k + 1] >= m[k - 1];
    // A lobe narrower than Hann's (a ratio under one half) is not a sinusoid's: taken as centred.
    const double offset = std::fmax(0.0, hannOffset((upper ? m[k + 1] : m[k - 1]) / m[k]));
    SpectralPeak& peak = out.peaks[out.count++];
    peak.frequency = (k + (upper ? offset : -offset)) * kBinHz;
    peak.amplitude = 2.0 * m[k] / (windowSum * hannLobe(offset));
    peak.overFloor = overFloor[i];
    if (peak.amplitude > out.strongest) out.strongest = peak.amplitude;
  }
  int next = 0;
  for (int k = 0; k <= kPreciseBins; ++k) {
    while (next < out.count && out.peaks[next].frequency < k * kBinHz) ++next;
    out.firstFrom[k] = static_cast<short>(next);
  }
}

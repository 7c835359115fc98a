#include "analysis/spectrum.hpp"

#include <cmath>

#include "analysis/fft.hpp"
#include "analysis/round_half_even.hpp"
#include "core/tuner_state.hpp"

namespace {

// Kept at eight decimals: the blend is defined with this value, not with the nearest double to pi.
constexpr double kBlendPi = 3.14159265;

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// x - 0.5 rounded to the nearest integer, ties to even. Positions far outside the spectrum
// are first pulled in to just outside it, and NaN to the low side, so the rounding stays
// exact and both clamps still apply.
inline double roundedIndex(double x) {
  constexpr double kLowest = -2.0, kHighest = 2.0 * kBlockSize;
  double v = x - 0.5;
  v = v > kLowest ? v : kLowest;
  v = v < kHighest ? v : kHighest;
  return roundHalfEven(v);
}

// Copies `count` real samples into `buffer` as complex values and transforms it in place.
void transformBlock(CaptureWork& work, const double* samples, double* buffer, int count) {
  for (int i = 0; i < count; ++i) {
    buffer[2 * i] = samples[i];
    buffer[2 * i + 1] = 0.0;
  }
  complexFft(2 * count, +1, buffer, work.fftWorkArea, work.fftTwiddles);
}

}  // namespace

void computeSpectrum(CaptureWork& work, BlockHandoff& handoff, const double* samples, int count) {
  // Runs in the audio callback, so a wrong count is refused quietly rather than reported.
  if (!isPowerOfTwo(count) || count < 2 || 2 * count > kBlockCapacity) return;
  double* buffer = work.transform;
  transformBlock(work, samples, buffer, count);
  // Bin k's magnitude fills entries 2k and 2k + 1; element k is not needed once it is read.
  for (int k = 0; k < count / 2; ++k) {
    const double re = buffer[2 * k], im = buffer[2 * k + 1];
    const double magnitude = std::sqrt(re * re + im * im);
    buffer[2 * k] = magnitude;
    buffer[2 * k + 1] = magnitude;
  }
  // The frame step reads the published copy while the next block is transformed.
  const int published = count < kBlockSize ? count : kBlockSize;
  for (int i = 0; i < published; ++i) handoff.spectrum[i].store(buffer[i], std::memory_order_relaxed);
}

double spectrumAt(const BlockHandoff& handoff, double x) {
  constexpr int last = kBlockSize - 1;
  // idx <= x <= idx + 1 for every x.
  const double rounded = roundedIndex(x);
  if (rounded >= 0.0 && rounded <= last - 1) [[likely]] {
    const int idx = static_cast<int>(rounded);
    const double a = static_cast<float>(handoff.spectrum[idx].load(std::memory_order_relaxed));
    const double b = handoff.spectrum[idx + 1].load(std::memory_order_relaxed);
    const double w = (1.0 - std::cos((x - rounded) * kBlendPi)) * 0.5;
    return a + w * (b - a);
  }
  const int edge = rounded > last - 1 ? last : 0;  // NaN reads the first entry
  return handoff.spectrum[edge].load(std::memory_order_relaxed);
}

SpectrumRead resolveSpectrumRead(double x) {
  constexpr int last = kBlockSize - 1;
  const double rounded = roundedIndex(x);
  if (rounded >= 0.0 && rounded <= last - 1) {
    const double t = x - rounded;
    return {static_cast<int>(rounded), false, (1.0 - std::cos(t * kBlendPi)) * 0.5};
  }
  return {rounded > last - 1 ? last : 0, true, 0.0};
}

void readSpectrumEach(const std::atomic<double>* spectrum, const SpectrumRead* reads, double* values, int count) {
  for (int i = 0; i < count; ++i) {
    const SpectrumRead& read = reads[i];
    const double first = spectrum[read.index].load(std::memory_order_relaxed);
    if (read.alone) [[unlikely]] {
      values[i] = first;
      continue;
    }
    const double a = static_cast<float>(first);
    const double b = spectrum[read.index + 1].load(std::memory_order_relaxed);
    values[i] = a + read.weight * (b - a);
  }
}

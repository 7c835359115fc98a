#include "analysis/spectrum.hpp"

#include <cmath>

#include "analysis/fft.hpp"
#include "app/tuner_state.hpp"

namespace {

// Kept at eight decimals: the blend is defined with this value, not with the nearest double to pi.
constexpr double kBlendPi = 3.14159265;

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

void transformBlock(const double* samples, double* buffer, int count) {
  for (int i = 0; i < count; ++i) {
    buffer[2 * i] = samples[i];
    buffer[2 * i + 1] = 0.0;
  }
  complexFft(2 * count, +1, buffer, tuner.fftWorkArea, tuner.fftTwiddles);
}

void computeSpectrum(const double* samples, int count) {
  // Runs in the audio callback, so a wrong count is refused quietly rather than reported.
  if (!isPowerOfTwo(count) || count < 2 || 2 * count > kBlockCapacity) return;
  double* buffer = tuner.transformBuffer;
  transformBlock(samples, buffer, count);
  // Bin k's magnitude fills entries 2k and 2k + 1; element k is not needed once it is read.
  for (int k = 0; k < count / 2; ++k) {
    const double re = buffer[2 * k], im = buffer[2 * k + 1];
    const double magnitude = std::sqrt(re * re + im * im);
    buffer[2 * k] = magnitude;
    buffer[2 * k + 1] = magnitude;
  }
  // The frame step reads the published copy while the next block is transformed.
  const int published = count < kBlockSize ? count : kBlockSize;
  for (int i = 0; i < published; ++i) tuner.spectrum[i].store(buffer[i], std::memory_order_relaxed);
}

double spectrumAt(double x) {
  constexpr int last = kBlockSize - 1;
  // x - 0.5 rounded to nearest, ties to even, so that idx <= x <= idx + 1.
  const double rounded = std::nearbyint(x - 0.5);
  if (!(rounded >= 0.0)) return tuner.spectrum[0].load(std::memory_order_relaxed);
  if (rounded > last - 1) return tuner.spectrum[last].load(std::memory_order_relaxed);
  const int idx = static_cast<int>(rounded);
  const double a = static_cast<float>(tuner.spectrum[idx].load(std::memory_order_relaxed));
  const double b = tuner.spectrum[idx + 1].load(std::memory_order_relaxed);
  const double t = x - idx;
  const double w = (1.0 - std::cos(t * kBlendPi)) * 0.5;
  return a + w * (b - a);
}

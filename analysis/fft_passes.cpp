// Radix-4 split passes over whole blocks, reading their twiddles from one table block.
//
// A table block of s doubles holds, in groups of four from entry 4t,
// cos, sin, cos 3, -sin 3 of the angle t pi / s; entry 1 is cos(pi/4), and
// entries 2, 3 are 0.5 / cos of one and three steps of the block below it.

#include "analysis/fft_avx2.hpp"
#include "analysis/fft_butterflies.hpp"
#include "analysis/fft_steps.hpp"

namespace {

using fft::Cx;

struct TwiddlePair {
  Cx w1, w3;
};

inline TwiddlePair group(const double* tw, int t) {
  const double* g = tw + 4 * t;
  return {{g[0], g[1]}, {g[2], -g[3]}};
}

// The plain pass over a whole transform, whose block holds only every second twiddle:
// odd ones are the mean of their neighbours over the cosine of one step.
template <bool Conjugate>
void firstPassOf(int n, double* a, const double* tw) {
  const int qd = n / 4;           // quarter, in doubles
  const int q = qd / 2;           // quarter, in points
  const double r45 = tw[1], csc1 = tw[2], csc3 = tw[3];
  const TwiddlePair middle{{r45, r45}, {-r45, r45}};
  auto groupAt = [&](int t) { return t == 0 ? TwiddlePair{fft::kOne, fft::kOne} : t == q / 4 ? middle : group(tw, t); };

  TwiddlePair lower = groupAt(0);
  fft::evenButterflyUnit<Conjugate>(a, qd);
  for (int t = 0; t < q / 4; ++t) {
    const TwiddlePair upper = groupAt(t + 1);
    const int even = 2 * t, odd = 2 * t + 1;
    if (t > 0) {
      fft::evenButterfly<Conjugate>(a + 2 * even, qd, lower.w1, lower.w3);
      fft::evenButterfly<Conjugate>(a + 2 * (q - even), qd, fft::mirror1(lower.w1), fft::mirror3(lower.w3));
    }
    const Cx w1 = (lower.w1 + upper.w1) * csc1, w3 = (lower.w3 + upper.w3) * csc3;
    fft::evenButterfly<Conjugate>(a + 2 * odd, qd, w1, w3);
    fft::evenButterfly<Conjugate>(a + 2 * (q - odd), qd, fft::mirror1(w1), fft::mirror3(w3));
    lower = upper;
  }
  fft::evenButterfly<Conjugate>(a + q, qd, middle.w1, middle.w3);
}

}  // namespace

void firstPass(int n, double* a, const double* tw) {
  if (fftHasAvx2()) firstPassAvx2(n, a, tw, false);
  else firstPassOf<false>(n, a, tw);
}

void firstPassConj(int n, double* a, const double* tw) {
  if (fftHasAvx2()) firstPassAvx2(n, a, tw, true);
  else firstPassOf<true>(n, a, tw);
}

void splitPassEven(int m, double* a, const double* tw) {
  if (fftHasAvx2()) return splitPassEvenAvx2(m, a, tw);
  const int qd = m / 4;
  const int q = qd / 2;
  const double r45 = tw[1];
  fft::evenButterflyUnit(a, qd);
  for (int t = 1; t < q / 2; ++t) {
    const TwiddlePair g = group(tw, t);
    fft::evenButterfly(a + 2 * t, qd, g.w1, g.w3);
    fft::evenButterfly(a + 2 * (q - t), qd, fft::mirror1(g.w1), fft::mirror3(g.w3));
  }
  fft::evenButterfly(a + q, qd, {r45, r45}, {-r45, r45});
}

void splitPassOdd(int m, double* a, const double* tw) {
  if (fftHasAvx2()) return splitPassOddAvx2(m, a, tw);
  const int qd = m / 4;
  const int q = qd / 2;
  const double r45 = tw[1];
  fft::oddButterflyUnit(a, qd, r45);
  for (int t = 1; t < q; ++t) {
    const TwiddlePair g = group(tw, t);
    fft::oddButterfly(a + 2 * t, qd, g.w1, g.w3, r45);
  }
}

// Passes and kernels on pairs of points: one __m256d holds points n and n + 1.

#include "analysis/fft_avx2.hpp"

#include <immintrin.h>

#define SONAVEL_AVX2 __attribute__((target("avx2")))
#define SONAVEL_INLINE static inline __attribute__((always_inline, target("avx2")))

namespace {

using V = __m256d;
using H = __m128d;

// Point-wise complex helpers. "swap" exchanges re and im inside each point.
SONAVEL_AVX2 inline V swapReIm(V x) { return _mm256_permute_pd(x, 0x5); }
SONAVEL_AVX2 inline V negateIm(V x) { return _mm256_xor_pd(x, _mm256_setr_pd(0.0, -0.0, 0.0, -0.0)); }
SONAVEL_AVX2 inline V pair(H lo, H hi) { return _mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1); }
SONAVEL_AVX2 inline V load(const double* p) { return _mm256_loadu_pd(p); }
SONAVEL_AVX2 inline void store(double* p, V x) { _mm256_storeu_pd(p, x); }

SONAVEL_AVX2 inline V cmul(V x, V w) {
  const V re = _mm256_movedup_pd(w), im = _mm256_permute_pd(w, 0xF);
  return _mm256_addsub_pd(_mm256_mul_pd(x, re), _mm256_mul_pd(swapReIm(x), im));
}

// x + i y and x - i y.
SONAVEL_AVX2 inline void plusMinusI(V x, V y, V& plus, V& minus) {
  const V ys = swapReIm(y);
  const V sum = _mm256_add_pd(x, ys), difference = _mm256_sub_pd(x, ys);
  plus = _mm256_blend_pd(difference, sum, 0b1010);
  minus = _mm256_blend_pd(sum, difference, 0b1010);
}

// z e^(i pi/4) and z e^(i 3pi/4), with r = cos(pi/4).
SONAVEL_AVX2 inline V timesW8(V z, V r) {
  const V zs = swapReIm(z);
  return _mm256_mul_pd(_mm256_blend_pd(_mm256_sub_pd(z, zs), _mm256_add_pd(z, zs), 0b1010), r);
}
SONAVEL_AVX2 inline V timesW8Cubed(V z, V negativeR) {
  const V zs = swapReIm(z);
  return _mm256_mul_pd(_mm256_blend_pd(_mm256_add_pd(z, zs), _mm256_sub_pd(z, zs), 0b1010), negativeR);
}

// The first pass of the backward transform reads the conjugate of its input.
template <bool Conjugate>
SONAVEL_AVX2 inline V loadInput(const double* p) {
  if constexpr (Conjugate) return negateIm(load(p));
  else return load(p);
}

// The four quarters' values at one offset.
struct Quad {
  V a, b, c, d;
};

// Both butterflies before their output twiddles, as in fft_butterflies.hpp.
SONAVEL_AVX2 inline Quad evenValues(Quad q) {
  const V s0 = _mm256_add_pd(q.a, q.c), s1 = _mm256_add_pd(q.b, q.d);
  V plus, minus;
  plusMinusI(_mm256_sub_pd(q.a, q.c), _mm256_sub_pd(q.b, q.d), plus, minus);
  return {_mm256_add_pd(s0, s1), _mm256_sub_pd(s0, s1), plus, minus};
}

SONAVEL_AVX2 inline Quad oddValues(Quad q, V r, V negativeR) {
  V u, v, bd1, bd2;
  plusMinusI(q.a, q.c, u, v);
  plusMinusI(q.b, q.d, bd1, bd2);
  const V x = timesW8(bd1, r), y = timesW8Cubed(bd2, negativeR);
  return {_mm256_add_pd(u, x), _mm256_sub_pd(u, x), _mm256_add_pd(v, y), _mm256_sub_pd(v, y)};
}

// Quarters at p, p + qd, p + 2qd, p + 3qd (qd in doubles).
template <bool Conjugate = false>
SONAVEL_AVX2 inline Quad loadQuarters(const double* p, int qd) {
  return {loadInput<Conjugate>(p), loadInput<Conjugate>(p + qd), loadInput<Conjugate>(p + 2 * qd),
          loadInput<Conjugate>(p + 3 * qd)};
}

SONAVEL_AVX2 inline void storeQuarters(double* p, int qd, Quad q) {
  store(p, q.a);
  store(p + qd, q.b);
  store(p + 2 * qd, q.c);
  store(p + 3 * qd, q.d);
}

template <bool Conjugate = false>
SONAVEL_AVX2 inline void evenButterfly(double* p, int qd, V w1, V w3) {
  const Quad q = evenValues(loadQuarters<Conjugate>(p, qd));
  storeQuarters(p, qd, {q.a, q.b, cmul(q.c, w1), cmul(q.d, w3)});
}

SONAVEL_AVX2 inline void oddButterfly(double* p, int qd, V w1, V w3, V r, V negativeR) {
  const Quad q = oddValues(loadQuarters(p, qd), r, negativeR);
  storeQuarters(p, qd, {cmul(q.a, w1), cmul(q.b, w1), cmul(q.c, w3), cmul(q.d, w3)});
}

// Table groups: (cos, sin) at g, (cos 3, -sin 3) at g + 2.
SONAVEL_AVX2 inline H cosSin(const double* g) { return _mm_loadu_pd(g); }
SONAVEL_AVX2 inline H cosSin3Stored(const double* g) { return _mm_loadu_pd(g + 2); }

// Twiddles of the mirrored points: e^(i pi/2) conj(w) and e^(-i pi/2) conj(w3).
SONAVEL_AVX2 inline V mirror1(V w) { return swapReIm(w); }
SONAVEL_AVX2 inline V mirror3FromStored(V stored) { return negateIm(swapReIm(stored)); }

template <bool Conjugate>
SONAVEL_AVX2 void firstPassOf(int n, double* a, const double* tw) {
  const int qd = n / 4, q = qd / 2, groups = q / 4;
  const double r45 = tw[1];
  const H csc1 = _mm_set1_pd(tw[2]), csc3 = _mm_set1_pd(tw[3]);
  // Group t: w(2t) and the stored conj(w3(2t)); group 0 is one, group q/4 is e^(i pi/4).
  H lower1 = _mm_setr_pd(1.0, 0.0), lower3 = _mm_setr_pd(1.0, 0.0);
  for (int t = 0; t < groups; ++t) {
    H upper1, upper3;
    if (t + 1 < groups) {
      upper1 = cosSin(tw + 4 * (t + 1));
      upper3 = cosSin3Stored(tw + 4 * (t + 1));
    } else {
      upper1 = _mm_setr_pd(r45, r45);
      upper3 = _mm_setr_pd(-r45, -r45);
    }
    const H odd1 = _mm_mul_pd(_mm_add_pd(lower1, upper1), csc1);
    const H odd3 = _mm_mul_pd(_mm_add_pd(lower3, upper3), csc3);
    // Points 2t, 2t + 1, and their mirrors q - 2t - 2, q - 2t - 1.
    evenButterfly<Conjugate>(a + 4 * t, qd, pair(lower1, odd1), negateIm(pair(lower3, odd3)));
    evenButterfly<Conjugate>(a + 2 * (q - 2 * t - 2), qd, mirror1(pair(upper1, odd1)),
                               mirror3FromStored(pair(upper3, odd3)));
    lower1 = upper1;
    lower3 = upper3;
  }
}

}  // namespace

namespace {
bool vectorsEnabled = true;
}  // namespace

bool fftHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && vectorsEnabled;
}

void setFftVectorsEnabled(bool enabled) { vectorsEnabled = enabled; }

SONAVEL_AVX2 void firstPassAvx2(int n, double* a, const double* tw, bool conjugate) {
  if (conjugate) firstPassOf<true>(n, a, tw);
  else firstPassOf<false>(n, a, tw);
}

SONAVEL_INLINE void splitPassEvenBody(int m, double* a, const double* tw) {
  const int qd = m / 4, q = qd / 2, half = q / 2;
  const double r45 = tw[1];
  const H one = _mm_setr_pd(1.0, 0.0);
  const H middle1 = _mm_setr_pd(r45, r45), middle3 = _mm_setr_pd(-r45, -r45);
  for (int p = 0; 2 * p < half; ++p) {
    const int t = 2 * p;
    // Low pair: points t, t + 1 read groups t, t + 1.
    const H lo1 = t == 0 ? one : cosSin(tw + 4 * t), lo3 = t == 0 ? one : cosSin3Stored(tw + 4 * t);
    const H mid1 = cosSin(tw + 4 * (t + 1)), mid3 = cosSin3Stored(tw + 4 * (t + 1));
    evenButterfly(a + 2 * t, qd, pair(lo1, mid1), negateIm(pair(lo3, mid3)));
    // High pair: points q - t - 2, q - t - 1 mirror groups t + 2, t + 1.
    const bool atMiddle = t + 2 == half;
    const H hi1 = atMiddle ? middle1 : cosSin(tw + 4 * (t + 2));
    const H hi3 = atMiddle ? middle3 : cosSin3Stored(tw + 4 * (t + 2));
    evenButterfly(a + 2 * (q - t - 2), qd, mirror1(pair(hi1, mid1)), mirror3FromStored(pair(hi3, mid3)));
  }
}

SONAVEL_INLINE void splitPassOddBody(int m, double* a, const double* tw) {
  const int qd = m / 4, q = qd / 2;
  const V r = _mm256_set1_pd(tw[1]), negativeR = _mm256_set1_pd(-tw[1]);
  const H one = _mm_setr_pd(1.0, 0.0);
  oddButterfly(a, qd, pair(one, cosSin(tw + 4)), negateIm(pair(one, cosSin3Stored(tw + 4))), r, negativeR);
  for (int t = 2; t < q; t += 2) {
    const V w1 = pair(cosSin(tw + 4 * t), cosSin(tw + 4 * t + 4));
    const V w3 = negateIm(pair(cosSin3Stored(tw + 4 * t), cosSin3Stored(tw + 4 * t + 4)));
    oddButterfly(a + 2 * t, qd, w1, w3, r, negativeR);
  }
}

namespace {

// Two points [x0, x1] to [x0 + x1, x0 - x1], and to [x0 + i x1, x0 - i x1].
SONAVEL_AVX2 inline V even2(V v) {
  const V swapped = _mm256_permute2f128_pd(v, v, 1);
  return _mm256_blend_pd(_mm256_add_pd(v, swapped), _mm256_sub_pd(swapped, v), 0b1100);
}
SONAVEL_AVX2 inline V odd2(V v) {
  const V first = _mm256_permute2f128_pd(v, v, 0x00), second = _mm256_permute2f128_pd(v, v, 0x11);
  const V ss = swapReIm(second);
  return _mm256_blend_pd(_mm256_sub_pd(first, ss), _mm256_add_pd(first, ss), 0b0110);
}

// Four points in two vectors, plain and odd kind, bit-reversed output.
SONAVEL_AVX2 inline void even4(V& v0, V& v1) {
  const V sum = _mm256_add_pd(v0, v1), difference = _mm256_sub_pd(v0, v1);
  v0 = even2(sum);
  v1 = odd2(difference);
}
SONAVEL_AVX2 inline void odd4(V& v0, V& v1, V lane1W8, V lane1W8Cubed) {
  V plus, minus;
  plusMinusI(v0, v1, plus, minus);
  v0 = even2(cmul(plus, lane1W8));
  v1 = even2(cmul(minus, lane1W8Cubed));
}

// Points x[k], x[k + quarter], x[k + 2 quarter], x[k + 3 quarter] as the quarters of a butterfly.
SONAVEL_AVX2 inline Quad gather(const V* x, int quarter) { return {x[0], x[quarter], x[2 * quarter], x[3 * quarter]}; }

SONAVEL_AVX2 inline void scatter(V* x, int quarter, Quad q) {
  x[0] = q.a;
  x[quarter] = q.b;
  x[2 * quarter] = q.c;
  x[3 * quarter] = q.d;
}

// The butterflies of one kind over 4 x quarter vectors held in x.
template <Kind K>
SONAVEL_AVX2 inline void stage(V* x, int quarter, const V* w1, const V* w3, double r) {
  for (int k = 0; k < quarter; ++k) {
    if constexpr (K == Kind::even) {
      const Quad q = evenValues(gather(x + k, quarter));
      scatter(x + k, quarter, {q.a, q.b, cmul(q.c, w1[k]), cmul(q.d, w3[k])});
    } else {
      const Quad q = oddValues(gather(x + k, quarter), _mm256_set1_pd(r), _mm256_set1_pd(-r));
      scatter(x + k, quarter, {cmul(q.a, w1[k]), cmul(q.b, w1[k]), cmul(q.c, w3[k]), cmul(q.d, w3[k])});
    }
  }
}

}  // namespace

// A kernel of 8 points in four vectors, or 16 in eight: the butterflies of its kind, then the
// quarters they hand out (even, odd, even and the kernel's own kind) finished in place.
template <Kind K>
SONAVEL_INLINE void kernel8Body(double* a, V w1, V w3, double r) {
  V x[4] = {load(a), load(a + 4), load(a + 8), load(a + 12)};
  stage<K>(x, 1, &w1, &w3, r);
  store(a, even2(x[0]));
  store(a + 4, odd2(x[1]));
  store(a + 8, even2(x[2]));
  store(a + 12, K == Kind::even ? even2(x[3]) : odd2(x[3]));
}

template <Kind K>
SONAVEL_INLINE void kernel16Body(double* a, const V* w1, const V* w3, double r) {
  const V w8 = _mm256_setr_pd(1.0, 0.0, r, r), w8Cubed = _mm256_setr_pd(1.0, 0.0, -r, r);
  V x[8];
  for (int k = 0; k < 8; ++k) x[k] = load(a + 4 * k);
  stage<K>(x, 2, w1, w3, r);
  even4(x[0], x[1]);
  odd4(x[2], x[3], w8, w8Cubed);
  even4(x[4], x[5]);
  if constexpr (K == Kind::even) even4(x[6], x[7]);
  else odd4(x[6], x[7], w8, w8Cubed);
  for (int k = 0; k < 8; ++k) store(a + 4 * k, x[k]);
}

SONAVEL_INLINE void kernel8EvenBody(double* a, const double* tw) {
  const double r = tw[1];
  kernel8Body<Kind::even>(a, _mm256_setr_pd(1.0, 0.0, r, r), _mm256_setr_pd(1.0, 0.0, -r, r), r);
}

SONAVEL_INLINE void kernel8OddBody(double* a, const double* tw) {
  const double r = tw[1], c = tw[2], s = tw[3];
  kernel8Body<Kind::odd>(a, _mm256_setr_pd(1.0, 0.0, c, s), _mm256_setr_pd(1.0, 0.0, s, c), r);
}

SONAVEL_INLINE void kernel16EvenBody(double* a, const double* tw) {
  const double r = tw[1], c = tw[2], s = tw[3];
  const V w1[2] = {_mm256_setr_pd(1.0, 0.0, c, s), _mm256_setr_pd(r, r, s, c)};
  const V w3[2] = {_mm256_setr_pd(1.0, 0.0, s, c), _mm256_setr_pd(-r, r, -c, -s)};
  kernel16Body<Kind::even>(a, w1, w3, r);
}

SONAVEL_INLINE void kernel16OddBody(double* a, const double* tw) {
  const double r = tw[1];
  const double c1 = tw[4], s1 = tw[5], c3 = tw[6], s3 = -tw[7], c2 = tw[8], s2 = tw[9];
  const V w1[2] = {_mm256_setr_pd(1.0, 0.0, c1, s1), _mm256_setr_pd(c2, s2, c3, s3)};
  const V w3[2] = {_mm256_setr_pd(1.0, 0.0, c3, s3), _mm256_setr_pd(s2, c2, -s1, c1)};
  kernel16Body<Kind::odd>(a, w1, w3, r);
}

SONAVEL_AVX2 void splitPassEvenAvx2(int m, double* a, const double* tw) { splitPassEvenBody(m, a, tw); }
SONAVEL_AVX2 void splitPassOddAvx2(int m, double* a, const double* tw) { splitPassOddBody(m, a, tw); }
SONAVEL_AVX2 void kernel8EvenAvx2(double* a, const double* tw) { kernel8EvenBody(a, tw); }
SONAVEL_AVX2 void kernel8OddAvx2(double* a, const double* tw) { kernel8OddBody(a, tw); }
SONAVEL_AVX2 void kernel16EvenAvx2(double* a, const double* tw) { kernel16EvenBody(a, tw); }
SONAVEL_AVX2 void kernel16OddAvx2(double* a, const double* tw) { kernel16OddBody(a, tw); }

namespace {

struct VectorPath {
  template <Kind K>
  SONAVEL_AVX2 static inline void pass(int m, double* a, const double* tw) {
    if constexpr (K == Kind::even) splitPassEvenBody(m, a, tw);
    else splitPassOddBody(m, a, tw);
  }
  template <Kind K, int Length>
  SONAVEL_AVX2 static inline void kernel(double* a, const double* tw) {
    if constexpr (Length == 32) K == Kind::even ? kernel16EvenBody(a, tw) : kernel16OddBody(a, tw);
    else K == Kind::even ? kernel8EvenBody(a, tw) : kernel8OddBody(a, tw);
  }
};

}  // namespace

// Flattened so that every pass and kernel of the leaf is inlined into one function.
__attribute__((flatten, target("avx2"))) void leafBlockAvx2(int m, Kind kind, double* a, const double* twiddleEnd) {
  if (m == 512) leaf::walk<VectorPath, 512>(leaf::AllSteps{}, kind, a, twiddleEnd);
  else leaf::walk<VectorPath, 256>(leaf::AllSteps{}, kind, a, twiddleEnd);
}

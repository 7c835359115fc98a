// Output permutations: bit-reversed order back to natural order.

#include <emmintrin.h>

#include "analysis/fft_steps.hpp"

namespace {

constexpr int kReverse4[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
constexpr int kReverse3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

int log2Of(int n) {
  int bits = 0;
  while ((1 << bits) < n) ++bits;
  return bits;
}

inline void swapPoints(double* a, int k, int r) {
  const __m128d x = _mm_loadu_pd(a + k), y = _mm_loadu_pd(a + r);
  _mm_storeu_pd(a + k, y);
  _mm_storeu_pd(a + r, x);
}

inline __m128d conjugated(__m128d x) { return _mm_xor_pd(x, _mm_setr_pd(0.0, -0.0)); }

inline void swapPointsConj(double* a, int k, int r) {
  const __m128d x = _mm_loadu_pd(a + k), y = _mm_loadu_pd(a + r);
  _mm_storeu_pd(a + k, conjugated(y));
  _mm_storeu_pd(a + r, conjugated(x));
}

// A point index of L bits is split high | middle | low with b bits at each end, and
// reversed as reverse(low) | reverse(middle) | reverse(high). Level b of the work-area
// table holds the b-bit reversals scaled by 2^(b+3). Offsets below are in doubles.
template <bool Conjugate>
void bitReverseOf(int n, const int* ip, double* a) {
  const int bits = log2Of(n / 2);
  const int tableBits = bits - 1;  // log2 of the twiddle count a table for this length has
  const int b = tableBits <= 5 ? 1 : 1 + (tableBits - 4) / 2;
  const int middleBits = bits - 2 * b;
  const int* reversed = ip + (1 << b);
  const int ends = 1 << b, middles = 1 << middleBits;
  int fromMiddle[16], toMiddle[16];
  for (int mid = 0; mid < middles; ++mid) {
    fromMiddle[mid] = mid << (b + 1);
    toMiddle[mid] = (kReverse4[mid] >> (4 - middleBits)) << (b + 1);
  }
  // Each (high, low) block trades places with (reverse(low), reverse(high)) as a whole;
  // a block that maps to itself only swaps its middles.
  for (int high = 0; high < ends; ++high) {
    const int reversedHigh = reversed[high] >> (b + 3);
    for (int low = 0; low < ends; ++low) {
      const int reversedLow = reversed[low] >> (b + 3);
      const int block = high * ends + low, partner = reversedLow * ends + reversedHigh;
      if (block > partner) continue;
      const int from = (high << (bits - b + 1)) | (low << 1);
      const int to = (reversed[low] << (middleBits - 2)) | (reversedHigh << 1);
      if (block < partner) {
        for (int mid = 0; mid < middles; ++mid) {
          if constexpr (Conjugate) swapPointsConj(a, from | fromMiddle[mid], to | toMiddle[mid]);
          else swapPoints(a, from | fromMiddle[mid], to | toMiddle[mid]);
        }
        continue;
      }
      for (int mid = 0; mid < middles; ++mid) {
        const int k = from | fromMiddle[mid], r = to | toMiddle[mid];
        if (k < r) {
          if constexpr (Conjugate) swapPointsConj(a, k, r);
          else swapPoints(a, k, r);
        } else if (Conjugate && k == r) {
          _mm_storeu_pd(a + k, conjugated(_mm_loadu_pd(a + k)));
        }
      }
    }
  }
}

// out[p] = in[order[p]] for a small fixed block.
template <int Points>
void gatherPoints(double* a, const int* order) {
  double copy[2 * Points];
  for (int k = 0; k < 2 * Points; ++k) copy[k] = a[k];
  for (int p = 0; p < Points; ++p) {
    a[2 * p] = copy[2 * order[p]];
    a[2 * p + 1] = copy[2 * order[p] + 1];
  }
}

// Bit reversal composed with k -> (N - k) mod N, which turns the + transform into the - one.
template <int Points>
void reverseNegated(double* a, const int* reverse) {
  int order[Points];
  for (int p = 0; p < Points; ++p) order[p] = reverse[(Points - p) % Points];
  gatherPoints<Points>(a, order);
}

}  // namespace

void bitReverse(int n, const int* workArea, double* a) { bitReverseOf<false>(n, workArea, a); }
void bitReverseConj(int n, const int* workArea, double* a) { bitReverseOf<true>(n, workArea, a); }

void bitReverse8(double* a) {
  swapPoints(a, 2, 8);
  swapPoints(a, 6, 12);
}

void bitReverse16(double* a) {
  for (int k = 0; k < 16; ++k)
    if (k < kReverse4[k]) swapPoints(a, 2 * k, 2 * kReverse4[k]);
}

void bitReverse8Neg(double* a) { reverseNegated<8>(a, kReverse3); }
void bitReverse16Neg(double* a) { reverseNegated<16>(a, kReverse4); }

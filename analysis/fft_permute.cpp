// Output permutations: bit-reversed order back to natural order.

#include <utility>

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
  std::swap(a[k], a[r]);
  std::swap(a[k + 1], a[r + 1]);
}

inline void swapPointsConj(double* a, int k, int r) {
  const double re = a[k], im = a[k + 1];
  a[k] = a[r];
  a[k + 1] = -a[r + 1];
  a[r] = re;
  a[r + 1] = -im;
}

// A point index of L bits is split high | middle | low with b bits at each end;
// level b of the work-area table holds the b-bit reversals scaled by 2^(b+3).
template <bool Conjugate>
void bitReverseOf(int n, const int* ip, double* a) {
  const int bits = log2Of(n / 2);
  const int tableBits = bits - 1;  // log2 of the twiddle count a table for this length has
  const int b = tableBits <= 5 ? 1 : 1 + (tableBits - 4) / 2;
  const int middleBits = bits - 2 * b;
  const int* reversed = ip + (1 << b);
  const int ends = 1 << b, middles = 1 << middleBits;
  const int middleRevShift = 4 - middleBits;
  for (int low = 0; low < ends; ++low) {
    const int fromLow = low << 1, toHigh = reversed[low] << (middleBits - 2);
    for (int mid = 0; mid < middles; ++mid) {
      const int fromMid = mid << (b + 1), toMid = (kReverse4[mid] >> middleRevShift) << (b + 1);
      for (int high = 0; high < ends; ++high) {
        const int k = (high << (bits - b + 1)) | fromMid | fromLow;
        const int r = toHigh | toMid | (reversed[high] >> (b + 2));
        if (k < r) {
          if constexpr (Conjugate) swapPointsConj(a, k, r);
          else swapPoints(a, k, r);
        } else if (Conjugate && k == r) {
          a[k + 1] = -a[k + 1];
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
void reverseNegated(double* a, const int* reverse, int shift) {
  int order[Points];
  for (int p = 0; p < Points; ++p) order[p] = reverse[(Points - p) % Points] >> shift;
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

void bitReverse8Neg(double* a) { reverseNegated<8>(a, kReverse3, 0); }
void bitReverse16Neg(double* a) { reverseNegated<16>(a, kReverse4, 0); }

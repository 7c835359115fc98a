#include "analysis/fft.hpp"

#include "analysis/fft_avx2.hpp"
#include "analysis/fft_schedule.hpp"
#include "analysis/fft_steps.hpp"

namespace {

// One transform: its data and its twiddle table of nw doubles.
struct Plan {
  double* data;
  int nw;
  const double* w;
  const double* twiddleEnd() const { return w + nw; }
};

void passOfKind(Kind kind, int m, double* a, const double* tw) {
  if (kind == Kind::even) splitPassEven(m, a, tw);
  else splitPassOdd(m, a, tw);
}

void splitPass(const Plan& p, Kind kind, int m, double* a) {
  passOfKind(kind, m, a, p.twiddleEnd() - passTwiddlesBack(kind, m));
}

// The leaf steps through the entry points that pick the arithmetic per call.
struct PortablePath {
  template <Kind K>
  static void pass(int m, double* a, const double* tw) {
    passOfKind(K, m, a, tw);
  }
  template <Kind K, int Length>
  static void kernel(double* a, const double* tw) {
    if constexpr (Length == 32) K == Kind::even ? kernel16Even(a, tw) : kernel16Odd(a, tw);
    else K == Kind::even ? kernel8Even(a, tw) : kernel8Odd(a, tw);
  }
};

// Finishes a 512- or 256-double block whose own pass has run; `kind` is the kind of its top quarter.
void leafBlock(const Plan& p, int m, Kind kind, double* a) {
  if (fftHasAvx2()) return leafBlockAvx2(m, kind, a, p.twiddleEnd());
  if (m == 512) leaf::walk<PortablePath, 512>(leaf::AllSteps{}, kind, a, p.twiddleEnd());
  else leaf::walk<PortablePath, 256>(leaf::AllSteps{}, kind, a, p.twiddleEnd());
}

// After the first pass on 128 or 64 doubles, the kernels of a leaf's first quarter finish it.
void smallBlock(const Plan& p, int n) {
  if (n == 128) leaf::walk<PortablePath, 512>(leaf::FirstQuarterKernels{}, Kind::even, p.data, p.twiddleEnd());
  else leaf::walk<PortablePath, 256>(leaf::FirstQuarterKernels{}, Kind::even, p.data, p.twiddleEnd());
}

// Runs the passes that feed the leaf ending at j and returns that leaf's kind. Leaf k, counted
// from the top down, begins a new node of every size that 4 divides k by; the lowest non-zero
// base-4 digit of k (1, 2, 3 for the quarters below the top one) gives the kind: even, odd, even.
Kind treeStep(const Plan& p, int m, int j, int k) {
  if (k % 4 != 0) {
    const Kind kind = k % 2 == 1 ? Kind::even : Kind::odd;
    splitPass(p, kind, m, p.data + j - m);
    return kind;
  }
  int nodeLength = m, i = k;  // the largest node this leaf is the top leaf of, in doubles
  while (i % 4 == 0) {
    nodeLength *= 4;
    i /= 4;
  }
  const Kind kind = i % 2 == 1 ? Kind::even : Kind::odd;
  for (; nodeLength > 128; nodeLength /= 4) splitPass(p, kind, nodeLength, p.data + j - nodeLength);
  return kind;
}

// Depth first from the top of the array down: each leaf right after the passes that feed it.
void radix4Recursion(const Plan& p, int n) {
  int m = n;
  while (m > 512) {
    m /= 4;
    splitPass(p, Kind::even, m, p.data + n - m);
  }
  leafBlock(p, m, Kind::even, p.data + n - m);
  int k = 0;
  for (int j = n - m; j > 0; j -= m) {
    ++k;
    const Kind kind = treeStep(p, m, j, k);
    leafBlock(p, m, kind, p.data + j - m);
  }
}

void middlePasses(const Plan& p, int n) {
  if (n > 512) radix4Recursion(p, n);
  else if (n > 128) leafBlock(p, n, Kind::even, p.data);
  else smallBlock(p, n);
}

}  // namespace

void complexFft(int length, int sign, double* data, int* workArea, double* twiddles) {
  // Only powers of two have a transform here; anything else is left as it is.
  if (length < 4 || (length & (length - 1)) != 0) return;
  int nw = workArea[0];
  if (length > 4 * nw) {
    nw = length / 4;
    buildFftTables(nw, workArea, twiddles);
  }
  const Plan plan{data, nw, twiddles};
  const int n = length;
  if (n == 4) {
    kernel2(data);
  } else if (n == 8) {
    if (sign >= 0) kernel4Positive(data);
    else kernel4Negative(data);
  } else if (n == 16) {
    kernel8Even(data, twiddles);
    if (sign >= 0) bitReverse8(data);
    else bitReverse8Neg(data);
  } else if (n == 32) {
    kernel16Even(data, twiddles + nw - 8);
    if (sign >= 0) bitReverse16(data);
    else bitReverse16Neg(data);
  } else if (sign >= 0) {
    firstPass(n, data, twiddles + nw - n / 4);
    middlePasses(plan, n);
    bitReverse(n, workArea, data);
  } else {
    firstPassConj(n, data, twiddles + nw - n / 4);
    middlePasses(plan, n);
    bitReverseConj(n, workArea, data);
  }
}

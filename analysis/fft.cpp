#include "analysis/fft.hpp"

#include "analysis/fft_avx2.hpp"
#include "analysis/fft_steps.hpp"

namespace {

// Length-driven context of one transform: its twiddle table and size.
struct Plan {
  double* data;
  int nw;
  const double* w;
};

// The split pass of the given kind over m doubles at a.
void splitPass(const Plan& p, int kind, int m, double* a) {
  if (kind == 1) splitPassEven(m, a, p.w + p.nw - m / 2);
  else splitPassOdd(m, a, p.w + p.nw - m);
}

// Finishes a 512- or 256-double block whose own pass has run; `kind` is the kind of its top quarter.
void leafBlock(const Plan& p, int m, int kind, double* a) {
  if (fftHasAvx2()) return leafBlockAvx2(m, kind, a, p.w, p.nw);
  const double* w8 = p.w + p.nw - 8;
  const double* w32 = p.w + p.nw - 32;
  if (m == 512) {
    splitPassEven(128, a, p.w + p.nw - 64);
    kernel16Even(a, w8), kernel16Odd(a + 32, w32), kernel16Even(a + 64, w8), kernel16Even(a + 96, w8);
    splitPassOdd(128, a + 128, p.w + p.nw - 128);
    kernel16Even(a + 128, w8), kernel16Odd(a + 160, w32), kernel16Even(a + 192, w8), kernel16Odd(a + 224, w32);
    splitPassEven(128, a + 256, p.w + p.nw - 64);
    kernel16Even(a + 256, w8), kernel16Odd(a + 288, w32), kernel16Even(a + 320, w8), kernel16Even(a + 352, w8);
    if (kind == 1) {
      splitPassEven(128, a + 384, p.w + p.nw - 64);
      kernel16Even(a + 480, w8);
    } else {
      splitPassOdd(128, a + 384, p.w + p.nw - 128);
      kernel16Odd(a + 480, w32);
    }
    kernel16Even(a + 384, w8), kernel16Odd(a + 416, w32), kernel16Even(a + 448, w8);
    return;
  }
  splitPassEven(64, a, p.w + p.nw - 32);
  kernel8Even(a, w8), kernel8Odd(a + 16, w8), kernel8Even(a + 32, w8), kernel8Even(a + 48, w8);
  splitPassOdd(64, a + 64, p.w + p.nw - 64);
  kernel8Even(a + 64, w8), kernel8Odd(a + 80, w8), kernel8Even(a + 96, w8), kernel8Odd(a + 112, w8);
  splitPassEven(64, a + 128, p.w + p.nw - 32);
  kernel8Even(a + 128, w8), kernel8Odd(a + 144, w8), kernel8Even(a + 160, w8), kernel8Even(a + 176, w8);
  if (kind == 1) {
    splitPassEven(64, a + 192, p.w + p.nw - 32);
    kernel8Even(a + 240, w8);
  } else {
    splitPassOdd(64, a + 192, p.w + p.nw - 64);
    kernel8Odd(a + 240, w8);
  }
  kernel8Even(a + 192, w8), kernel8Odd(a + 208, w8), kernel8Even(a + 224, w8);
}

// After the first pass on 128 or 64 doubles: four fixed kernels.
void smallBlock(const Plan& p, int n) {
  double* a = p.data;
  if (n == 128) {
    const double* w8 = p.w + p.nw - 8;
    const double* w32 = p.w + p.nw - 32;
    kernel16Even(a, w8), kernel16Odd(a + 32, w32), kernel16Even(a + 64, w8), kernel16Even(a + 96, w8);
  } else {
    const double* w8 = p.w + p.nw - 8;
    kernel8Even(a, w8), kernel8Odd(a + 16, w8), kernel8Even(a + 32, w8), kernel8Even(a + 48, w8);
  }
}

// Runs the passes that feed the leaf ending at j and returns that leaf's kind.
int treeStep(const Plan& p, int m, int j, int k) {
  if (k % 4 != 0) {
    const int kind = k % 2;
    splitPass(p, kind, m, p.data + j - m);
    return kind;
  }
  int mm = m, i = k;
  while (i % 4 == 0) {
    mm *= 4;
    i /= 4;
  }
  const int kind = i % 2;
  for (; mm > 128; mm /= 4) splitPass(p, kind, mm, p.data + j - mm);
  return kind;
}

// Depth first from the top of the array down: each leaf right after the passes that feed it.
void radix4Recursion(const Plan& p, int n) {
  int m = n;
  while (m > 512) {
    m /= 4;
    splitPassEven(m, p.data + n - m, p.w + p.nw - m / 2);
  }
  leafBlock(p, m, 1, p.data + n - m);
  int k = 0;
  for (int j = n - m; j > 0; j -= m) {
    ++k;
    const int kind = treeStep(p, m, j, k);
    leafBlock(p, m, kind, p.data + j - m);
  }
}

void middlePasses(const Plan& p, int n) {
  if (n > 512) radix4Recursion(p, n);
  else if (n > 128) leafBlock(p, n, 1, p.data);
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

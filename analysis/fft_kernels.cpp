// Fixed kernels that finish 16, 8, 4 or 2 points held in registers.

#include "analysis/fft_avx2.hpp"
#include "analysis/fft_butterflies.hpp"
#include "analysis/fft_steps.hpp"

namespace {

using fft::Cx;

template <int Points>
struct Block {
  Cx x[Points];
};

template <int Points>
Block<Points> loadBlock(const double* a) {
  Block<Points> b;
  for (int k = 0; k < Points; ++k) b.x[k] = fft::load(a + 2 * k);
  return b;
}

template <int Points>
void storeBlock(double* a, const Block<Points>& b) {
  for (int k = 0; k < Points; ++k) fft::store(a + 2 * k, b.x[k]);
}

// The even butterfly over a block of 4Q points held in x.
template <int Q>
void evenStage(Cx* x, const Cx* w1, const Cx* w3) {
  for (int n = 0; n < Q; ++n) {
    const Cx a = x[n], b = x[n + Q], c = x[n + 2 * Q], d = x[n + 3 * Q];
    const Cx s0 = a + c, s1 = b + d, d0 = a - c, d1 = fft::timesI(b - d);
    x[n] = s0 + s1;
    x[n + Q] = s0 - s1;
    x[n + 2 * Q] = fft::mul(d0 + d1, w1[n]);
    x[n + 3 * Q] = fft::mul(d0 - d1, w3[n]);
  }
}

template <int Q>
void oddStage(Cx* x, const Cx* w1, const Cx* w3, double r45) {
  for (int n = 0; n < Q; ++n) {
    const Cx a = x[n], b = x[n + Q], c = x[n + 2 * Q], d = x[n + 3 * Q];
    const Cx ic = fft::timesI(c), id = fft::timesI(d);
    const Cx u = a + ic, v = a - ic;
    const Cx p = fft::timesW8(b + id, r45), pp = fft::timesI(fft::timesW8(b - id, r45));
    x[n] = fft::mul(u + p, w1[n]);
    x[n + Q] = fft::mul(u - p, w1[n]);
    x[n + 2 * Q] = fft::mul(v + pp, w3[n]);
    x[n + 3 * Q] = fft::mul(v - pp, w3[n]);
  }
}

// Four points, plain and odd kind, bit-reversed output.
void even4(Cx* x) {
  const Cx a = x[0], b = x[1], c = x[2], d = x[3];
  const Cx s0 = a + c, s1 = b + d, d0 = a - c, d1 = fft::timesI(b - d);
  x[0] = s0 + s1;
  x[1] = s0 - s1;
  x[2] = d0 + d1;
  x[3] = d0 - d1;
}

void odd4(Cx* x, double r45) {
  const Cx a = x[0], b = x[1], c = x[2], d = x[3];
  const Cx ic = fft::timesI(c), id = fft::timesI(d);
  const Cx u = a + ic, v = a - ic;
  const Cx p = fft::timesW8(b + id, r45), pp = fft::timesI(fft::timesW8(b - id, r45));
  x[0] = u + p;
  x[1] = u - p;
  x[2] = v + pp;
  x[3] = v - pp;
}

// Two points: plain, and with the quarter-turn owed by an odd block.
void even2(Cx* x) {
  const Cx a = x[0], b = x[1];
  x[0] = a + b;
  x[1] = a - b;
}

void odd2(Cx* x) {
  const Cx a = x[0], ib = fft::timesI(x[1]);
  x[0] = a + ib;
  x[1] = a - ib;
}

}  // namespace

void kernel16Even(double* a, const double* tw) {
  if (fftHasAvx2()) return kernel16EvenAvx2(a, tw);
  const double r45 = tw[1], c = tw[2], s = tw[3];  // cos pi/4, cos pi/8, sin pi/8
  const Cx w1[4] = {fft::kOne, {c, s}, {r45, r45}, {s, c}};
  const Cx w3[4] = {fft::kOne, {s, c}, {-r45, r45}, {-c, -s}};
  Block<16> b = loadBlock<16>(a);
  evenStage<4>(b.x, w1, w3);
  even4(b.x);
  odd4(b.x + 4, r45);
  even4(b.x + 8);
  even4(b.x + 12);
  storeBlock(a, b);
}

void kernel16Odd(double* a, const double* tw) {
  if (fftHasAvx2()) return kernel16OddAvx2(a, tw);
  // Steps of pi/16: one, three and two of them.
  const double r45 = tw[1];
  const Cx step1{tw[4], tw[5]}, step3{tw[6], -tw[7]}, step2{tw[8], tw[9]};
  const Cx w1[4] = {fft::kOne, step1, step2, step3};
  const Cx w3[4] = {fft::kOne, step3, {step2.im, step2.re}, {-step1.im, step1.re}};
  Block<16> b = loadBlock<16>(a);
  oddStage<4>(b.x, w1, w3, r45);
  even4(b.x);
  odd4(b.x + 4, r45);
  even4(b.x + 8);
  odd4(b.x + 12, r45);
  storeBlock(a, b);
}

void kernel8Even(double* a, const double* tw) {
  if (fftHasAvx2()) return kernel8EvenAvx2(a, tw);
  const double r45 = tw[1];
  const Cx w1[2] = {fft::kOne, {r45, r45}};
  const Cx w3[2] = {fft::kOne, {-r45, r45}};
  Block<8> b = loadBlock<8>(a);
  evenStage<2>(b.x, w1, w3);
  even2(b.x);
  odd2(b.x + 2);
  even2(b.x + 4);
  even2(b.x + 6);
  storeBlock(a, b);
}

void kernel8Odd(double* a, const double* tw) {
  if (fftHasAvx2()) return kernel8OddAvx2(a, tw);
  const double r45 = tw[1], c = tw[2], s = tw[3];  // cos pi/4, cos pi/8, sin pi/8
  const Cx w1[2] = {fft::kOne, {c, s}};
  const Cx w3[2] = {fft::kOne, {s, c}};
  Block<8> b = loadBlock<8>(a);
  oddStage<2>(b.x, w1, w3, r45);
  even2(b.x);
  odd2(b.x + 2);
  even2(b.x + 4);
  odd2(b.x + 6);
  storeBlock(a, b);
}

void kernel4Positive(double* a) {
  Block<4> b = loadBlock<4>(a);
  even4(b.x);
  fft::store(a, b.x[0]);
  fft::store(a + 2, b.x[2]);
  fft::store(a + 4, b.x[1]);
  fft::store(a + 6, b.x[3]);
}

void kernel4Negative(double* a) {
  // The e^(-...) transform of x is the e^(+...) one read backwards from point 0.
  Block<4> b = loadBlock<4>(a);
  even4(b.x);
  fft::store(a, b.x[0]);
  fft::store(a + 2, b.x[3]);
  fft::store(a + 4, b.x[1]);
  fft::store(a + 6, b.x[2]);
}

void kernel2(double* a) {
  Block<2> b = loadBlock<2>(a);
  even2(b.x);
  storeBlock(a, b);
}

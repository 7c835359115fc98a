// Fixed kernels that finish 16, 8, 4 or 2 points held in registers.

#include "analysis/fft_avx2.hpp"
#include "analysis/fft_butterflies.hpp"
#include "analysis/fft_steps.hpp"

namespace {

using fft::Cx;
using fft::Quad;

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

// Points x[0], x[step], x[2 step], x[3 step] as the four quarters of a butterfly.
Quad gather(const Cx* x, int step) { return {x[0], x[step], x[2 * step], x[3 * step]}; }

void scatter(Cx* x, int step, Quad q) {
  x[0] = q.a;
  x[step] = q.b;
  x[2 * step] = q.c;
  x[3 * step] = q.d;
}

// The butterflies over a block of 4Q points held in x.
template <int Q>
void evenStage(Cx* x, const Cx* w1, const Cx* w3) {
  for (int n = 0; n < Q; ++n) {
    const Quad q = fft::evenValues(gather(x + n, Q));
    scatter(x + n, Q, {q.a, q.b, fft::mul(q.c, w1[n]), fft::mul(q.d, w3[n])});
  }
}

template <int Q>
void oddStage(Cx* x, const Cx* w1, const Cx* w3, double r45) {
  for (int n = 0; n < Q; ++n) {
    const Quad q = fft::oddValues(gather(x + n, Q), r45);
    scatter(x + n, Q, {fft::mul(q.a, w1[n]), fft::mul(q.b, w1[n]), fft::mul(q.c, w3[n]), fft::mul(q.d, w3[n])});
  }
}

// Four points, plain and odd kind, bit-reversed output.
void even4(Cx* x) { scatter(x, 1, fft::evenValues(gather(x, 1))); }
void odd4(Cx* x, double r45) { scatter(x, 1, fft::oddValues(gather(x, 1), r45)); }

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

template <int Points>
void finishQuarter(Kind kind, Cx* x, double r45) {
  if constexpr (Points == 4) kind == Kind::even ? even4(x) : odd4(x, r45);
  else kind == Kind::even ? even2(x) : odd2(x);
}

// A kernel of 16 or 8 points: the butterflies of its kind, then the quarters they hand
// out (even, odd, even and the kernel's own kind) finished in place.
template <int Points, Kind K>
void finishBlock(double* a, const Cx* w1, const Cx* w3, double r45) {
  constexpr int Q = Points / 4;
  Block<Points> b = loadBlock<Points>(a);
  if constexpr (K == Kind::even) evenStage<Q>(b.x, w1, w3);
  else oddStage<Q>(b.x, w1, w3, r45);
  finishQuarter<Q>(Kind::even, b.x, r45);
  finishQuarter<Q>(Kind::odd, b.x + Q, r45);
  finishQuarter<Q>(Kind::even, b.x + 2 * Q, r45);
  finishQuarter<Q>(K, b.x + 3 * Q, r45);
  storeBlock(a, b);
}

}  // namespace

void kernel16Even(double* a, const double* tw) {
  if (fftHasAvx2()) return kernel16EvenAvx2(a, tw);
  const double r45 = tw[1], c = tw[2], s = tw[3];  // cos pi/4, cos pi/8, sin pi/8
  const Cx w1[4] = {fft::kOne, {c, s}, {r45, r45}, {s, c}};
  const Cx w3[4] = {fft::kOne, {s, c}, {-r45, r45}, {-c, -s}};
  finishBlock<16, Kind::even>(a, w1, w3, r45);
}

void kernel16Odd(double* a, const double* tw) {
  if (fftHasAvx2()) return kernel16OddAvx2(a, tw);
  // Steps of pi/16: one, three and two of them.
  const double r45 = tw[1];
  const Cx step1{tw[4], tw[5]}, step3{tw[6], -tw[7]}, step2{tw[8], tw[9]};
  const Cx w1[4] = {fft::kOne, step1, step2, step3};
  const Cx w3[4] = {fft::kOne, step3, {step2.im, step2.re}, {-step1.im, step1.re}};
  finishBlock<16, Kind::odd>(a, w1, w3, r45);
}

void kernel8Even(double* a, const double* tw) {
  if (fftHasAvx2()) return kernel8EvenAvx2(a, tw);
  const double r45 = tw[1];
  const Cx w1[2] = {fft::kOne, {r45, r45}};
  const Cx w3[2] = {fft::kOne, {-r45, r45}};
  finishBlock<8, Kind::even>(a, w1, w3, r45);
}

void kernel8Odd(double* a, const double* tw) {
  if (fftHasAvx2()) return kernel8OddAvx2(a, tw);
  const double r45 = tw[1], c = tw[2], s = tw[3];  // cos pi/4, cos pi/8, sin pi/8
  const Cx w1[2] = {fft::kOne, {c, s}};
  const Cx w3[2] = {fft::kOne, {s, c}};
  finishBlock<8, Kind::odd>(a, w1, w3, r45);
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

#pragma once
// Complex arithmetic on interleaved doubles and the two radix-4 butterflies.
//
// The even butterfly splits a plain block into quarters of kinds even, odd,
// even, even; the odd butterfly splits an odd block into even, odd, even, odd.
// With w = e^(+2 pi i / 8) and quarters a, b, c, d at one offset n:
//   even: a+b+c+d,  a-b+c-d,  (a-c + i(b-d)) w1,  (a-c - i(b-d)) w3
//   odd:  (u+p) w1, (u-p) w1, (v+p') w3, (v-p') w3
//         with u = a + ic, v = a - ic, p = w(b + id), p' = iw(b - id).

namespace fft {

struct Cx {
  double re, im;
};

inline Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx operator*(Cx a, double s) { return {a.re * s, a.im * s}; }
inline Cx timesI(Cx a) { return {-a.im, a.re}; }
inline Cx mul(Cx a, Cx w) { return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re}; }
// z e^(i pi/4), with r45 = cos(pi/4) from the table.
inline Cx timesW8(Cx z, double r45) { return {(z.re - z.im) * r45, (z.re + z.im) * r45}; }

template <bool Conjugate = false>
inline Cx load(const double* p) {
  return Conjugate ? Cx{p[0], -p[1]} : Cx{p[0], p[1]};
}
inline void store(double* p, Cx z) {
  p[0] = z.re;
  p[1] = z.im;
}

// Twiddle of the point mirrored about the quarter's middle: e^(i pi/2) conj(w), e^(-i pi/2) conj(w3).
inline Cx mirror1(Cx w) { return {w.im, w.re}; }
inline Cx mirror3(Cx w) { return {-w.im, -w.re}; }

inline const Cx kOne{1.0, 0.0};

// The four quarters' values at one offset.
struct Quad {
  Cx a, b, c, d;
};

// Both butterflies before their output twiddles: the even one's last two outputs still owe
// w1 and w3; the odd one's first two owe w1 and its last two w3.
inline Quad evenValues(Quad q) {
  const Cx s0 = q.a + q.c, s1 = q.b + q.d, d0 = q.a - q.c, d1 = timesI(q.b - q.d);
  return {s0 + s1, s0 - s1, d0 + d1, d0 - d1};
}

inline Quad oddValues(Quad q, double r45) {
  const Cx ic = timesI(q.c), id = timesI(q.d);
  const Cx u = q.a + ic, v = q.a - ic;
  const Cx x = timesW8(q.b + id, r45), y = timesI(timesW8(q.b - id, r45));
  return {u + x, u - x, v + y, v - y};
}

// Quarters at p, p + qd, p + 2qd, p + 3qd (qd, the quarter's length, in doubles).
template <bool Conjugate = false>
inline Quad loadQuarters(const double* p, int qd) {
  return {load<Conjugate>(p), load<Conjugate>(p + qd), load<Conjugate>(p + 2 * qd), load<Conjugate>(p + 3 * qd)};
}

inline void storeQuarters(double* p, int qd, Quad q) {
  store(p, q.a);
  store(p + qd, q.b);
  store(p + 2 * qd, q.c);
  store(p + 3 * qd, q.d);
}

template <bool Conjugate = false>
inline void evenButterfly(double* p, int qd, Cx w1, Cx w3) {
  const Quad q = evenValues(loadQuarters<Conjugate>(p, qd));
  storeQuarters(p, qd, {q.a, q.b, mul(q.c, w1), mul(q.d, w3)});
}

// The butterfly at offset 0, where both twiddles are one.
template <bool Conjugate = false>
inline void evenButterflyUnit(double* p, int qd) {
  storeQuarters(p, qd, evenValues(loadQuarters<Conjugate>(p, qd)));
}

inline void oddButterfly(double* p, int qd, Cx w1, Cx w3, double r45) {
  const Quad q = oddValues(loadQuarters(p, qd), r45);
  storeQuarters(p, qd, {mul(q.a, w1), mul(q.b, w1), mul(q.c, w3), mul(q.d, w3)});
}

inline void oddButterflyUnit(double* p, int qd, double r45) { storeQuarters(p, qd, oddValues(loadQuarters(p, qd), r45)); }

}  // namespace fft

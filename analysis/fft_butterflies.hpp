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
inline Cx conj(Cx a) { return {a.re, -a.im}; }
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

// Quarters at p, p + qd, p + 2qd, p + 3qd (qd in doubles).
template <bool Conjugate = false>
inline void evenButterfly(double* p, int qd, Cx w1, Cx w3) {
  const Cx a = load<Conjugate>(p), b = load<Conjugate>(p + qd);
  const Cx c = load<Conjugate>(p + 2 * qd), d = load<Conjugate>(p + 3 * qd);
  const Cx s0 = a + c, s1 = b + d, d0 = a - c, d1 = timesI(b - d);
  store(p, s0 + s1);
  store(p + qd, s0 - s1);
  store(p + 2 * qd, mul(d0 + d1, w1));
  store(p + 3 * qd, mul(d0 - d1, w3));
}

template <bool Conjugate = false>
inline void evenButterflyUnit(double* p, int qd) {
  const Cx a = load<Conjugate>(p), b = load<Conjugate>(p + qd);
  const Cx c = load<Conjugate>(p + 2 * qd), d = load<Conjugate>(p + 3 * qd);
  const Cx s0 = a + c, s1 = b + d, d0 = a - c, d1 = timesI(b - d);
  store(p, s0 + s1);
  store(p + qd, s0 - s1);
  store(p + 2 * qd, d0 + d1);
  store(p + 3 * qd, d0 - d1);
}

inline void oddButterfly(double* p, int qd, Cx w1, Cx w3, double r45) {
  const Cx a = load(p), b = load(p + qd), c = load(p + 2 * qd), d = load(p + 3 * qd);
  const Cx ic = timesI(c), id = timesI(d);
  const Cx u = a + ic, v = a - ic;
  const Cx x = timesW8(b + id, r45), y = timesI(timesW8(b - id, r45));
  store(p, mul(u + x, w1));
  store(p + qd, mul(u - x, w1));
  store(p + 2 * qd, mul(v + y, w3));
  store(p + 3 * qd, mul(v - y, w3));
}

inline void oddButterflyUnit(double* p, int qd, double r45) {
  const Cx a = load(p), b = load(p + qd), c = load(p + 2 * qd), d = load(p + 3 * qd);
  const Cx ic = timesI(c), id = timesI(d);
  const Cx u = a + ic, v = a - ic;
  const Cx x = timesW8(b + id, r45), y = timesI(timesW8(b - id, r45));
  store(p, u + x);
  store(p + qd, u - x);
  store(p + 2 * qd, v + y);
  store(p + 3 * qd, v - y);
}

}  // namespace fft

/* The functions this library exports, each picking the build of glibc's code that glibc
   itself would pick on this processor: the one compiled for FMA when the processor has FMA
   and AVX2 (or FMA4), the plain one otherwise. The two can differ in the last bit. */
#include <errno.h>

#include "math_private.h"

#define EXPORT __declspec(dllexport)

double __sin_sse2(double), __sin_fma(double), __sin_fma4(double);
double __cos_sse2(double), __cos_fma(double), __cos_fma4(double);
void __sincos_sse2(double, double *, double *), __sincos_fma(double, double *, double *),
    __sincos_fma4(double, double *, double *);
double __cbrt(double);

enum build { plain_build, fma_build, fma4_build };

static enum build build;

/* Once, as the library is loaded: before any thread can call in. */
__attribute__((constructor)) static void choose(void) {
  __builtin_cpu_init();
  build = __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2") ? fma_build
          : __builtin_cpu_supports("fma4")                                 ? fma4_build
                                                                            : plain_build;
}

static enum build chosen(void) { return build; }

EXPORT double sin(double x) {
  switch (chosen()) {
    case fma_build: return __sin_fma(x);
    case fma4_build: return __sin_fma4(x);
    default: return __sin_sse2(x);
  }
}

EXPORT double cos(double x) {
  switch (chosen()) {
    case fma_build: return __cos_fma(x);
    case fma4_build: return __cos_fma4(x);
    default: return __cos_sse2(x);
  }
}

EXPORT void sincos(double x, double *s, double *c) {
  switch (chosen()) {
    case fma_build: __sincos_fma(x, s, c); return;
    case fma4_build: __sincos_fma4(x, s, c); return;
    default: __sincos_sse2(x, s, c); return;
  }
}

EXPORT double cbrt(double x) { return __cbrt(x); }

/* glibc's ldexp: scalbn with errno set on overflow and underflow. */
double __ldexp(double x, int n) {
  if (!__builtin_isfinite(x) || x == 0) return x + x;
  x = __scalbn(x, n);
  if (!__builtin_isfinite(x) || x == 0) errno = ERANGE;
  return x;
}

/* Which build runs here, for a test to report: 0 plain, 1 FMA, 2 FMA4. */
EXPORT int sonavel_glibc_math_build(void) { return (int)chosen(); }

/* The functions this library exports, each running the build of glibc's code that glibc itself
   runs on this processor: the one compiled for FMA when the processor has FMA and AVX2 (or FMA4),
   the plain one otherwise. The builds can differ in the last bit. */
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "math_private.h"

#define EXPORT __declspec(dllexport)

enum build { plain_build, fma_build, fma4_build };
static enum build build;

/* One function in its three builds, as glibc's x86-64 multiarch folder names them. */
#define BUILDS(type, name, params) \
  type name##_sse2 params;         \
  type name##_fma params;          \
  type name##_fma4 params;
#define PICK(name, args)                        \
  switch (build) {                              \
    case fma_build: return name##_fma args;     \
    case fma4_build: return name##_fma4 args;   \
    default: return name##_sse2 args;           \
  }

BUILDS(double, __sin, (double))
BUILDS(double, __cos, (double))
BUILDS(void, __sincos, (double, double *, double *))
BUILDS(double, __ieee754_exp, (double))
BUILDS(double, __ieee754_log, (double))
BUILDS(double, __ieee754_pow, (double, double))
BUILDS(double, __ieee754_asin, (double))
double __cbrt(double);
double __ieee754_log10(double);

/* Once, as the library is loaded: before any thread can call in. SONAVEL_GLIBC_MATH (plain, fma
   or fma4) picks a build instead, so that a test can compare each with glibc's on one machine. */
__attribute__((constructor)) static void choose(void) {
  const char *forced = getenv("SONAVEL_GLIBC_MATH");
  __builtin_cpu_init();
  build = __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2") ? fma_build
          : __builtin_cpu_supports("fma4")                                 ? fma4_build
                                                                            : plain_build;
  if (forced == NULL) return;
  if (strcmp(forced, "plain") == 0) build = plain_build;
  if (strcmp(forced, "fma") == 0) build = fma_build;
  if (strcmp(forced, "fma4") == 0) build = fma4_build;
}

EXPORT double sin(double x) { PICK(__sin, (x)) }
EXPORT double cos(double x) { PICK(__cos, (x)) }
EXPORT void sincos(double x, double *s, double *c) { PICK(__sincos, (x, s, c)) }
EXPORT double exp(double x) { PICK(__ieee754_exp, (x)) }
EXPORT double log(double x) { PICK(__ieee754_log, (x)) }
EXPORT double pow(double x, double y) { PICK(__ieee754_pow, (x, y)) }
EXPORT double cbrt(double x) { return __cbrt(x); }

/* log10 is built once in glibc and calls the log of the build chosen. */
double __ieee754_log(double x) { PICK(__ieee754_log, (x)) }
EXPORT double log10(double x) {
  const double y = __ieee754_log10(x);
  if (x <= 0 && !__builtin_isnan(x)) errno = x == 0 ? ERANGE : EDOM;  /* glibc's wrapper */
  return y;
}

EXPORT double asin(double x) {
  if (__builtin_fabs(x) > 1.0) errno = EDOM;  /* glibc's wrapper */
  PICK(__ieee754_asin, (x))
}

/* glibc's ldexp: scalbn with errno set on overflow and underflow. */
double __ldexp(double x, int n) {
  if (!__builtin_isfinite(x) || x == 0) return x + x;
  x = __scalbn(x, n);
  if (!__builtin_isfinite(x) || x == 0) errno = ERANGE;
  return x;
}

/* Which build runs here, for a test to report: 0 plain, 1 FMA, 2 FMA4. */
EXPORT int sonavel_glibc_math_build(void) { return (int)build; }

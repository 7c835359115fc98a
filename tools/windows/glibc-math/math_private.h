/* Stand-ins for glibc's internal math headers, for compiling a few of its libm sources
   outside glibc (tools/windows/build-glibc-math.sh). Only what those sources use. */
#ifndef SONAVEL_GLIBC_MATH_PRIVATE_H
#define SONAVEL_GLIBC_MATH_PRIVATE_H

#include <errno.h>
#include <math.h>
#include <stdint.h>
#include <string.h>

/* glibc's order of the classes, which its sources compare with <= (MinGW-w64 numbers them otherwise). */
#undef FP_NAN
#undef FP_INFINITE
#undef FP_ZERO
#undef FP_SUBNORMAL
#undef FP_NORMAL
#define FP_NAN 0
#define FP_INFINITE 1
#define FP_ZERO 2
#define FP_SUBNORMAL 3
#define FP_NORMAL 4
#undef fpclassify
#define fpclassify(x) __builtin_fpclassify(FP_NAN, FP_INFINITE, FP_NORMAL, FP_SUBNORMAL, FP_ZERO, (x))

#define attribute_hidden
#ifndef __always_inline
#define __always_inline __inline __attribute__((__always_inline__))
#endif
#define __set_errno(value) (errno = (value))
#define __glibc_likely(cond) __builtin_expect((cond), 1)
#define __glibc_unlikely(cond) __builtin_expect((cond), 0)

#define EXTRACT_WORDS64(i, d) do { double d_ = (d); memcpy(&(i), &d_, 8); } while (0)
#define INSERT_WORDS64(d, i) do { int64_t i_ = (i); memcpy(&(d), &i_, 8); } while (0)

double __frexp(double x, int *exponent);
double __ieee754_log(double x);
double __scalbn(double x, int n);
double __ldexp(double x, int n);
int __branred(double x, double *a, double *aa);

#endif

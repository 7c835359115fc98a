#pragma once
// The steps the transform is built from: table building, radix-4 split passes,
// the fixed 8- and 16-point kernels, and the output permutations.
//
// Lengths count doubles. A block of "even" kind is a plain transform of its
// points; a block of "odd" kind still owes the half-step twiddle e^(2 pi i n / 2M),
// i.e. it computes sum x[n] e^(2 pi i n (2k + 1) / 2M). Passes and kernels leave
// their output in bit-reversed order.
//
// Short names, used throughout: nw, the number of twiddle doubles the tables hold; ip,
// the work area read as the bit-reversal table; m, a block's length and qd its quarter
// (doubles), q the quarter in points; r45, cos(pi/4) as the table holds it.

enum class Kind : unsigned char { even, odd };

// Twiddle and bit-reversal tables for `nw` twiddle doubles.
void buildFftTables(int nw, int* workArea, double* twiddles);
void buildBitReverseTable(int nw, int* workArea);

// Passes. `tw` points at the twiddle block the pass reads.
void firstPass(int n, double* a, const double* tw);
void firstPassConj(int n, double* a, const double* tw);
void splitPassEven(int m, double* a, const double* tw);
void splitPassOdd(int m, double* a, const double* tw);

// Kernels finishing 16 or 8 points in bit-reversed order.
void kernel16Even(double* a, const double* tw);  // block at nw - 8
void kernel16Odd(double* a, const double* tw);   // block at nw - 32
void kernel8Even(double* a, const double* tw);   // reads tw[1]
void kernel8Odd(double* a, const double* tw);    // block at nw - 8
// Complete small transforms in natural order.
void kernel4Positive(double* a);
void kernel4Negative(double* a);
void kernel2(double* a);

// Permutations from bit-reversed to natural order.
void bitReverse(int n, const int* workArea, double* a);
void bitReverseConj(int n, const int* workArea, double* a);
void bitReverse8(double* a);
void bitReverse8Neg(double* a);
void bitReverse16(double* a);
void bitReverse16Neg(double* a);

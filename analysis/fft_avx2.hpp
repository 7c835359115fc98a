#pragma once
// The same passes and kernels two points at a time with 256-bit vectors, chosen at
// run time on processors that have AVX2; results equal the portable ones within rounding.

#include "analysis/fft_schedule.hpp"

// True when the vector versions run: the processor has AVX2 and they are not switched off.
bool fftHasAvx2();
// Lets tests run the portable versions on any processor.
void setFftVectorsEnabled(bool enabled);

void firstPassAvx2(int n, double* a, const double* tw, bool conjugate);
void splitPassEvenAvx2(int m, double* a, const double* tw);
void splitPassOddAvx2(int m, double* a, const double* tw);
void kernel8EvenAvx2(double* a, const double* tw);
void kernel8OddAvx2(double* a, const double* tw);
void kernel16EvenAvx2(double* a, const double* tw);
void kernel16OddAvx2(double* a, const double* tw);
// Finishes a 512- or 256-double leaf in the same order as the portable path; `twiddleEnd`
// is one past the last twiddle.
void leafBlockAvx2(int m, Kind kind, double* a, const double* twiddleEnd);

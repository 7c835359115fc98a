#pragma once
// In-place complex FFT of a power-of-two number of points, natural-order output.
//
// `length` counts doubles (interleaved re, im), so it is twice the points.
// sign >= 0: X[k] = sum x[j] e^(+2 pi i jk/N); sign < 0: the same with e^(-...).
// Unscaled. `workArea` (ints, 2 + sqrt(length) entries) and `twiddles`
// (length / 4 doubles) hold tables built on the first call that needs them;
// a zeroed work area means none are built yet.
void complexFft(int length, int sign, double* data, int* workArea, double* twiddles);

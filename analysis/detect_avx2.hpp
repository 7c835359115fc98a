#pragma once
// The row measures of detection four rows at a time with 256-bit vectors, chosen at run
// time where the transform's vectors run; every lane does exactly the scalar arithmetic.

// For each of `points` window points (`rows` values each, point by point): the highest
// value (first of equal ones) and its point, and the single-precision running sum.
// `rows` is a multiple of 4.
void measureWindowAvx2(const double* values, int points, int rows, float* height, int* position, float* sum);
// The single-precision running sum of `points` band points, row by row.
void measureBandAvx2(const double* values, int points, int rows, float* sum);

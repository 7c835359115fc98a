#pragma once
// Declares a speed ratio between two benchmarks of the same program, reported
// after the run as `ratio NAME VALUE`, from the medians of the repetitions.
// Benchmark names are as Google Benchmark prints them, arguments included.

int registerRatio(const char* name, const char* numerator, const char* denominator);

#define SONAVEL_RATIO_JOIN2(a, b) a##b
#define SONAVEL_RATIO_JOIN(a, b) SONAVEL_RATIO_JOIN2(a, b)
#define SONAVEL_RATIO(name, numerator, denominator) \
  static const int SONAVEL_RATIO_JOIN(sonavelRatio, __LINE__) = registerRatio(name, numerator, denominator)

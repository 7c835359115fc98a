#include "analysis/detect_avx2.hpp"

#include <immintrin.h>

#define SONAVEL_AVX2 __attribute__((target("avx2")))

namespace {

// A double lane's all-ones compare result narrowed to the matching 32-bit lane.
SONAVEL_AVX2 inline __m128i narrowMask(__m256d mask) {
  const __m256i low = _mm256_permutevar8x32_epi32(_mm256_castpd_si256(mask), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
  return _mm256_castsi256_si128(low);
}

// sum + value rounded to single precision, as the scalar code's float(double(sum) + value).
SONAVEL_AVX2 inline __m128 addRounded(__m128 sum, __m256d value) {
  return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_cvtps_pd(sum), value));
}

}  // namespace

// Each lane's sums wait on the lane's previous step; taking several groups of four rows
// at once gives the processor independent chains to overlap.
constexpr int kWindowGroups = 3;
constexpr int kBandGroups = 6;

SONAVEL_AVX2 void measureWindowAvx2(const double* values, int points, int rows, float* height, int* position,
                                    float* sum) {
  constexpr int G = kWindowGroups;
  for (int first = 0; first < rows; first += 4 * G) {
    const int groups = (rows - first) / 4 < G ? (rows - first) / 4 : G;
    __m128 h[G], s[G];
    __m128i at[G];
    for (int g = 0; g < groups; ++g) {
      h[g] = _mm_loadu_ps(height + first + 4 * g);
      s[g] = _mm_loadu_ps(sum + first + 4 * g);
      at[g] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(position + first + 4 * g));
    }
    for (int j = 0; j < points; ++j) {
      const __m128i point = _mm_set1_epi32(j);
      for (int g = 0; g < groups; ++g) {
        const __m256d v = _mm256_loadu_pd(values + j * rows + first + 4 * g);
        const __m128i higher = narrowMask(_mm256_cmp_pd(v, _mm256_cvtps_pd(h[g]), _CMP_GT_OQ));
        h[g] = _mm_blendv_ps(h[g], _mm256_cvtpd_ps(v), _mm_castsi128_ps(higher));
        at[g] = _mm_blendv_epi8(at[g], point, higher);
        s[g] = addRounded(s[g], v);
      }
    }
    for (int g = 0; g < groups; ++g) {
      _mm_storeu_ps(height + first + 4 * g, h[g]);
      _mm_storeu_ps(sum + first + 4 * g, s[g]);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(position + first + 4 * g), at[g]);
    }
  }
}

SONAVEL_AVX2 void measureBandAvx2(const double* values, int points, int rows, float* sum) {
  constexpr int G = kBandGroups;
  for (int first = 0; first < rows; first += 4 * G) {
    const int groups = (rows - first) / 4 < G ? (rows - first) / 4 : G;
    __m128 s[G];
    for (int g = 0; g < groups; ++g) s[g] = _mm_loadu_ps(sum + first + 4 * g);
    for (int k = 0; k < points; ++k)
      for (int g = 0; g < groups; ++g) s[g] = addRounded(s[g], _mm256_loadu_pd(values + k * rows + first + 4 * g));
    for (int g = 0; g < groups; ++g) _mm_storeu_ps(sum + first + 4 * g, s[g]);
  }
}


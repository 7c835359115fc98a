#pragma once
// Nearest integer, ties to even, as std::nearbyint gives it in the default rounding mode,
// for |value| below 2^51: adding 1.5 x 2^52 leaves no fraction bits, so the addition rounds.
inline double roundHalfEven(double value) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 x 2^52
  return (value + kShift) - kShift;
}

#pragma once
// Colours as the picture holds them, 0x00RRGGBB, and components worked out from doubles.

#include <cstdint>

#include "analysis/round_half_even.hpp"

inline std::uint32_t rgb(int red, int green, int blue) {
  return static_cast<std::uint32_t>(red) << 16 | static_cast<std::uint32_t>(green) << 8 |
         static_cast<std::uint32_t>(blue);
}

inline int redOf(std::uint32_t colour) { return static_cast<int>(colour >> 16 & 0xFF); }
inline int greenOf(std::uint32_t colour) { return static_cast<int>(colour >> 8 & 0xFF); }
inline int blueOf(std::uint32_t colour) { return static_cast<int>(colour & 0xFF); }

// `full` scaled by `unit`, to the nearest integer, ties to even.
inline int component(double full, double unit) { return static_cast<int>(roundHalfEven(full * unit)); }

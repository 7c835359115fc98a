#pragma once
// The two drawing primitives; every picture element but the glyphs is a rectangle.

#include <cstdint>

void clearScreen(std::uint32_t colour);
// Position, then size, then colour; clipped to the picture.
void fillRect(int x, int y, int width, int height, std::uint32_t colour);

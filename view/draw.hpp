#pragma once
// The two drawing primitives; every picture element but the glyphs is a rectangle. Each
// draws on the picture it is given, which its caller owns.

#include <cstdint>

#include "core/framebuffer.hpp"

void clearScreen(Framebuffer& picture, std::uint32_t colour);
// Whether each of the `count` pixels from `run` is `colour`.
bool runIs(const std::uint32_t* run, int count, std::uint32_t colour);
// Position, then size, then colour; clipped to the picture, so nothing lands outside the pixel array.
void fillRect(Framebuffer& picture, int x, int y, int width, int height, std::uint32_t colour);
// One row of pixels from `colours`, `count` long, starting at (x, y); clipped like fillRect.
void drawSpan(Framebuffer& picture, int x, int y, const std::uint32_t* colours, int count);
// drawSpan for a run the caller knows differs from what the picture holds: written without comparing.
void replaceSpan(Framebuffer& picture, int x, int y, const std::uint32_t* colours, int count);

#include "view/draw.hpp"

#include "app/framebuffer.hpp"

void clearScreen(std::uint32_t colour) {
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) framebuffer.pixels[y * framebuffer.pitch + x] = colour;
}

void fillRect(int, int, int, int, std::uint32_t) {}

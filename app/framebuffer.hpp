#pragma once
// The picture the program draws: it owns the pixels, the platform only shows them.

#include <cstdint>

#include "app/constants.hpp"

struct Framebuffer {
  int width = kPictureWidth;
  int height = kPictureHeight;
  int pitch = kPictureWidth;         // pixels per row
  std::uint32_t* pixels = nullptr;   // 0x00RRGGBB, row 0 at the top
};

extern Framebuffer framebuffer;

// Points `framebuffer` at its storage with the 640 x 480 geometry.
void createFramebuffer();

inline std::uint32_t pixelAt(const Framebuffer& picture, int x, int y) {
  return picture.pixels[y * picture.pitch + x];
}

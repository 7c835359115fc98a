#pragma once
// The picture the program draws: it owns the pixels, the platform only shows them.

#include <cstdint>

#include "core/constants.hpp"

struct Framebuffer {
  int width = kPictureWidth;
  int height = kPictureHeight;
  int pitch = kPictureWidth;         // pixels per row
  std::uint32_t* pixels = nullptr;   // 0x00RRGGBB, row 0 at the top
  // One flag per row, raised by drawing that changes a pixel there and lowered
  // by the window once it shows the row; null for pictures no window shows. A
  // row left unmarked is taken to be as the window shows it.
  bool* changedRows = nullptr;
};

extern Framebuffer framebuffer;

// Points `framebuffer` at its storage with the 640 x 480 geometry, every row marked changed.
void createFramebuffer();

inline void markRowChanged(const Framebuffer& picture, long long y) {
  if (picture.changedRows != nullptr) picture.changedRows[y] = true;
}

inline std::uint32_t pixelAt(const Framebuffer& picture, int x, int y) {
  return picture.pixels[y * picture.pitch + x];
}

#pragma once
// A picture to draw on: whoever draws owns the pixels (the program's is app/'s), the view draws
// into the one it is given and the platform only shows it.

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

// The pixels and row flags of a 640 x 480 picture (1.2 MB: kept off the stack).
struct PictureStorage {
  std::uint32_t pixels[kPictureWidth * kPictureHeight];
  bool changedRows[kPictureHeight];
};

// A 640 x 480 picture on `storage`, every row marked changed.
Framebuffer pictureOn(PictureStorage& storage);

inline void markRowChanged(const Framebuffer& picture, long long y) {
  if (picture.changedRows != nullptr) picture.changedRows[y] = true;
}

inline std::uint32_t pixelAt(const Framebuffer& picture, int x, int y) {
  return picture.pixels[y * picture.pitch + x];
}

#pragma once
// The bitmap font: a strip of square glyph cells from the space character on.

#include <cstdint>

struct BitmapFont {
  std::uint32_t* pixels = nullptr;  // width x height texels, 0x00RRGGBB, top row first
  int height = 0;                   // also the side of every glyph cell
  int width = 0;                    // also the row stride of `pixels`
};

extern BitmapFont font;

// Fills `target` from the TGA file at `path`.
void loadFont(BitmapFont& target, const char* path);
void freeFont(BitmapFont& target);

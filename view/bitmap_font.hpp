#pragma once
// A bitmap font's texels: a strip of square glyph cells from the space character on.

#include <cstdint>

struct BitmapFont {
  std::uint32_t* pixels = nullptr;  // width x height texels, 0x00RRGGBB, top row first
  int height = 0;                   // also the side of every glyph cell
  int width = 0;                    // also the row stride of `pixels`
};

// A font with no glyphs: text in it draws nothing.
inline const BitmapFont kNoGlyphs{};

// Gives back the texels of a font the loader or the built-in glyphs filled.
inline void freeFont(BitmapFont& target) {
  delete[] target.pixels;
  target = BitmapFont{};
}

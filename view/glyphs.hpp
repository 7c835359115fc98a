#pragma once
// The program's own 8 x 8 glyphs for the printable characters, space to tilde,
// and the font image they make: black ink on the transparent key.

#include <cstdint>
#include <vector>

#include "view/font.hpp"

inline constexpr int kGlyphSide = 8;                 // texels per cell side
inline constexpr int kFirstGlyphCode = 32;           // the strip starts at the space character
inline constexpr int kGlyphCount = 95;               // space (32) to tilde (126)
inline constexpr std::uint32_t kGlyphInk = 0x000000;
inline constexpr std::uint32_t kTransparentTexel = 0x300030;

// Fills `target` with the built-in glyphs as one strip image (it owns the texels; freeFont releases them).
void buildBuiltinFont(BitmapFont& target);

// The font image as a file: uncompressed 24-bit TGA, no image ID, rows bottom-up, bytes blue, green, red.
std::vector<std::uint8_t> encodeFontTga(const BitmapFont& source);

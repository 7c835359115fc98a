#pragma once
// The program's own 8 x 8 glyphs for the printable characters, space to tilde,
// and the font image they make: black ink on the transparent key.

#include <cstdint>
#include <vector>

#include "view/bitmap_font.hpp"

inline constexpr int kGlyphSide = 8;                 // texels per cell side
inline constexpr int kFirstGlyphCode = 32;           // the strip starts at the space character
inline constexpr int kGlyphCount = 95;               // space (32) to tilde (126)
inline constexpr std::uint32_t kGlyphInk = 0x000000;
inline constexpr std::uint32_t kTransparentTexel = 0x300030;

// Fills `target` with the built-in glyphs as one strip image (it owns the texels; freeFont releases them).
void buildBuiltinFont(BitmapFont& target);

// The font image's file: uncompressed 24-bit TGA, rows bottom-up, bytes blue, green, red.
// Header fields are bytes at these offsets; width and height are 16 bits, little-endian.
inline constexpr int kTgaHeaderSize = 18;
inline constexpr int kTgaIdLengthAt = 0;  // bytes of image ID between the header and the texels
inline constexpr int kTgaColourMapAt = 1;
inline constexpr int kTgaImageTypeAt = 2;
inline constexpr int kTgaWidthAt = 12;
inline constexpr int kTgaHeightAt = 14;
inline constexpr int kTgaBitsPerPixelAt = 16;
inline constexpr std::uint8_t kTgaNoColourMap = 0;
inline constexpr std::uint8_t kTgaTrueColour = 2;
inline constexpr std::uint8_t kTgaBitsPerPixel = 24;
inline constexpr int kTgaBytesPerTexel = 3;

// The font image as a file, without an image ID.
std::vector<std::uint8_t> encodeFontTga(const BitmapFont& source);
// The built-in glyphs as that file: what the build writes as font.tga.
std::vector<std::uint8_t> builtinFontTga();

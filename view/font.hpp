#pragma once
// The bitmap font: a strip of square glyph cells from the space character on.

#include <cstdint>
#include <string>

#include "core/framebuffer.hpp"
#include "view/bitmap_font.hpp"

// The labels need cells up to "Y": an image with fewer is of no use.
inline constexpr int kRequiredGlyphCells = 'Y' - ' ' + 1;
inline constexpr int kTextAdvance = 8;      // pixels from one character to the next, whatever the cell size
inline constexpr int kTextBufferSize = 256; // formatted text beyond 255 characters is cut off

// Fills `target` from the TGA file at `path`. For a missing or unusable file the
// built-in glyphs take its place and the result is false, with what is wrong in `problem`.
bool loadFont(BitmapFont& target, const char* path, std::string& problem);

// Cell `glyph` with its top-left texel at (x, y). Colour 0 draws the font's own
// colours, any other colour every visible texel in that colour. Cells outside
// the image draw nothing; the picture's edges clip. Public as the font's one drawing
// primitive, which drawText is built on and tests check cell by cell.
void drawGlyph(Framebuffer& picture, const BitmapFont& source, int x, int y, int glyph, std::uint32_t colour);

// printf-style text in `font`, one character every 8 pixels from (x, y).
void drawText(Framebuffer& picture, const BitmapFont& font, int x, int y, std::uint32_t colour, const char* format, ...)
    __attribute__((format(printf, 6, 7)));

#pragma once
// The whole piece as one piano-roll: a column for every analysed block, the
// window's rows, colours and keyboard, a time axis and the names of the C rows.

#include <cstddef>
#include <cstdint>
#include <string>

#include "analysis/note_table.hpp"
#include "core/framebuffer.hpp"
#include "view/font.hpp"
#include "view/palette.hpp"

inline constexpr int kRollHeight = 480;          // the window's rows at the window's heights
inline constexpr int kRollGridLeft = 47;         // first pixel column of the first block
inline constexpr int kRollRightMargin = 32;      // room for the last time label
inline constexpr int kMostRollWidth = 1000000;   // pixels; the PNG library's own limit
inline constexpr int kMostRollScale = 16;        // pixels per block
inline constexpr int kRollLabelSeconds = 10;     // a labelled tick every 10 s, a plain one every second
inline constexpr std::size_t kMostRowLabelGlyphs = 3;  // a row's name that fits left of the keys ("C-1")

struct RollPicture {
  const float* scores = nullptr;             // `blocks` x 72, one block after the other
  long long blocks = 0;
  int scale = 1;                             // pixels per block
  const std::string* rowLabels = nullptr;    // 72 names, empty where a row has none
  const BitmapFont* font = nullptr;
  const int* keyColour = kKeyColours;        // the window's key colours
  const Palette* palette = &kDesignPalette;  // and its colours
};

// Width in pixels of the roll of `blocks` blocks at `scale` pixels each (may exceed kMostRollWidth).
long long rollWidth(long long blocks, int scale);
// Pixel column where second `second` of the analysed blocks starts.
long long rollSecondX(long long second, int scale);

// Draws rows top .. top + band.height - 1 of the roll into `band`, which is rollWidth wide.
void drawRollBand(const RollPicture& roll, int top, Framebuffer& band);

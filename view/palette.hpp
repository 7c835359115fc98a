#pragma once
// The themes: every colour the picture and the roll are drawn in, and how a score
// shades a cell and a key, one palette per theme. The view draws in the palette it is given.

#include <cstdint>

#include "core/theme_choice.hpp"

// A colour that runs with a score: `unlit` at 0, `lit` at full score, each component
// in between in proportion.
struct Shade {
  std::uint32_t unlit;
  std::uint32_t lit;
};

// A mark is drawn through a cell's middle pixel row (of the 5 under the grid line).
inline constexpr int kMarkLine = 3;

// Text drawn in this colour takes the font's own (the program's font inks in black).
inline constexpr std::uint32_t kFontsOwnInk = 0;

struct Palette {
  std::uint32_t background;
  std::uint32_t toolbar;
  std::uint32_t line;         // grid lines, the strips' boxes, slider troughs
  std::uint32_t frame;        // the frame round the grid, slider edges, the roll's ticks
  std::uint32_t text;         // labels and read-outs; kFontsOwnInk: the font's own
  std::uint32_t pickedKey;    // the key the reference tone sounds
  std::uint32_t hoverBand;
  std::uint32_t ruler;
  std::uint32_t marker;
  std::uint32_t cursor;
  std::uint32_t scrubCursor;
  std::uint32_t sliderFill;
  std::uint32_t sliderKnob;
  // Grid cells by row: the A rows, the other white-key rows, the black-key rows.
  Shade aRow;
  Shade whiteRow;
  Shade blackRow;
  // The strips' keys, plain up to the strips' threshold and lit in full at score 1.
  Shade whiteKey;
  Shade blackKey;
  // Whether cells from `markScore` on carry a line of `mark` through their middle: lit
  // notes then differ by shape too, a bar split in two, whatever colours the eye tells apart.
  bool marksLitCells = false;
  float markScore = 1.0f;
  std::uint32_t mark = 0;
};

// The design's colours: lit cells darken toward black, lit keys redden.
inline constexpr Palette kDesignPalette = {
    .background = 0xC0C0D0,
    .toolbar = 0xC0C0D0,
    .line = 0xA0A0A0,
    .frame = 0x000000,
    .text = kFontsOwnInk,
    .pickedKey = 0x44CCFF,
    .hoverBand = 0x66EEFF,
    .ruler = 0xD0D0D0,
    .marker = 0xD07070,
    .cursor = 0xFFE000,
    .scrubCursor = 0xFFFFFF,
    .sliderFill = 0xE07020,
    .sliderKnob = 0x603000,
    .aRow = {0xE0E0E0, 0x000000},
    .whiteRow = {0xC0C0D0, 0x000000},
    .blackRow = {0xC0A0B0, 0x000000},
    .whiteKey = {0xFFFFFF, 0xFF0000},
    .blackKey = {0x000000, 0xFF0000},
};

// Dark: light text on dark grey, lit cells brightening to a warm white.
inline constexpr Palette kDarkPalette = {
    .background = 0x1C1C22,
    .toolbar = 0x26262E,
    .line = 0x34343E,
    .frame = 0x6A6A78,
    .text = 0xE4E4EC,
    .pickedKey = 0x2AA8E0,
    .hoverBand = 0x2E6E80,
    .ruler = 0x50505C,
    .marker = 0xD07070,
    .cursor = 0xFFE000,
    .scrubCursor = 0xFFFFFF,
    .sliderFill = 0xD06818,
    .sliderKnob = 0xFFC890,
    .aRow = {0x32323C, 0xFFE8B0},
    .whiteRow = {0x24242C, 0xFFE8B0},
    .blackRow = {0x18181E, 0xFFE8B0},
    .whiteKey = {0xC8C8D0, 0x801808},  // lit keys darken on white, brighten on black
    .blackKey = {0x101014, 0xFF7040},
};

// Contrast, for colour-blind eyes as well: lit cells go from dark blue to bright yellow,
// so they differ in brightness first and in hue along the blue-yellow axis that
// red-green blindness keeps; every colour pair that matters is far apart in luminance.
inline constexpr Palette kContrastPalette = {
    .background = 0x000000,
    .toolbar = 0x000000,
    .line = 0x383848,
    .frame = 0xA0A0A0,
    .text = 0xFFFFFF,
    .pickedKey = 0x00C0FF,
    .hoverBand = 0x0060C0,
    .ruler = 0x606070,
    .marker = 0xFF40FF,
    .cursor = 0xFFFFFF,
    .scrubCursor = 0x00FFFF,
    .sliderFill = 0xFFD000,
    .sliderKnob = 0xFFFFFF,
    .aRow = {0x141E3A, 0xFFFF60},
    .whiteRow = {0x0C1228, 0xFFFF60},
    .blackRow = {0x06080F, 0xFFFF60},
    .whiteKey = {0x707078, 0xFFFF60},
    .blackKey = {0x181820, 0xFFFF60},
    .marksLitCells = true,
    .markScore = 0.5f,
    .mark = 0x000000,
};

// The palette of `theme`.
const Palette& themePalette(Theme theme);
// The theme named `name` ("design", "dark", "contrast"); false when none is.
bool themeNamed(const char* name, Theme& theme);
// Its name as --theme takes it.
const char* themeName(Theme theme);

// The themes' palettes: whether lit cells, lit keys and text stand out for eyes with the
// common colour-vision deficiencies.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "view/glyphs.hpp"
#include "view/palette.hpp"

namespace {

// Colour-vision deficiency simulated as in Machado, Oliveira and Fernandes, "A Physiologically-based
// Model for Simulation of Color Vision Deficiency", IEEE TVCG 15(6), 2009: their matrices at
// severity 1.0, applied to linear RGB (after decoding sRGB), the result held to 0..1.
using Matrix = double[3][3];
struct Vision {
  const char* name;
  Matrix m;
};
const Vision kVisions[] = {
    {"normal", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    {"protanopia", {{0.152286, 1.052583, -0.204868}, {0.114503, 0.786281, 0.099216}, {-0.003882, -0.048116, 1.051998}}},
    {"deuteranopia", {{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}}},
    {"tritanopia", {{1.255528, -0.076749, -0.178779}, {-0.078411, 0.930809, 0.147602}, {0.004733, 0.691367, 0.303900}}},
};

// WCAG 2 asks 3:1 of graphical objects that carry meaning (success criterion 1.4.11), which a
// lit cell or key is, and 4.5:1 of normal text (1.4.3); the toolbar's 8-pixel text is small.
constexpr double kLeastGraphicContrast = 3.0;
constexpr double kLeastTextContrast = 4.5;
// A cell counts as lit from half the full score on (the strips light a key from a quarter);
// the keys are compared plain and lit in full.
constexpr float kLitScores[] = {0.5f, 0.75f, 1.0f};

double linear(int component) {
  const double c = component / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// WCAG's relative luminance of `colour` as eyes with `vision` see it.
double luminance(std::uint32_t colour, const Vision& vision) {
  const double rgb[3] = {linear(colour >> 16 & 0xFF), linear(colour >> 8 & 0xFF), linear(colour & 0xFF)};
  double seen[3];
  for (int i = 0; i < 3; ++i)
    seen[i] = std::clamp(vision.m[i][0] * rgb[0] + vision.m[i][1] * rgb[1] + vision.m[i][2] * rgb[2], 0.0, 1.0);
  return 0.2126 * seen[0] + 0.7152 * seen[1] + 0.0722 * seen[2];
}

double contrast(std::uint32_t a, std::uint32_t b, const Vision& vision) {
  const double la = luminance(a, vision), lb = luminance(b, vision);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A shade's colour at `score`, as the grid works it out.
std::uint32_t shadeAt(const Shade& shade, float score) {
  std::uint32_t colour = 0;
  for (int shift : {16, 8, 0}) {
    const double unlit = shade.unlit >> shift & 0xFF, lit = shade.lit >> shift & 0xFF;
    colour |= static_cast<std::uint32_t>(std::lround(unlit * (1.0 - score) + lit * score)) << shift;
  }
  return colour;
}

std::uint32_t inkOf(const Palette& palette) { return palette.text == kFontsOwnInk ? kGlyphInk : palette.text; }

// The least contrast, under `vision`, between any lit cell and any unlit cell (of its own
// row kind or a neighbour's), between each kind of key plain and lit, and of the text on the
// toolbar and on the roll's background.
struct Least {
  double cells = 1e9, keys = 1e9, text = 1e9;
};

Least leastContrast(const Palette& palette, const Vision& vision) {
  Least least;
  const Shade* rows[] = {&palette.aRow, &palette.whiteRow, &palette.blackRow};
  for (const Shade* lit : rows)
    for (const Shade* unlit : rows)
      for (float score : kLitScores)
        least.cells = std::min(least.cells, contrast(shadeAt(*lit, score), unlit->unlit, vision));
  for (const Shade* key : {&palette.whiteKey, &palette.blackKey})
    least.keys = std::min(least.keys, contrast(key->unlit, key->lit, vision));
  for (std::uint32_t ground : {palette.toolbar, palette.background})
    least.text = std::min(least.text, contrast(inkOf(palette), ground, vision));
  return least;
}

struct ThemeCase {
  Theme theme;
  bool mustPass;  // the design's colours are kept as they are, whatever they measure
};

class ThemeContrast : public ::testing::TestWithParam<ThemeCase> {};

TEST_P(ThemeContrast, LitCellsKeysAndTextStandOutForEveryVision) {
  const Palette& palette = themePalette(GetParam().theme);
  for (const Vision& vision : kVisions) {
    const Least least = leastContrast(palette, vision);
    std::printf("%-8s %-12s cells %5.2f  keys %5.2f  text %5.2f\n", themeName(GetParam().theme), vision.name,
                least.cells, least.keys, least.text);
    if (!GetParam().mustPass) continue;
    EXPECT_GE(least.cells, kLeastGraphicContrast) << vision.name;
    EXPECT_GE(least.keys, kLeastGraphicContrast) << vision.name;
    EXPECT_GE(least.text, kLeastTextContrast) << vision.name;
  }
}

// Where lit cells carry a mark, the mark must show on every lit cell for every vision too.
TEST(ThemeContrast, MarksStandOutOnTheCellsTheyMark) {
  for (int t = 0; t < kThemeCount; ++t) {
    const Palette& palette = themePalette(Theme(t));
    if (!palette.marksLitCells) continue;
    for (const Vision& vision : kVisions)
      for (const Shade* shade : {&palette.aRow, &palette.whiteRow, &palette.blackRow})
        for (float score : {palette.markScore, 1.0f})
          EXPECT_GE(contrast(palette.mark, shadeAt(*shade, score), vision), kLeastGraphicContrast)
              << themeName(Theme(t)) << " " << vision.name << " " << score;
  }
}

INSTANTIATE_TEST_SUITE_P(Themes, ThemeContrast,
                         ::testing::Values(ThemeCase{Theme::Design, false}, ThemeCase{Theme::Dark, true},
                                           ThemeCase{Theme::Contrast, true}),
                         [](const auto& info) { return std::string(themeName(info.param.theme)); });

// The simulation itself, against values worked out by hand: white stays white and black
// black under every matrix (each row sums to 1), and pure red darkens for a protanope.
TEST(ColourVision, WhiteAndBlackKeepTheirLuminanceRedDarkensForProtanopes) {
  for (const Vision& vision : kVisions) {
    EXPECT_NEAR(luminance(0xFFFFFF, vision), 1.0, 1e-5) << vision.name;
    EXPECT_EQ(luminance(0x000000, vision), 0.0) << vision.name;
  }
  EXPECT_NEAR(contrast(0xFFFFFF, 0x000000, kVisions[0]), 21.0, 1e-9);
  EXPECT_NEAR(luminance(0xFF0000, kVisions[0]), 0.2126, 1e-9);
  EXPECT_LT(luminance(0xFF0000, kVisions[1]), 0.6 * luminance(0xFF0000, kVisions[0]));
}

}  // namespace

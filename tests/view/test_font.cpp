// The font image: reading the TGA strip, falling back to the built-in glyphs, drawing glyphs and text.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>


#include "picture.hpp"
#include "system_calls.hpp"

namespace {

constexpr std::uint32_t kTransparent = 0x300030;

// An uncompressed 24-bit TGA header; `texels` follow as given (bottom row first, blue-green-red).
std::vector<std::uint8_t> tgaFile(int width, int height, int idLength, const std::vector<std::uint8_t>& texels,
                                  std::uint8_t imageType = 2, std::uint8_t depth = 24) {
  std::vector<std::uint8_t> bytes(18, 0);
  bytes[0] = static_cast<std::uint8_t>(idLength);
  bytes[2] = imageType;
  bytes[12] = static_cast<std::uint8_t>(width & 0xFF);
  bytes[13] = static_cast<std::uint8_t>(width >> 8);
  bytes[14] = static_cast<std::uint8_t>(height & 0xFF);
  bytes[15] = static_cast<std::uint8_t>(height >> 8);
  bytes[16] = depth;
  for (int i = 0; i < idLength; ++i) bytes.push_back(0x77);
  for (std::uint8_t byte : texels) bytes.push_back(byte);
  return bytes;
}

// A strip of `cells` 1 x 1 cells: texel g has blue g, green 0x20, red 0x30, except those listed as transparent.
std::vector<std::uint8_t> oneTexelCells(int cells) {
  std::vector<std::uint8_t> texels;
  for (int g = 0; g < cells; ++g) {
    texels.push_back(static_cast<std::uint8_t>(g));
    texels.push_back(0x20);
    texels.push_back(0x30);
  }
  return texels;
}

// Font files live in the test's temporary directory and are removed after each test.
class FontFile : public ::testing::Test {
 protected:
  BitmapFont loaded;
  std::vector<std::string> written;
  std::string problem;  // what the last refused load said was wrong

  std::string writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = ::testing::TempDir() + std::to_string(test_system::processId()) + "-" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    written.push_back(path);
    return path;
  }
  bool load(const std::string& path) { return loadFont(loaded, path.c_str(), problem); }
  void TearDown() override {
    freeFont(loaded);
    for (const std::string& path : written) std::remove(path.c_str());
  }
};

TEST_F(FontFile, PixelDataStartsAfterTheImageId) {
  for (int idLength : {0, 5}) {
    ASSERT_TRUE(load(writeFile("font-id.tga", tgaFile(64, 1, idLength, oneTexelCells(64))))) << idLength;
    EXPECT_EQ(loaded.width, 64);
    EXPECT_EQ(loaded.height, 1);
    EXPECT_EQ(loaded.pixels[0], 0x302000u) << idLength;  // bytes blue, green, red
    EXPECT_EQ(loaded.pixels[63], 0x30203Fu) << idLength;
  }
}

TEST_F(FontFile, RowsRunBottomUpAndBytesAreBlueGreenRed) {
  // 58 cells of 2 x 2: the file's first row is the image's bottom row.
  std::vector<std::uint8_t> texels;
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 116; ++column) {
      const bool first = row == 0 && column == 0;
      texels.insert(texels.end(), {first ? std::uint8_t{0x30} : std::uint8_t{0x10}, first ? std::uint8_t{0x00} : std::uint8_t{0x20},
                                   first ? std::uint8_t{0x30} : static_cast<std::uint8_t>(0x30 + row)});
    }
  ASSERT_TRUE(load(writeFile("font-rows.tga", tgaFile(116, 2, 0, texels))));
  EXPECT_EQ(loaded.pixels[1 * 116 + 0], kTransparent);  // bottom-left: the key, from the first bytes
  EXPECT_EQ(loaded.pixels[1 * 116 + 1], 0x302010u);     // bottom row
  EXPECT_EQ(loaded.pixels[0 * 116 + 1], 0x312010u);     // top row, from the file's second row
}

struct BadFile {
  const char* what;
  std::vector<std::uint8_t> bytes;
};

TEST_F(FontFile, AnUnusableFileFallsBackToTheBuiltInGlyphs) {
  const std::vector<std::uint8_t> good = tgaFile(64, 1, 0, oneTexelCells(64));
  std::vector<std::uint8_t> cutShort = good;
  cutShort.pop_back();
  const BadFile files[] = {
      {"header cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 17)},
      {"pixel data cut short", cutShort},
      {"id cut short", tgaFile(64, 1, 200, {})},
      {"run-length compressed", tgaFile(64, 1, 0, oneTexelCells(64), 10)},
      {"32 bits per texel", tgaFile(64, 1, 0, oneTexelCells(64), 2, 32)},
      {"no height", tgaFile(64, 0, 0, {})},
      {"fewer cells than the labels need", tgaFile(57, 1, 0, oneTexelCells(57))},
      {"empty", {}},
  };
  BitmapFont builtIn;
  buildBuiltinFont(builtIn);
  for (const BadFile& file : files) {
    EXPECT_FALSE(load(writeFile("font-bad.tga", file.bytes))) << file.what;
    ASSERT_EQ(loaded.width, builtIn.width) << file.what;
    ASSERT_EQ(loaded.height, builtIn.height) << file.what;
    EXPECT_TRUE(std::equal(loaded.pixels, loaded.pixels + loaded.width * loaded.height, builtIn.pixels)) << file.what;
  }
  freeFont(builtIn);
}

TEST_F(FontFile, AMissingFileFallsBackToTheBuiltInGlyphs) {
  EXPECT_FALSE(load(::testing::TempDir() + "font-none.tga"));
  EXPECT_EQ(loaded.width, kGlyphCount * kGlyphSide);
  EXPECT_EQ(loaded.height, kGlyphSide);
}

// A FIFO with no writer would block start-up for good; a directory is no image either.
TEST_F(FontFile, AFifoOrADirectoryIsRefusedAtOnceWithWhatItIs) {
  const std::string fifo = ::testing::TempDir() + std::to_string(test_system::processId()) + "-font-fifo.tga";
  const std::string folder = ::testing::TempDir() + std::to_string(test_system::processId()) + "-font-dir.tga";
  const std::string notRegular = test_system::notRegularFile(fifo);
  ASSERT_FALSE(notRegular.empty());
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  const std::pair<std::string, const char*> cases[] = {{notRegular, "is not a regular file"}, {folder, "is a directory"}};
  for (const auto& [path, says] : cases) {
    EXPECT_FALSE(load(path)) << path;
    EXPECT_NE(problem.find(says), std::string::npos) << problem;
    EXPECT_EQ(loaded.width, kGlyphCount * kGlyphSide) << path;
  }
  std::filesystem::remove(fifo);
  std::filesystem::remove(folder);
}

TEST_F(FontFile, TheImageTheBuildWritesLoadsAsTheBuiltInGlyphs) {
  BitmapFont builtIn;
  buildBuiltinFont(builtIn);
  ASSERT_TRUE(load(writeFile("font-built.tga", encodeFontTga(builtIn))));
  ASSERT_EQ(loaded.width, builtIn.width);
  EXPECT_TRUE(std::equal(loaded.pixels, loaded.pixels + loaded.width * loaded.height, builtIn.pixels));
  freeFont(builtIn);
}

TEST(BuiltInGlyphs, EveryPrintableCharacterButSpaceHasInkAndNoTwoLookAlike) {
  BitmapFont glyphs;
  buildBuiltinFont(glyphs);
  auto cell = [&](int g) {
    std::vector<std::uint32_t> texels;
    for (int r = 0; r < kGlyphSide; ++r)
      for (int k = 0; k < kGlyphSide; ++k) texels.push_back(glyphs.pixels[r * glyphs.width + g * kGlyphSide + k]);
    return texels;
  };
  for (int g = 0; g < kGlyphCount; ++g) {
    const std::vector<std::uint32_t> texels = cell(g);
    for (std::uint32_t texel : texels) ASSERT_TRUE(texel == kGlyphInk || texel == kTransparentTexel);
    const bool inked = std::count(texels.begin(), texels.end(), kGlyphInk) > 0;
    EXPECT_EQ(inked, g != 0) << "character " << static_cast<char>(g + kFirstGlyphCode);
    for (int other = 0; other < g; ++other)
      EXPECT_NE(texels, cell(other)) << static_cast<char>(g + 32) << " and " << static_cast<char>(other + 32);
  }
  freeFont(glyphs);
}

// A strip of 1 x 1 cells whose texels are all visible: one pixel per character shows where it went.
class OneTexelText : public ::testing::Test {
 protected:
  GuardedPicture picture;
  void SetUp() override {
    freeFont(font);
    font.width = kGlyphCount;  // no cell for the code 127
    font.height = 1;
    font.pixels = new std::uint32_t[kGlyphCount];
    for (int g = 0; g < kGlyphCount; ++g) font.pixels[g] = 0x010000u * static_cast<std::uint32_t>(g + 1);
    font.pixels[1] = kTransparent;  // "!" is all transparent
  }
  void TearDown() override { freeFont(font); }
};

TEST_F(OneTexelText, CharactersAdvanceEightPixelsAndTheKeyIsNeverDrawn) {
  drawText(framebuffer, font, 272, 7, 0, "SOFT DISPLAY: OFF");
  EXPECT_EQ(at(272, 7), 0x010000u * ('S' - 31));
  EXPECT_EQ(at(400, 7), 0x010000u * ('F' - 31));  // the 17th character
  drawText(framebuffer, font, 0, 0, 0, "!");
  EXPECT_EQ(at(0, 0), 0u);
}

TEST_F(OneTexelText, FlatColourReplacesEveryVisibleTexelBlackIncluded) {
  font.pixels[0] = 0x000000;  // the space cell drawn black in its own colour
  drawText(framebuffer, font, 0, 0, 0, " ");
  drawText(framebuffer, font, 8, 0, 0x123456, " ");
  EXPECT_EQ(at(0, 0), 0u);
  EXPECT_EQ(at(8, 0), 0x123456u);
}

TEST_F(OneTexelText, CharactersWithoutACellDrawNothing) {
  drawText(framebuffer, font, 0, 0, 0x777777, "\x1f\x7f\x80\xff%s", "");
  EXPECT_EQ(picture.countPixels(0x777777), 0);
  drawText(framebuffer, font, 0, 1, 0x777777, "%s", "");
  EXPECT_EQ(picture.countPixels(0x777777), 0);
}

TEST_F(OneTexelText, FormattedTextStopsAt255Characters) {
  const std::string text(300, 'A');
  drawText(framebuffer, font, -8 * 250, 3, 0x777777, "%s", text.c_str());
  EXPECT_EQ(picture.countPixels(0x777777), 5);  // characters 250 to 254 land at x 0 to 32
  EXPECT_EQ(at(32, 3), 0x777777u);
  EXPECT_EQ(at(40, 3), 0u);
}

TEST_F(OneTexelText, GlyphsOverTheEdgesAreClipped) {
  drawText(framebuffer, font, 636, 479, 0x777777, "AAAA");
  drawText(framebuffer, font, -16, -1, 0x777777, "AAAA");
  drawGlyph(framebuffer, font, 639, 479, 33, 0x777777);
  EXPECT_EQ(picture.countPixels(0x777777), 1 + 1);
  EXPECT_TRUE(picture.guardsIntact());
}

TEST(DrawGlyph, EightByEightGlyphsAreClippedAtEveryEdge) {
  GuardedPicture picture;
  BitmapFont glyphs;
  buildBuiltinFont(glyphs);
  for (int x : {-7, 636}) {
    for (int y : {-7, 476}) drawGlyph(framebuffer, glyphs, x, y, '#' - 32, 0x777777);
  }
  drawGlyph(framebuffer, glyphs, 10, 10, -1, 0x777777);
  drawGlyph(framebuffer, glyphs, 10, 10, kGlyphCount, 0x777777);
  EXPECT_TRUE(picture.guardsIntact());
  EXPECT_GT(picture.countPixels(0x777777), 0);
  freeFont(glyphs);
}

}  // namespace

#include "view/font.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/framebuffer.hpp"
#include "platform/regular_file.hpp"
#include "view/glyphs.hpp"


namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

int littleEndian16(const std::uint8_t* bytes) { return bytes[0] | bytes[1] << 8; }

long fileSize(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(file);
  if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
  return size;
}

// Reads the strip from an uncompressed 24-bit TGA with rows bottom-up; on failure says why.
bool readTgaFont(BitmapFont& target, const char* path, std::string& problem) {
  const int fd = openRegularFile(path, problem);
  if (fd < 0) return false;
  std::FILE* raw = streamOnFile(fd, "rb");
  if (raw == nullptr) {
    problem = std::strerror(errno);
    return false;
  }
  std::unique_ptr<std::FILE, FileCloser> file(raw);
  const long size = fileSize(raw);
  std::uint8_t header[kTgaHeaderSize];
  if (size < kTgaHeaderSize || std::fread(header, 1, kTgaHeaderSize, raw) != kTgaHeaderSize) {
    problem = "too short for a TGA header";
    return false;
  }
  const int idLength = header[kTgaIdLengthAt];
  const int width = littleEndian16(header + kTgaWidthAt);
  const int height = littleEndian16(header + kTgaHeightAt);
  if (header[kTgaColourMapAt] != kTgaNoColourMap || header[kTgaImageTypeAt] != kTgaTrueColour ||
      header[kTgaBitsPerPixelAt] != kTgaBitsPerPixel) {
    problem = "not an uncompressed 24-bit TGA image";
    return false;
  }
  if (height == 0 || width / height < kRequiredGlyphCells) {
    problem = "holds fewer than " + std::to_string(kRequiredGlyphCells) + " square glyph cells";
    return false;
  }
  const long long dataSize = static_cast<long long>(kTgaBytesPerTexel) * width * height;
  if (size - kTgaHeaderSize - idLength < dataSize) {
    problem = "pixel data cut short";
    return false;
  }
  std::vector<std::uint8_t> data(static_cast<std::size_t>(dataSize));
  if (std::fseek(raw, kTgaHeaderSize + idLength, SEEK_SET) != 0 ||
      std::fread(data.data(), 1, data.size(), raw) != data.size()) {
    problem = "pixel data cannot be read";
    return false;
  }
  target.pixels = new std::uint32_t[static_cast<std::size_t>(width) * height];
  target.width = width;
  target.height = height;
  const std::uint8_t* texel = data.data();
  for (int row = height - 1; row >= 0; --row) {
    for (int column = 0; column < width; ++column, texel += kTgaBytesPerTexel)
      target.pixels[static_cast<std::size_t>(row) * width + column] = texel[0] | texel[1] << 8 | texel[2] << 16;
  }
  return true;
}

}  // namespace

bool loadFont(BitmapFont& target, const char* path, std::string& problem) {
  freeFont(target);
  if (readTgaFont(target, path, problem)) return true;
  buildBuiltinFont(target);
  return false;
}

void drawGlyph(Framebuffer& picture, const BitmapFont& source, int x, int y, int glyph, std::uint32_t colour) {
  const int side = source.height;
  if (source.pixels == nullptr || side <= 0 || glyph < 0 || glyph >= source.width / side) return;
  for (int row = 0; row < side; ++row) {
    const long long pictureY = static_cast<long long>(y) + row;
    if (pictureY < 0 || pictureY >= picture.height) continue;
    const std::uint32_t* cell = source.pixels + static_cast<std::size_t>(row) * source.width +
                                static_cast<std::size_t>(glyph) * side;
    std::uint32_t* out = picture.pixels + pictureY * picture.pitch;
    for (int column = 0; column < side; ++column) {
      const long long pictureX = static_cast<long long>(x) + column;
      if (pictureX < 0 || pictureX >= picture.width || cell[column] == kTransparentTexel) continue;
      const std::uint32_t pixel = colour == 0 ? cell[column] : colour;
      if (out[pictureX] == pixel) continue;
      out[pictureX] = pixel;
      markRowChanged(picture, pictureY);
    }
  }
}

void drawText(Framebuffer& picture, const BitmapFont& font, int x, int y, std::uint32_t colour, const char* format, ...) {
  char text[kTextBufferSize];
  va_list arguments;
  va_start(arguments, format);
  const int formatted = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (formatted <= 0) return;
  for (int i = 0; text[i] != '\0'; ++i) {
    const long long glyphX = static_cast<long long>(x) + static_cast<long long>(kTextAdvance) * i;
    if (glyphX >= picture.width) break;
    if (glyphX + font.height <= 0) continue;
    drawGlyph(picture, font, static_cast<int>(glyphX), y, static_cast<signed char>(text[i]) - kFirstGlyphCode, colour);
  }
}

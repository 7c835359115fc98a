#include "view/draw.hpp"

#include <algorithm>
#include <cstring>

#include "core/framebuffer.hpp"

namespace {

constexpr int kPixelsPerStep = 8;  // the inner loops write this many pixels per pass

// One run of `count` pixels: 8 at a time, then the 0 to 7 left over.
inline void fillRun(std::uint32_t* out, int count, std::uint32_t colour) {
  int i = 0;
  for (; i + kPixelsPerStep <= count; i += kPixelsPerStep) {
    out[i] = colour;
    out[i + 1] = colour;
    out[i + 2] = colour;
    out[i + 3] = colour;
    out[i + 4] = colour;
    out[i + 5] = colour;
    out[i + 6] = colour;
    out[i + 7] = colour;
  }
  for (; i < count; ++i) out[i] = colour;
}

}  // namespace

// No early exit: the loop vectorises.
bool runIs(const std::uint32_t* run, int count, std::uint32_t colour) {
  std::uint32_t differs = 0;
  for (int i = 0; i < count; ++i) differs |= run[i] ^ colour;
  return differs == 0;
}

void clearScreen(Framebuffer& picture, std::uint32_t colour) {
  for (int y = 0; y < kPictureHeight; ++y) {
    fillRun(picture.pixels + y * picture.pitch, kPictureWidth, colour);
    markRowChanged(picture, y);
  }
}

void fillRect(Framebuffer& picture, int x, int y, int width, int height, std::uint32_t colour) {
  // Clip in 64 bits: x + width must not overflow for extreme arguments.
  const long long left = std::max<long long>(x, 0);
  const long long top = std::max<long long>(y, 0);
  const long long right = std::min<long long>(static_cast<long long>(x) + width, picture.width);
  const long long bottom = std::min<long long>(static_cast<long long>(y) + height, picture.height);
  if (left >= right || top >= bottom) return;
  const int runLength = static_cast<int>(right - left);
  std::uint32_t* row = picture.pixels + top * picture.pitch + left;
  for (long long line = top; line < bottom; ++line, row += picture.pitch) {
    // A row that stands still stays unmarked; a picture no window shows has no marks to keep.
    if (picture.changedRows != nullptr && runIs(row, runLength, colour)) continue;
    fillRun(row, runLength, colour);
    markRowChanged(picture, line);
  }
}

namespace {

// The part of a row run inside the picture, or null when none of it is.
std::uint32_t* clippedSpan(Framebuffer& picture, int x, int y, const std::uint32_t*& colours, int& count) {
  if (y < 0 || y >= picture.height || count <= 0) return nullptr;
  const long long left = std::max<long long>(x, 0);
  const long long right = std::min<long long>(static_cast<long long>(x) + count, picture.width);
  if (left >= right) return nullptr;
  colours += left - x;
  count = static_cast<int>(right - left);
  return picture.pixels + static_cast<long long>(y) * picture.pitch + left;
}

}  // namespace

void drawSpan(Framebuffer& picture, int x, int y, const std::uint32_t* colours, int count) {
  std::uint32_t* out = clippedSpan(picture, x, y, colours, count);
  if (out == nullptr) return;
  const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(std::uint32_t);
  // A picture that stands still is only read, not rewritten: no cache line turns dirty.
  if (picture.changedRows != nullptr && std::memcmp(out, colours, bytes) == 0) return;
  std::memcpy(out, colours, bytes);
  markRowChanged(picture, y);
}

void replaceSpan(Framebuffer& picture, int x, int y, const std::uint32_t* colours, int count) {
  std::uint32_t* out = clippedSpan(picture, x, y, colours, count);
  if (out == nullptr) return;
  std::memcpy(out, colours, static_cast<std::size_t>(count) * sizeof(std::uint32_t));
  markRowChanged(picture, y);
}

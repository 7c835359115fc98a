#pragma once
// Pictures written out as 8-bit RGB PNG.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "core/framebuffer.hpp"

// Writes the picture as an 8-bit RGB PNG into an open file; false with a reason.
bool writePicturePng(std::FILE* file, const Framebuffer& picture, std::string& reason);
// The same for a picture made a row at a time: `row(y)` gives `width` pixels of row y, top first.
using PngRowSource = std::function<const std::uint32_t*(int y)>;
bool writePngRows(std::FILE* file, int width, int height, const PngRowSource& row, std::string& reason);

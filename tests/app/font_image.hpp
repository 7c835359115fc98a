#pragma once
// The font image the build writes, put where a test's run looks for it.

#include <fstream>

#include "view/glyphs.hpp"

inline void writeFontImage(const char* path) {
  const std::vector<std::uint8_t> image = builtinFontTga();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

// Any bytes as font.tga: loaded, or refused with the built-in glyphs in its place.
#include "fuzz_file.hpp"
#include "view/font.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string path = fuzzScratchFile(".tga", data, size);
  BitmapFont loaded;
  std::string problem;
  loadFont(loaded, path.c_str(), problem);
  if (loaded.pixels == nullptr || loaded.height <= 0 || loaded.width / loaded.height < kRequiredGlyphCells)
    __builtin_trap();  // loaded or not, the program must have glyphs to draw
  freeFont(loaded);
  return 0;
}

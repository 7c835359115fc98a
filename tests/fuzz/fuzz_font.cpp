// Any bytes as font.tga: loaded, or refused with the built-in glyphs in its place.
#include "app/quiet_stderr.hpp"
#include "fuzz_file.hpp"
#include "view/font.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string path = fuzzScratchFile(".tga", data, size);
  BitmapFont loaded;
  {
    QuietStderr quiet;  // a refusal says so on stderr, once per input
    loadFont(loaded, path.c_str());
  }
  if (loaded.pixels == nullptr || loaded.height <= 0 || loaded.width / loaded.height < kRequiredGlyphCells)
    __builtin_trap();  // loaded or not, the program must have glyphs to draw
  freeFont(loaded);
  return 0;
}

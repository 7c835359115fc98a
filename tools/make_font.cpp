// Writes the program's built-in glyphs as the font image it loads at start-up.

#include <cstdio>
#include <string>

#include "app/exit_status.hpp"
#include "view/font.hpp"
#include "view/glyphs.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "sonavel: usage: %s OUTPUT.tga\n", argv[0]);
    return kExitUsage;
  }
  const std::vector<std::uint8_t> image = builtinFontTga();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror((std::string("sonavel: ") + argv[1]).c_str());
    return kExitWriteFailed;
  }
  const bool written = std::fwrite(image.data(), 1, image.size(), out) == image.size();
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "sonavel: cannot write %s\n", argv[1]);
    return kExitWriteFailed;
  }
  return kExitSuccess;
}

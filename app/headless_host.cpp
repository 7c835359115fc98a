#include "app/headless_host.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

bool ScriptKeys::readState(KeyStates& keys) {
  std::memcpy(keys, keys_, sizeof keys_);
  return true;
}

HeadlessHost::HeadlessHost() : shownPixels_(static_cast<std::size_t>(kPictureWidth) * kPictureHeight, 0) {
  shown_.pixels = shownPixels_.data();
  const char* everyFrame = std::getenv("SONAVEL_DRAW_EVERY_FRAME");
  everyFrame_ = everyFrame != nullptr && std::strcmp(everyFrame, "1") == 0;
}

void HeadlessHost::present(const Framebuffer& picture) {
  for (int y = 0; y < kPictureHeight; ++y) {
    const std::uint32_t* row = picture.pixels + static_cast<std::ptrdiff_t>(y) * picture.pitch;
    std::copy(row, row + kPictureWidth, shownPixels_.data() + static_cast<std::ptrdiff_t>(y) * kPictureWidth);
  }
}

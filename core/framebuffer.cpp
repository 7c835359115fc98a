#include "core/framebuffer.hpp"

namespace {
std::uint32_t framebufferPixels[kPictureWidth * kPictureHeight];
bool framebufferChangedRows[kPictureHeight];
}

Framebuffer framebuffer;

void createFramebuffer() {
  framebuffer.width = kPictureWidth;
  framebuffer.height = kPictureHeight;
  framebuffer.pitch = kPictureWidth;
  framebuffer.pixels = framebufferPixels;
  framebuffer.changedRows = framebufferChangedRows;
  for (bool& changed : framebufferChangedRows) changed = true;
}

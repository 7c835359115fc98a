#include "core/framebuffer.hpp"

Framebuffer pictureOn(PictureStorage& storage) {
  for (bool& changed : storage.changedRows) changed = true;
  return Framebuffer{kPictureWidth, kPictureHeight, kPictureWidth, storage.pixels, storage.changedRows};
}

#include "platform/screen_room.hpp"

#include <SDL.h>

#include <algorithm>

#include "platform/desktop_dpi.hpp"

namespace {

// The monitor's density as SDL works it out from the size the monitor reports; 0 when it reports none.
double displayDpi(int display) {
  float horizontal = 0, vertical = 0;
  if (SDL_GetDisplayDPI(display, nullptr, &horizontal, &vertical) != 0) return 0;
  return std::min(horizontal, vertical);
}

}  // namespace

ScreenRoom screenRoomOf(SDL_Window* window) {
  ScreenRoom room;
  const int display = std::max(SDL_GetWindowDisplayIndex(window), 0);
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(display, &usable) == 0) {
    room.usableWidth = usable.w;
    room.usableHeight = usable.h;
  }
  room.desktopDpi = desktopDpi(window);
  if (!(room.desktopDpi > 0)) room.desktopDpi = displayDpi(display);
  return room;
}

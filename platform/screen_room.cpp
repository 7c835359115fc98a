#include "platform/screen_room.hpp"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Xft.dpi is what the desktop set for its own scale (GNOME and KDE write 192 at 200 %); Xft
// reads it through the resource database, falling back to ~/.Xdefaults, as this does.
double xftDpi(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return 0;
  const char* text = XGetDefault(info.info.x11.display, "Xft", "dpi");
  if (text == nullptr) return 0;
  char* end = nullptr;
  const double dpi = std::strtod(text, &end);
  return end != text ? dpi : 0;
}

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
  room.desktopDpi = xftDpi(window);
  if (!(room.desktopDpi > 0)) room.desktopDpi = displayDpi(display);
  return room;
}

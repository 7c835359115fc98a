#include "platform/desktop_dpi.hpp"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>

// Xft.dpi is what the desktop set for its own scale (GNOME and KDE write 192 at 200 %); Xft
// reads it through the resource database, falling back to ~/.Xdefaults, as this does.
double desktopDpi(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return 0;
  const char* text = XGetDefault(info.info.x11.display, "Xft", "dpi");
  if (text == nullptr) return 0;
  char* end = nullptr;
  const double dpi = std::strtod(text, &end);
  return end != text ? dpi : 0;
}

// Xft.dpi holds for every monitor and is read once by Xlib: there is no change to follow.
void watchDesktopDpi(SDL_Window*) {}

bool takeDesktopDpiChange() { return false; }

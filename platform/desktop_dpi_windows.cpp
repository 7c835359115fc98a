#include "platform/desktop_dpi.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <windows.h>

// The window's DPI as Windows 10 (1607 on) tells it; a program that has not declared itself DPI
// aware is told 96 and Windows itself stretches its window to the desktop's scale.
double desktopDpi(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_WINDOWS) return 0;
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return dpiForWindow != nullptr ? static_cast<double>(dpiForWindow(info.info.win.window)) : 0;
}

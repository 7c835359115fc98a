#include "platform/desktop_dpi.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <windows.h>

namespace {

constexpr UINT kDpiChangedMessage = 0x02E0;  // WM_DPICHANGED, which older headers lack

// The watched window and SDL's own procedure for it, which every message still reaches.
HWND watched = nullptr;
WNDPROC sdlProcedure = nullptr;
// Set and taken on the thread that pumps the window's messages: the main thread.
bool dpiChanged = false;

HWND handleOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_WINDOWS)
    return nullptr;
  return info.info.win.window;
}

// WM_DPICHANGED is sent, not posted, so SDL's message hook never sees it: the window's procedure
// is wrapped instead. SDL's own handling keeps the client area's size in pixels.
LRESULT CALLBACK noteDpiChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kDpiChangedMessage) dpiChanged = true;
  return CallWindowProcW(sdlProcedure, window, message, wParam, lParam);
}

}  // namespace

// The window's DPI as Windows 10 (1607 on) tells it; a program that has not declared itself DPI
// aware is told 96 and Windows itself stretches its window to the desktop's scale.
double desktopDpi(SDL_Window* window) {
  const HWND handle = handleOf(window);
  if (handle == nullptr) return 0;
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return dpiForWindow != nullptr ? static_cast<double>(dpiForWindow(handle)) : 0;
}

void watchDesktopDpi(SDL_Window* window) {
  if (watched != nullptr && IsWindow(watched))
    SetWindowLongPtrW(watched, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sdlProcedure));
  watched = nullptr;
  sdlProcedure = nullptr;
  dpiChanged = false;
  const HWND handle = handleOf(window);
  if (handle == nullptr) return;
  sdlProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&noteDpiChange)));
  if (sdlProcedure != nullptr) watched = handle;
}

bool takeDesktopDpiChange() {
  const bool changed = dpiChanged;
  dpiChanged = false;
  return changed;
}

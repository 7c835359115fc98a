#pragma once
// The scale the desktop itself is set to, as a DPI (96 at 100 %), where the system tells it, and
// whether the window has since moved to a monitor of another scale.

struct SDL_Window;

// 0 where the desktop does not say; the caller falls back to the display's own DPI.
double desktopDpi(SDL_Window* window);

// Starts noting the window's moves to a monitor of another scale, where the system tells of them
// (Windows' WM_DPICHANGED; X11 has one scale for the whole desktop); nullptr stops.
void watchDesktopDpi(SDL_Window* window);
// True once after such a move was noted.
bool takeDesktopDpiChange();

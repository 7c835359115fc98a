#pragma once
// The scale the desktop itself is set to, as a DPI (96 at 100 %), where the system tells it.

struct SDL_Window;

// 0 where the desktop does not say; the caller falls back to the display's own DPI.
double desktopDpi(SDL_Window* window);

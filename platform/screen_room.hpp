#pragma once
// What SDL and the window system tell of the screen a window is on: the room
// left by panels and docks, and the desktop's scale.

#include "platform/window_scale.hpp"

struct SDL_Window;

// The usable bounds of the window's display; the DPI from X11's Xft.dpi resource, the
// desktop's own setting where it has one, else the display's DPI as SDL reports it.
ScreenRoom screenRoomOf(SDL_Window* window);

#pragma once
// What SDL and the window system tell of the screen a window is on: the room
// left by panels and docks, and the desktop's scale.

#include "platform/window_scale.hpp"

struct SDL_Window;

// The usable bounds of the window's display; the DPI the desktop is set to where the system
// tells it (desktop_dpi.hpp), else the display's DPI as SDL reports it.
ScreenRoom screenRoomOf(SDL_Window* window);

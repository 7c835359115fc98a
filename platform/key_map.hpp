#pragma once
// SDL scancodes (physical keys) to DirectInput key codes.

// The DirectInput code of an SDL scancode, 0 when the key has none.
int directInputCode(int sdlScancode);

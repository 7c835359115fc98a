#pragma once
// SDL scancodes (physical keys) to DirectInput key codes.

#include "core/keyboard.hpp"

// The DirectInput code of an SDL scancode, 0 when the key has none.
int directInputCode(int sdlScancode);
// SDL's keyboard state (`count` scancodes) as a snapshot of DirectInput codes.
// Walks the keys that have a code, not every scancode: it runs at every frame step.
void mapKeyboardState(const unsigned char* state, int count, KeyStates& keys);

#pragma once
// The user's controls: key commands once per frame step, pointer rules inside the view.

class KeyboardDevice;

// Enter, Space, Home, End, Delete; clears `autoPlay` while not frozen.
void handleKeyCommands(const KeyboardDevice& keys);

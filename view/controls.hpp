#pragma once
// The user's controls: key commands once per frame step, pointer rules inside the view.

#include <cstdint>

class KeyboardDevice;

// Enter, Space, Home, End, Delete, A; clears `autoPlay` while not frozen.
void handleKeyCommands(const KeyboardDevice& keys);

// Pointer rules, in the order the view applies them.
// Left button on the grid while frozen: the cursor follows the pointer. Returns this frame's cursor colour.
std::uint32_t applyScrubbing();
// Right button on a row or a bottom-strip key while frozen: picks the reference tone, drawing the hover band
// when the row was picked by height.
void applyTonePick();
// Markers exist only while frozen.
void clearMarkersWhileLive();
// Left button in the toolbar: GAIN and VOL follow the pointer, SOFT DISPLAY switches once per press.
void applyToolbarInput();
// The analysed input's factor: the GAIN slider cubed (left alone while automatic gain sets it).
void updateInputGain();
// Puts the GAIN slider at the cube root of `gain` (at most the trough's end), so `updateInputGain`
// sets that gain.
void setGainSlider(double gain);
// Switches automatic gain on (from the present gain) or off.
void setAutoGain(bool on);
// After a block is scored with automatic gain on: the gain and the slider for the blocks that follow.
void followInputLevel();

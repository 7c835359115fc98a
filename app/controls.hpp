#pragma once
// The user's controls: key commands once per frame step, pointer rules once per frame.

#include <cstdint>

#include "view/view_frame.hpp"

class KeyboardDevice;
struct TunerState;

// Enter, Space, Home, End, Delete, A, D, T; clears `autoPlay` while not frozen.
void handleKeyCommands(TunerState& tuner, const KeyboardDevice& keys);

// The pointer rules of one frame, in their fixed order (scrubbing, tone pick, markers while
// live, toolbar, gain), with the state the picture of this frame shows.
ViewFrame applyViewRules(TunerState& tuner);

// The rules one by one, in that order; applyViewRules alone runs them, and they are
// declared here so that each rule's boundaries can be tested without the others.
// Left button on the grid while frozen: the cursor follows the pointer. Returns this frame's cursor colour.
std::uint32_t applyScrubbing(TunerState& tuner);
// Right button on a row or a bottom-strip key while frozen: picks the reference tone. Returns the note
// whose row carries the hover band (picked by height), else kNoKey.
int applyTonePick(TunerState& tuner);
// Left button in the toolbar: GAIN and VOL follow the pointer, SOFT DISPLAY switches once per press.
void applyToolbarInput(TunerState& tuner);
// The analysed input's factor: the GAIN slider cubed (left alone while automatic gain sets it).
void updateInputGain(TunerState& tuner);
// Puts the GAIN slider at the cube root of `gain` (at most the trough's end), so `updateInputGain`
// sets that gain.
void setGainSlider(TunerState& tuner, double gain);
// Switches automatic gain on (from the present gain) or off.
void setAutoGain(TunerState& tuner, bool on);

// Display column of a history column (0 is the oldest shown).
int displayColumnOf(const TunerState& tuner, int historyColumnIndex);

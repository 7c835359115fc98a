#pragma once
// The piano-roll view, redrawn whole from the shared state every frame step.

#include <cstdint>

#include "view/geometry.hpp"
#include "view/grid_rows.hpp"
#include "view/view_frame.hpp"

inline constexpr std::uint32_t kBackgroundColour = 0xC0C0D0;

inline constexpr std::uint32_t kToolbarColour = 0xC0C0D0;
inline constexpr std::uint32_t kLineColour = 0xA0A0A0;
inline constexpr std::uint32_t kFrameColour = 0x000000;
inline constexpr std::uint32_t kPickedKeyColour = 0x44CCFF;
inline constexpr std::uint32_t kHoverBandColour = 0x66EEFF;
inline constexpr std::uint32_t kRulerColour = 0xD0D0D0;
inline constexpr std::uint32_t kMarkerColour = 0xD07070;
inline constexpr std::uint32_t kCursorColour = 0xFFE000;
inline constexpr std::uint32_t kScrubCursorColour = 0xFFFFFF;
inline constexpr std::uint32_t kSliderFillColour = 0xE07020;
inline constexpr std::uint32_t kSliderKnobColour = 0x603000;

// Turns one frame's view into pixels: the grid, both keyboard strips, the frame, the
// hover band, the cursor and markers and the toolbar. Changes nothing but the picture
// and the grid colours it keeps for the next one.
void drawView(const ViewFrame& frame);
// The same with the grid's colours kept in `rows` rather than the window's own.
void drawView(const ViewFrame& frame, GridRows& rows);
// The frame's whole view step: the pointer rules, then the picture they leave. Does not present.
void drawView();

// Display column of a history column (0 is the oldest shown).
int displayColumnOf(int historyColumnIndex);

// The colours of the keyboard, for pictures drawn beside the window's (gridCellColour for the grid's).
std::uint32_t keyColourAt(int row, float score);
bool isWhiteKeyRow(int row);

#pragma once
// The piano-roll view: a frame's record and the scores turned into pixels. The view
// folder draws what it is given and reads nothing else; it may use core/, analysis/ and
// the operating system's file opener in platform/ (for the font).

#include <cstdint>

#include "core/framebuffer.hpp"
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

// Turns one frame's view into pixels on `picture`: the grid, both keyboard strips, the
// frame, the hover band, the cursor and markers and the toolbar. Changes nothing but
// the picture and the grid colours `rows` keeps for the next one. `held` is the frame
// the picture shows from the last drawing with `rows`, or null when that is not known
// (a new or cleared picture); with it, what is sure to be there already is not drawn again.
void drawView(Framebuffer& picture, const ViewFrame& frame, const NoteScores& notes, GridRows& rows,
              const ViewFrame* held = nullptr);

// The colours of the keyboard, for pictures drawn beside the window's (gridCellColour for the grid's).
std::uint32_t keyColourAt(const int* keyColour, int row, float score);
bool isWhiteKeyRow(const int* keyColour, int row);

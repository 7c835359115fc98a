#pragma once
// The piano-roll view: a frame's record and the scores turned into pixels. The view
// folder draws what it is given and reads nothing else; it may use core/, analysis/ and
// the operating system's file opener in platform/ (for the font).

#include <cstdint>

#include "core/framebuffer.hpp"
#include "view/geometry.hpp"
#include "view/grid_rows.hpp"
#include "view/palette.hpp"
#include "view/view_frame.hpp"

// Turns one frame's view into pixels on `picture`, in the frame's palette: the grid, both keyboard strips, the
// frame, the hover band, the cursor and markers and the toolbar. Changes nothing but
// the picture and the grid colours `rows` keeps for the next one. `held` is the frame
// the picture shows from the last drawing with `rows`, or null when that is not known
// (a new or cleared picture); with it, what is sure to be there already is not drawn again.
void drawView(Framebuffer& picture, const ViewFrame& frame, const NoteScores& notes, GridRows& rows,
              const ViewFrame* held = nullptr);

// The colours of the keyboard, for pictures drawn beside the window's (gridCellColour for the grid's).
std::uint32_t keyColourAt(const Palette& palette, const int* keyColour, int row, float score);
bool isWhiteKeyRow(const int* keyColour, int row);

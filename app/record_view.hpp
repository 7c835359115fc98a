#pragma once
// The view over the shared record: its scores and key colours drawn onto the program's
// framebuffer, with the grid colours the window keeps from picture to picture.

#include "view/grid_rows.hpp"
#include "view/view_frame.hpp"

struct TunerState;

// The record's score history and key colours, as the view reads them.
NoteScores recordScores(const TunerState& tuner);

// A frame's picture on the program's framebuffer, with the window's kept grid colours;
// `held`: the frame the framebuffer shows from the last such drawing, null when not known.
void drawView(const TunerState& tuner, const ViewFrame& frame, const ViewFrame* held = nullptr);
// The frame's whole view step: the pointer rules, then the picture they leave. Does not present.
void drawView(TunerState& tuner);

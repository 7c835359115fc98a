#include "app/record_view.hpp"

#include "app/controls.hpp"
#include "app/shell.hpp"
#include "core/framebuffer.hpp"
#include "core/tuner_state.hpp"
#include "view/view.hpp"

namespace {

GridRows keptRows;  // the window's, kept from one picture to the next

}  // namespace

NoteScores recordScores(const TunerState& tuner) { return NoteScores{tuner.history.scores, tuner.notes.keyColour}; }

void drawView(const TunerState& tuner, const ViewFrame& frame, const ViewFrame* held) {
  drawView(framebuffer, frame, recordScores(tuner), keptRows, held);
}

void drawView(TunerState& tuner) { drawView(tuner, applyViewRules(tuner)); }

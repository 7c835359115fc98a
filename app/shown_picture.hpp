#pragma once
// Which frame steps draw: a frame's picture is drawn and presented only where
// the host needs it. Whether a picture can differ from the one shown is decided
// from the frame's view record and whether the scores changed, never from pixels.

#include "core/host.hpp"
#include "view/view_frame.hpp"

struct TunerState;

// The host shows the start-up picture (or the picture was cleared): the next frame draws.
void forgetShownPicture();
// A block was scored into the history since the last frame.
void noteScoresChanged();
// Draws and presents the frame's picture if the host needs it, else skips it or keeps it for
// the end. True when it was presented.
bool showFrame(const TunerState& tuner, Host& host, const ViewFrame& frame);
// End of the run: draws and presents the last frame's picture a PictureNeed::LastOnly host still needs.
void showOwedPicture(const TunerState& tuner, Host& host);

// Checking the skips: every skipped picture is drawn anyway and compared with the one shown.
struct SkipCheck {
  long drawn = 0;
  long skipped = 0;
  long differed = 0;  // skipped pictures that were not identical to the one shown
};
void checkSkippedPictures(bool on);
SkipCheck skipCheckCounts();

#include <cmath>

#include "app/shell.hpp"
#include "core/tuner_state.hpp"

namespace {

// Client pixels to picture pixels. A client a whole multiple of the picture shows each
// picture pixel as a block of that many client pixels: the block maps back to its pixel.
// Otherwise divide, then multiply, rounded half to even; that result can be one past the
// last column or row, so it is a coordinate, not an index.
int scaleToPicture(int position, int clientSize, int pictureSize) {
  if (clientSize <= 0) return position;
  if (clientSize % pictureSize == 0) return position / (clientSize / pictureSize);
  return static_cast<int>(std::nearbyint(static_cast<double>(position) / clientSize * pictureSize));
}

}  // namespace

void dispatchEvent(TunerState& tuner, Host& host, const WindowEvent& event) {
  noteInput();
  switch (event.kind) {
    case WindowEvent::PointerMove:
      tuner.pointer.x = scaleToPicture(event.x, event.clientWidth, kPictureWidth);
      tuner.pointer.y = scaleToPicture(event.y, event.clientHeight, kPictureHeight);
      break;
    case WindowEvent::LeftDown:
      tuner.pointer.leftDown = true;
      tuner.pointer.leftClicked = true;
      break;
    case WindowEvent::LeftUp: tuner.pointer.leftDown = false; break;
    case WindowEvent::RightDown: tuner.pointer.rightDown = true; break;
    case WindowEvent::RightUp: tuner.pointer.rightDown = false; break;
    case WindowEvent::CloseRequest: shutDown(tuner, host); break;
  }
}

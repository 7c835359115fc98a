#pragma once
// What the shell needs from the world outside: a window that shows the
// framebuffer and reports pointer and close events, a keyboard, an audio
// stream, and a clock to sleep on. The live program plugs in SDL2 and
// PortAudio; headless runs and tests plug in their own.

#include <string>

#include "core/framebuffer.hpp"
#include "core/keyboard.hpp"

struct WindowEvent {
  enum Kind { PointerMove, LeftDown, LeftUp, RightDown, RightUp, CloseRequest };
  Kind kind = PointerMove;
  int x = 0;  // PointerMove: position in client pixels
  int y = 0;
  int clientWidth = kPictureWidth;  // client area size when the event was taken
  int clientHeight = kPictureHeight;
};

// Which of the frame steps' pictures a host needs drawn and presented.
enum class PictureNeed {
  EveryFrame,  // every frame step's picture
  Changes,     // a picture only when it can differ from the one shown, or the shown one was lost
  LastOnly,    // only the last frame step's picture, drawn when the run ends
};

class Host {
 public:
  virtual ~Host() = default;
  // Creates and shows the window titled "sonavel"; false, with the reason, when none can be had.
  virtual bool openWindow(std::string& reason) = 0;
  // Shows the whole picture; it must be on screen when this returns.
  virtual void present(const Framebuffer& picture) = 0;
  // Takes at most one waiting event without blocking.
  virtual bool takeEvent(WindowEvent& event) = 0;
  virtual void destroyWindow() = 0;
  virtual KeySource& keySource() = 0;
  // Opens and starts the duplex stream; false when the program must run without audio.
  virtual bool startAudio() = 0;
  virtual void stopAudio() = 0;
  // Pauses at most `milliseconds`. A host that can be woken ends the pause early when
  // there is work: a block ready, a window event, a signal.
  virtual void sleepMs(int milliseconds) = 0;
  virtual PictureNeed pictureNeed() const { return PictureNeed::EveryFrame; }
  // For PictureNeed::Changes: the window lost what it showed (exposed, resized) and needs a picture.
  virtual bool pictureLost() { return false; }
  // Each frame step, after any block it took is scored: the live notes read the blocks queued
  // for them. `frozen`: the picture is held.
  virtual void afterScoring(bool /*frozen*/) {}
};

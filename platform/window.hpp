#pragma once
// The window, its presentation of the framebuffer, pointer events and the
// keyboard state, on SDL2. The only code that calls SDL; the platform folder (this and
// the operating system's seam) may use core/.

#include <string>

#include "core/framebuffer.hpp"
#include "core/host.hpp"
#include "core/bell.hpp"
#include "core/keyboard.hpp"

// The scale the screen suits, chosen as window_scale.hpp says.
inline constexpr int kScaleToSuitTheScreen = 0;

// Opens the resizable window with a client area of `scale` times 640 x 480 (1 to
// kMostWindowScale, or the one that suits the screen). False, with SDL's reason, when
// there is no display; an offscreen driver SDL fell back to on its own counts as
// none, one asked for through SDL_VIDEODRIVER does not.
// While it is open the audio thread's rings of `bell` (none: no ring) end the loop's waits.
bool openWindow(const char* title, std::string& reason, int scale = kScaleToSuitTheScreen, Bell* bell = nullptr);
// Shows the picture over the whole client area: each pixel a block of whole window
// pixels where the area is a whole multiple of 640 x 480 each way, stretched
// otherwise. A picture identical to the one on screen is not sent again, unless
// the window was exposed or resized.
void presentFramebuffer(const Framebuffer& picture);
// For a caller whose drawing marked the rows it changed: only those rows are
// sent, without comparing (every row after the window lost its picture). The
// marks are lowered.
void sendFramebuffer(const Framebuffer& picture);
// Takes at most one SDL event, with the pointer moves queued right behind a move
// folded into it; true when it was a pointer, button or close event.
bool takeWindowEvent(WindowEvent& event);
void destroyWindow();
// The window was exposed or resized since it was last sent a picture.
bool windowNeedsPicture();
// How many pictures were actually sent to the window since it opened.
int framesSentToWindow();

// The keyboard as SDL sees it, mapped to DirectInput key codes. No state while
// the window lacks keyboard focus, nor at the first read after it regains it.
class SdlKeySource : public KeySource {
 public:
  void acquire() override;
  bool readState(KeyStates& keys) override;
  void unacquire() override;

 private:
  bool acquired_ = false;
};

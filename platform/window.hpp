#pragma once
// The window, its presentation of the framebuffer, pointer events and the
// keyboard state, on SDL2. The only code that calls SDL.

#include <string>

#include "app/framebuffer.hpp"
#include "app/host.hpp"
#include "app/keyboard.hpp"

bool openWindow(const char* title, std::string& reason);
void presentFramebuffer(const Framebuffer& picture);
bool takeWindowEvent(WindowEvent& event);
void destroyWindow();

// The keyboard as SDL sees it, mapped to DirectInput key codes.
class SdlKeySource : public KeySource {
 public:
  bool readState(KeyStates& keys) override;
};

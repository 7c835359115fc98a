#include "platform/window.hpp"

bool openWindow(const char*, std::string&) { return true; }
void presentFramebuffer(const Framebuffer&) {}
bool takeWindowEvent(WindowEvent&) { return false; }
void destroyWindow() {}
bool SdlKeySource::readState(KeyStates&) { return false; }

#include "app/live_host.hpp"

#include <chrono>
#include <thread>

#include "app/shell.hpp"
#include "audio/stream.hpp"

bool LiveHost::openWindow(std::string& reason) { return ::openWindow(kWindowTitle, reason); }
// The frame loop presents only pictures that can differ, so comparing them again would be wasted.
void LiveHost::present(const Framebuffer& picture) { sendFramebuffer(picture); }
bool LiveHost::takeEvent(WindowEvent& event) { return takeWindowEvent(event); }
bool LiveHost::pictureLost() { return windowNeedsPicture(); }
void LiveHost::destroyWindow() { ::destroyWindow(); }
bool LiveHost::startAudio() { return ::startAudio(devices_); }
void LiveHost::stopAudio() { ::stopAudio(); }

void LiveHost::sleepMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

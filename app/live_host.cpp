#include "app/live_host.hpp"

#include <chrono>
#include <csignal>
#include <thread>

#include "app/shell.hpp"
#include "audio/stream.hpp"

namespace {

// The window library turns SIGINT and SIGTERM into a close request; a closed terminal
// (SIGHUP) is asked to end the program the same clean way.
void hangUpLikeTerminate() {
  struct sigaction terminate {};
  if (sigaction(SIGTERM, nullptr, &terminate) != 0 || terminate.sa_handler == SIG_DFL ||
      terminate.sa_handler == SIG_IGN)
    return;
  struct sigaction hangUp {};
  if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler == SIG_IGN) return;  // nohup asked to ignore it
  sigaction(SIGHUP, &terminate, nullptr);
}

}  // namespace

bool LiveHost::openWindow(std::string& reason) {
  if (!::openWindow(kWindowTitle, reason)) return false;
  hangUpLikeTerminate();
  return true;
}
void LiveHost::present(const Framebuffer& picture) { presentFramebuffer(picture); }
bool LiveHost::takeEvent(WindowEvent& event) { return takeWindowEvent(event); }
void LiveHost::destroyWindow() { ::destroyWindow(); }
bool LiveHost::startAudio() { return ::startAudio(devices_); }
void LiveHost::stopAudio() { ::stopAudio(); }

void LiveHost::sleepMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

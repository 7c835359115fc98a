#include <cstdio>
#include <string>

#include "app/live_host.hpp"
#include "app/shell.hpp"

int main() {
  LiveHost host;
  std::string reason;
  if (startUp(host, reason) == StartResult::NoWindow) {
    std::fprintf(stderr, "sonavel: cannot open a window: %s\n", reason.c_str());
    return 1;
  }
  return runLoop(host);
}

#include <cstdio>
#include <string>

#include "app/cli.hpp"
#include "app/live_host.hpp"
#include "app/replay.hpp"
#include "app/shell.hpp"
#include "audio/stream.hpp"

namespace {

constexpr int kExitNoWindow = 1;
constexpr int kExitNoAudioLibrary = 1;

int runLive(const AudioDeviceChoice& devices) {
  if (!devices.input.empty() || !devices.output.empty()) {
    std::string reason;
    if (!checkAudioDevices(devices, reason)) {
      std::fprintf(stderr, "sonavel: %s\n", reason.c_str());
      return kExitUsage;
    }
  }
  LiveHost host(devices);
  std::string reason;
  if (startUp(host, reason) == StartResult::NoWindow) {
    std::fprintf(stderr, "sonavel: cannot open a window: %s\n", reason.c_str());
    return kExitNoWindow;
  }
  return runLoop(host);
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  std::string reason;
  if (!parseCommandLine(argc, argv, line, reason)) {
    std::fprintf(stderr, "sonavel: %s\n%s", reason.c_str(), line.showUsage ? synopsisText() : "");
    return kExitUsage;
  }
  applyStartSettings(line.start);
  switch (line.mode) {
    case RunMode::Help: std::fputs(usageText(), stdout); return 0;
    case RunMode::Version: std::fputs(versionText(), stdout); return 0;
    case RunMode::ListDevices: return listAudioDevices(stdout) ? 0 : kExitNoAudioLibrary;
    case RunMode::Headless: return runHeadless(line.headless, stderr);
    case RunMode::Live: break;
  }
  return runLive(line.devices);
}

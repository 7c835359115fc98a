#include <cstdio>
#include <string>
#include <vector>

#include "app/cli.hpp"
#include "app/exit_status.hpp"
#include "app/live_host.hpp"
#include "app/replay.hpp"
#include "app/shell.hpp"
#include "audio/stream.hpp"

namespace {

void say(const std::string& what) { std::fprintf(stderr, "sonavel: %s\n", what.c_str()); }

void sayEach(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) say(line);
}

int runLive(const AudioDeviceChoice& devices) {
  if (!devices.input.empty() || !devices.output.empty()) {
    std::string reason;
    if (!checkAudioDevices(devices, reason)) {
      say(reason);
      return kExitUsage;
    }
  }
  LiveHost host(devices);
  std::string reason;
  Notices notices;
  if (startUp(host, reason, notices) == StartResult::NoWindow) {
    say("cannot open a window: " + reason);
    return kExitNoWindow;
  }
  sayEach(notices);
  sayEach(host.takeNotices());
  const int status = runLoop(host);
  sayEach(host.takeNotices());
  return status;
}

int listDevices() {
  std::vector<std::string> lines;
  std::string reason;
  if (!listAudioDevices(lines, reason)) {
    say(reason);
    return kExitNoAudioLibrary;
  }
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  if (lines.empty()) say("PortAudio finds no audio devices");
  return kExitSuccess;
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
    case RunMode::Help: std::fputs(usageText(), stdout); return kExitSuccess;
    case RunMode::Version: std::fputs(versionText(), stdout); return kExitSuccess;
    case RunMode::ListDevices: return listDevices();
    case RunMode::Headless: return runHeadless(line.headless, stderr);
    case RunMode::Live: break;
  }
  return runLive(line.devices);
}

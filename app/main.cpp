#include <cstdio>
#include <string>

#include "app/cli.hpp"
#include "app/live_host.hpp"
#include "app/replay.hpp"
#include "app/shell.hpp"
#include "audio/file_feed.hpp"
#include "audio/stream.hpp"

namespace {

constexpr int kExitNoWindow = 1;
constexpr int kExitNoAudioLibrary = 1;

constexpr int kExitRecordFailed = 1;

void sayLine(const std::string& line) { std::fprintf(stderr, "sonavel: %s\n", line.c_str()); }

// The file to analyse and the recording are refused before the window opens.
bool prepareLive(const CommandLine& line, FileInput& file, SessionRecorder& recorder, std::string& reason) {
  const AudioDeviceChoice& devices = line.devices;
  const bool playsFile = !line.live.inputFile.empty();
  if (playsFile && !file.open(line.live.inputFile, reason)) return false;
  if (playsFile && !devices.output.empty() && !checkOutputDevice(devices.output, reason)) return false;
  if (!playsFile && (!devices.input.empty() || !devices.output.empty()) && !checkAudioDevices(devices, reason))
    return false;
  return line.live.recordPath.empty() || recorder.open(line.live.recordPath, line.live.inputFile, reason);
}

// Finishes the recording after the audio has stopped; says what it lost or why it failed.
int finishLive(int status, const FileInput& file, SessionRecorder& recorder) {
  if (!file.readFailure().empty()) sayLine(file.readFailure());
  const std::string late = underrunLine(file.path(), fileFeedCounts());
  if (!late.empty()) sayLine(late);
  RecordSummary summary;
  std::string reason;
  if (!recorder.finish(summary, reason)) {
    sayLine(reason);
    return status == 0 ? kExitRecordFailed : status;
  }
  const std::string lost = droppedSamplesLine(recorder.path(), summary);
  if (!lost.empty()) sayLine(lost);
  return status;
}

int runLive(const CommandLine& line) {
  FileInput file;
  SessionRecorder recorder;
  std::string reason;
  if (!prepareLive(line, file, recorder, reason)) {
    sayLine(reason);
    return kExitUsage;
  }
  LiveHost host(line.devices);
  if (!line.live.inputFile.empty()) host.useFile(&file, sayLine);
  if (recorder.isOpen()) host.record(&recorder);
  if (startUp(host, reason) == StartResult::NoWindow) {
    std::fprintf(stderr, "sonavel: cannot open a window: %s\n", reason.c_str());
    finishLive(0, file, recorder);
    return kExitNoWindow;
  }
  return finishLive(runLoop(host), file, recorder);
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
  return runLive(line);
}

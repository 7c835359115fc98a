#pragma once
// The command line: what to run and with which files and devices.

#include <string>

#include "audio/stream.hpp"

inline constexpr int kExitUsage = 2;  // bad arguments, input or events file

enum class RunMode { Live, ListDevices, Version, Help, Headless };

struct HeadlessOptions {
  std::string input;
  std::string eventsPath;  // empty: no events
  long long steps = -1;    // -1: enough steps to score the last complete block
  std::string scoresPath;  // each output is optional: empty means not written
  std::string picturePath;
  std::string outputPath;
};

struct CommandLine {
  RunMode mode = RunMode::Live;
  AudioDeviceChoice devices;
  HeadlessOptions headless;
  bool showUsage = false;  // after a refusal: the option or argument itself is unknown
};

// Fills `line` from the arguments; false with a one-line reason (without the "sonavel: " prefix).
bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& reason);

// The text `--help` prints.
const char* usageText();
// Its first lines, the forms of the command; they follow a usage error on stderr.
const char* synopsisText();
const char* versionText();

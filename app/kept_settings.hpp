#pragma once
// The settings the window keeps between runs: read from the settings file at start, applied
// before the command line's own options (which win), written back at exit as they then stand.

#include <string>
#include <vector>

#include "app/cli.hpp"
#include "io/settings_file.hpp"

struct KeptSettings {
  std::string path;                  // the settings file; empty: none is read or written
  SettingsText read;                 // what it held
  std::string text;                  // the same as it was, to write only what changed
  bool writable = false;             // false when it could not be read: it is left as it is
  std::vector<std::string> applied;  // the settings it gave this run ("input-device")
};

// The settings file this run reads: the system's place for it in the window, none with
// --no-settings or in any other form of the command (a headless replay stays the same
// whatever the file says). Empty with a line in `notices` when the system gives no place.
std::string keptSettingsPath(const CommandLine& line, std::vector<std::string>& notices);

// Reads the settings file `path` (none when empty) and applies what it keeps to `line`. What it
// could not use is one line in `notices`; the program starts regardless.
KeptSettings readKeptSettings(const std::string& path, CommandLine& line, std::vector<std::string>& notices);

// Each setting this form of the command keeps, as it stands now: the run's record, and `line`
// for what only the command line holds (the devices, the window's scale). Empty at its default.
std::vector<SettingValue> keptSettingsNow(const TunerState& tuner, const CommandLine& line);

// Writes the settings back when they changed; false with why.
bool writeKeptSettings(const KeptSettings& kept, const TunerState& tuner, const CommandLine& line,
                       std::string& reason);

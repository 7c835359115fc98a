#pragma once
// Where the user's kept settings live, in each system's place for them: on Linux under
// $XDG_CONFIG_HOME (else ~/.config), on Windows in the roaming application data folder.

#include <string>

// The settings file's full name in UTF-8, ".../sonavel/settings"; empty with why when the
// system names no place for it (no home folder).
std::string settingsFilePath(std::string& why);
// Creates the folders above `path` that are missing; false with the system's reason.
bool makeFoldersAbove(const std::string& path, std::string& why);

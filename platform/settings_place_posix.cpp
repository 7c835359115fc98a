#include "platform/settings_place.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

constexpr char kFileUnderConfig[] = "/sonavel/settings";

// A variable's value when it is an absolute path: a relative one is invalid and ignored.
const char* absoluteValue(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] == '/' ? value : nullptr;
}

}  // namespace

std::string settingsFilePath(std::string& why) {
  if (const char* config = absoluteValue("XDG_CONFIG_HOME")) return std::string(config) + kFileUnderConfig;
  if (const char* home = absoluteValue("HOME")) return std::string(home) + "/.config" + kFileUnderConfig;
  why = "neither XDG_CONFIG_HOME nor HOME names a folder";
  return {};
}

bool makeFoldersAbove(const std::string& path, std::string& why) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) why = error.message();
  return !error;
}

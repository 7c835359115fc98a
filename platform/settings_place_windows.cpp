#include "platform/settings_place.hpp"

#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/wide_windows.hpp"

namespace {

constexpr wchar_t kFileUnderAppData[] = L"\\sonavel\\settings";

// The roaming application data folder (C:\Users\NAME\AppData\Roaming), as the shell knows it;
// else APPDATA, which names the same folder; empty when neither does.
std::wstring applicationDataFolder() {
  PWSTR folder = nullptr;
  std::wstring found;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder) == S_OK) found = folder;
  CoTaskMemFree(folder);
  if (found.empty()) {
    const wchar_t* variable = _wgetenv(L"APPDATA");
    if (variable != nullptr) found = variable;
  }
  return found;
}

}  // namespace

std::string settingsFilePath(std::string& why) {
  const std::wstring folder = applicationDataFolder();
  if (!folder.empty()) return narrow(folder + kFileUnderAppData);
  why = "Windows names no application data folder (APPDATA is not set)";
  return {};
}

bool makeFoldersAbove(const std::string& path, std::string& why) {
  const std::filesystem::path folder = std::filesystem::path(widen(path)).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) why = error.message();
  return !error;
}

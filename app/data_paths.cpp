#include "app/data_paths.hpp"

#include "app/shell.hpp"
#include "platform/file_names.hpp"
#include "platform/process.hpp"

#ifndef SONAVEL_DATADIR
#define SONAVEL_DATADIR "/usr/local/share/sonavel"
#endif
#ifndef SONAVEL_DATADIR_FROM_BINDIR
#define SONAVEL_DATADIR_FROM_BINDIR "../share/sonavel"
#endif

std::vector<std::string> fontCandidates(const std::string& exeDir) {
  std::vector<std::string> candidates = {kFontPath};
  if (!exeDir.empty()) {
    candidates.push_back(exeDir + "/" + kFontPath);
    candidates.push_back(exeDir + "/" SONAVEL_DATADIR_FROM_BINDIR "/" + kFontPath);
  }
  candidates.push_back(std::string(SONAVEL_DATADIR "/") + kFontPath);
  return candidates;
}

std::string firstExisting(const std::vector<std::string>& candidates) {
  for (const std::string& path : candidates)
    if (pathExists(path)) return path;
  return candidates.empty() ? std::string(kFontPath) : candidates.front();
}

std::string executableDir() {
  const std::string exe = executablePath();
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::string findFontPath() { return firstExisting(fontCandidates(executableDir())); }

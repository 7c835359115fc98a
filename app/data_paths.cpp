#include "app/data_paths.hpp"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/shell.hpp"

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
  struct stat status {};
  for (const std::string& path : candidates)
    if (::stat(path.c_str(), &status) == 0) return path;
  return candidates.empty() ? std::string(kFontPath) : candidates.front();
}

std::string executableDir() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string exe(path, static_cast<std::size_t>(length));
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::string findFontPath() { return firstExisting(fontCandidates(executableDir())); }

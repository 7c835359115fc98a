#include "platform/file_names.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace fs = std::filesystem;

namespace {

constexpr int kMostLinks = 40;  // links followed in a row before the name counts as a loop, as the kernel counts

std::string folderOf(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

}  // namespace

FileKind fileKind(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return FileKind::Missing;
  if (S_ISREG(info.st_mode)) return FileKind::Regular;
  return S_ISDIR(info.st_mode) ? FileKind::Directory : FileKind::Device;
}

bool pathExists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

bool resolveOutputName(const std::string& path, std::string& resolved, std::string& why) {
  std::string current = path;
  for (int links = 0; links <= kMostLinks; ++links) {
    const fs::path name = fs::path(current).filename();
    struct stat info {};
    if (name.empty()) {  // "x/": a folder's name, never a file's
      why = std::strerror(::stat(current.c_str(), &info) == 0 ? EISDIR : errno);
      return false;
    }
    char* folder = ::realpath(folderOf(current).c_str(), nullptr);
    if (folder == nullptr) {
      why = std::strerror(errno);
      return false;
    }
    const std::string candidate = std::string(folder) + (std::string(folder) == "/" ? "" : "/") + name.string();
    std::free(folder);
    if (::lstat(candidate.c_str(), &info) != 0) {
      if (errno != ENOENT) {
        why = std::strerror(errno);
        return false;
      }
      resolved = candidate;  // a new file
      return true;
    }
    if (!S_ISLNK(info.st_mode)) {
      resolved = candidate;
      return true;
    }
    std::error_code error;
    const fs::path target = fs::read_symlink(candidate, error);
    if (error) {
      why = error.message();
      return false;
    }
    current = target.is_absolute() ? target.string() : (fs::path(candidate).parent_path() / target).string();
  }
  why = std::strerror(ELOOP);
  return false;
}

FileIdentity identifyFile(const std::string& path) {
  FileIdentity id;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    id.exists = true;
    id.regular = S_ISREG(info.st_mode);
    id.device = static_cast<std::uint64_t>(info.st_dev);
    id.file = static_cast<std::uint64_t>(info.st_ino);
    return id;
  }
  std::string why;
  if (!resolveOutputName(path, id.canonical, why)) id.canonical = path;  // refused as it is opened
  return id;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists != b.exists) return false;
  if (a.exists) return a.regular && b.regular && a.device == b.device && a.file == b.file;
  return a.canonical == b.canonical;
}

std::filesystem::path nativePath(const std::string& path) { return fs::path(path); }

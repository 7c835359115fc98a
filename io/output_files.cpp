#include "io/output_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr mode_t kNewFileMode = 0666;  // before the umask, as fopen would create it

mode_t currentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

std::string folderOf(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

constexpr int kMostLinks = 40;  // links followed in a row before the name counts as a loop, as the kernel counts

// The file `path` names once every link is followed, a dangling last link to its target too:
// the name an output is renamed to. False with the system's reason when no file can be
// reached through it: a link loop, a missing folder, a name ending in a slash.
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

// What a name stands for: an existing file by device and inode, a new one by its folder and name.
struct Identity {
  bool exists = false;
  bool regular = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string canonical;
};

Identity identify(const std::string& path) {
  Identity id;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    id.exists = true;
    id.regular = S_ISREG(info.st_mode);
    id.device = info.st_dev;
    id.inode = info.st_ino;
    return id;
  }
  std::string why;
  if (!resolveOutputName(path, id.canonical, why)) id.canonical = path;  // refused as it is opened
  return id;
}

bool sameFile(const Identity& a, const Identity& b) {
  if (a.exists != b.exists) return false;
  // Devices such as /dev/null may take any number of outputs.
  if (a.exists) return a.regular && b.regular && a.device == b.device && a.inode == b.inode;
  return a.canonical == b.canonical;
}

}  // namespace

int createOutput(const std::string& path, OutputFile& out, std::string& reason) {
  out = OutputFile{path, "", path};
  struct stat info {};
  bool exists = ::stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) reason = path + ": cannot write: " + std::strerror(errno);
    return fd;
  }
  if (exists && S_ISDIR(info.st_mode)) {
    reason = path + ": cannot write: " + std::strerror(EISDIR);
    return -1;
  }
  std::string why;
  if (!resolveOutputName(path, out.renameTo, why)) {
    reason = path + ": cannot write: " + why;
    return -1;
  }
  std::string pattern = folderOf(out.renameTo) + "/." + fs::path(out.renameTo).filename().string() + ".sonavel-XXXXXX";
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    reason = path + ": cannot write: " + std::strerror(errno);
    return -1;
  }
  ::fchmod(fd, exists ? (info.st_mode & 07777) : (kNewFileMode & ~currentUmask()));
  out.temporary = pattern;
  return fd;
}

bool commitOutput(OutputFile& out, std::string& reason) {
  if (out.temporary.empty()) return true;
  if (std::rename(out.temporary.c_str(), out.renameTo.c_str()) != 0) {
    reason = out.target + ": cannot write: " + std::strerror(errno);
    discardOutput(out);
    return false;
  }
  out.temporary.clear();
  return true;
}

void discardOutput(OutputFile& out) {
  if (!out.temporary.empty()) ::unlink(out.temporary.c_str());
  out.temporary.clear();
}

bool checkOutputsDistinct(const std::vector<NamedFile>& files, std::string& reason) {
  std::vector<Identity> ids;
  for (const NamedFile& file : files) ids.push_back(file.path.empty() ? Identity{} : identify(file.path));
  for (std::size_t a = 0; a < files.size(); ++a) {
    for (std::size_t b = a + 1; b < files.size(); ++b) {
      if (files[a].path.empty() || files[b].path.empty() || !(files[a].written || files[b].written)) continue;
      if (!sameFile(ids[a], ids[b])) continue;
      const NamedFile& output = files[b].written ? files[b] : files[a];
      const NamedFile& other = files[b].written ? files[a] : files[b];
      reason = output.option + " " + output.path + " is the same file as " + other.option + " " + other.path;
      if (!other.written) reason += ": it would be overwritten";
      return false;
    }
  }
  return true;
}

#include "platform/file_writes.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

}  // namespace

int createTemporaryFor(const std::string& path, const std::string& renameTo, std::string& temporary, std::string& why) {
  struct stat info {};
  const bool exists = ::stat(path.c_str(), &info) == 0;
  std::string pattern = folderOf(renameTo) + "/." + fs::path(renameTo).filename().string() + ".sonavel-XXXXXX";
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return -1;
  }
  ::fchmod(fd, exists ? (info.st_mode & 07777) : (kNewFileMode & ~currentUmask()));
  temporary = pattern;
  return fd;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& why) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  why = std::strerror(errno);
  return false;
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

int openDeviceForWriting(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) why = std::strerror(errno);
  return fd;
}

int createOrEmpty(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
  if (fd < 0) why = std::strerror(errno);
  return fd;
}

bool readAt(int fd, void* data, std::size_t bytes, std::uint64_t offset) {
  const ssize_t got = ::pread(fd, data, bytes, static_cast<off_t>(offset));
  if (got >= 0 && static_cast<std::size_t>(got) != bytes) errno = EIO;
  return got >= 0 && static_cast<std::size_t>(got) == bytes;
}

bool writeAt(int fd, const void* data, std::size_t bytes, std::uint64_t offset) {
  const ssize_t put = ::pwrite(fd, data, bytes, static_cast<off_t>(offset));
  if (put >= 0 && static_cast<std::size_t>(put) != bytes) errno = ENOSPC;
  return put >= 0 && static_cast<std::size_t>(put) == bytes;
}

bool regularFileSize(int fd, std::uint64_t& size) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

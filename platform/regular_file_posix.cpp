#include "platform/regular_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int openRegularFile(const char* path, std::string& reason) {
  // Non-blocking, so that opening a FIFO with no writer returns at once.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return -1;
  }
  struct stat info {};
  bool statted = ::fstat(fd, &info) == 0;
  if (!statted || !S_ISREG(info.st_mode)) {
    reason = !statted                  ? std::strerror(errno)
             : S_ISDIR(info.st_mode) ? "is a directory"
                                     : "is not a regular file (a FIFO, device or socket)";
    ::close(fd);
    return -1;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

std::FILE* streamOnFile(int fd, const char* mode) {
  std::FILE* stream = ::fdopen(fd, mode);
  if (stream == nullptr) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return stream;
}

bool closeFile(int fd) { return ::close(fd) == 0; }

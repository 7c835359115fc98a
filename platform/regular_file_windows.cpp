#include "platform/regular_file.hpp"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

#include "platform/wide_windows.hpp"

namespace {

constexpr DWORD kShareEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

int openRegularFile(const char* path, std::string& reason) {
  // Backup semantics open a folder too, so that it is named as one rather than "access denied".
  HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, kShareEverything, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    reason = lastErrorText();
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool disk = GetFileType(file) == FILE_TYPE_DISK;
  const bool known = disk && GetFileInformationByHandle(file, &info) != 0;
  if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    reason = !disk    ? "is not a regular file (a pipe or device)"
             : !known ? lastErrorText()
                      : "is a directory";
    CloseHandle(file);
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    reason = "no descriptor left";
    CloseHandle(file);
  }
  return fd;
}

std::FILE* streamOnFile(int fd, const char* mode) {
  std::FILE* stream = _fdopen(fd, mode);
  if (stream == nullptr) {
    const int error = errno;
    _close(fd);
    errno = error;
  }
  return stream;
}

bool closeFile(int fd) { return _close(fd) == 0; }

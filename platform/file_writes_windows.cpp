#include "platform/file_writes.hpp"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/wide_windows.hpp"

namespace {

constexpr int kMostNameTries = 100;

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// A descriptor for `file`, which it takes over; -1 with why when the runtime has none left.
int descriptorFor(HANDLE file, int flags, std::string& why) {
  if (file == INVALID_HANDLE_VALUE) {
    why = lastErrorText();
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), flags | _O_BINARY);
  if (fd < 0) {
    why = "no descriptor left";
    CloseHandle(file);
  }
  return fd;
}

// An offset for ReadFile and WriteFile. On a handle opened for plain (not overlapped) use they
// leave the file's position after what they moved, unlike pread and pwrite: it is put back.
struct KeptPosition {
  explicit KeptPosition(HANDLE file) : file_(file) { kept_ = SetFilePointerEx(file, {}, &position_, FILE_CURRENT) != 0; }
  ~KeptPosition() {
    if (kept_) SetFilePointerEx(file_, position_, nullptr, FILE_BEGIN);
  }
  HANDLE file_;
  LARGE_INTEGER position_{};
  bool kept_ = false;
};

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(offset);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return where;
}

}  // namespace

// Windows has no permission bits to carry over; a read-only target refuses the replacement.
int createTemporaryFor(const std::string&, const std::string& renameTo, std::string& temporary, std::string& why) {
  const std::wstring target = widen(renameTo);
  const std::size_t cut = target.find_last_of(L"\\/");
  const std::wstring folder = cut == std::wstring::npos ? L"" : target.substr(0, cut + 1);
  const std::wstring name = cut == std::wstring::npos ? target : target.substr(cut + 1);
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  unsigned long long seed = static_cast<unsigned long long>(counter.QuadPart) ^ GetCurrentProcessId();
  for (int attempt = 0; attempt < kMostNameTries; ++attempt) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    wchar_t suffix[8];
    std::swprintf(suffix, 8, L"%06llx", (seed >> 40) & 0xFFFFFF);
    const std::wstring candidate = folder + L"." + name + L".sonavel-" + suffix;
    HANDLE file = CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    const int fd = descriptorFor(file, _O_RDWR, why);
    if (fd >= 0) temporary = narrow(candidate);
    return fd;
  }
  why = std::strerror(EEXIST);
  return -1;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& why) {
  if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
  why = lastErrorText();
  return false;
}

void removeFile(const std::string& path) { DeleteFileW(widen(path).c_str()); }

int openDeviceForWriting(const std::string& path, std::string& why) {
  HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return descriptorFor(file, _O_WRONLY, why);
}

// Others may read the recording while it grows.
int createOrEmpty(const std::string& path, std::string& why) {
  HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return descriptorFor(file, _O_RDWR, why);
}

bool readAt(int fd, void* data, std::size_t bytes, std::uint64_t offset) {
  HANDLE file = handleOf(fd);
  KeptPosition kept(file);
  OVERLAPPED where = at(offset);
  DWORD got = 0;
  const bool read = ReadFile(file, data, static_cast<DWORD>(bytes), &got, &where) != 0;
  if (!read || got != bytes) errno = EIO;
  return read && got == bytes;
}

bool writeAt(int fd, const void* data, std::size_t bytes, std::uint64_t offset) {
  HANDLE file = handleOf(fd);
  KeptPosition kept(file);
  OVERLAPPED where = at(offset);
  DWORD put = 0;
  const bool written = WriteFile(file, data, static_cast<DWORD>(bytes), &put, &where) != 0;
  if (!written || put != bytes) errno = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
  return written && put == bytes;
}

bool regularFileSize(int fd, std::uint64_t& size) {
  HANDLE file = handleOf(fd);
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || GetFileInformationByHandle(file, &info) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return false;
  size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  return true;
}

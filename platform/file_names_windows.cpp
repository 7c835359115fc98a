#include "platform/file_names.hpp"

#include <cerrno>
#include <cstring>

#include "platform/wide_windows.hpp"

namespace {

constexpr DWORD kShareEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Opens what `path` names only to look at it, links followed; folders too.
HANDLE openToLook(const std::wstring& path) {
  return CreateFileW(path.c_str(), 0, kShareEverything, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The name the file open on `file` really has: links, junctions and mapped drives resolved,
// without the "\\?\" the system puts in front. Empty when it cannot be told.
std::wstring finalName(HANDLE file) {
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
  if (length >= name.size()) {
    name.resize(length);
    length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
  }
  if (length == 0 || length >= name.size()) return {};
  name.resize(length);
  if (name.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + name.substr(8);
  if (name.rfind(L"\\\\?\\", 0) == 0) return name.substr(4);
  return name;
}

std::wstring fullName(const std::wstring& path) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return {};
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  full.resize(written < length ? written : 0);
  return full;
}

}  // namespace

FileKind fileKind(const std::string& path) {
  HANDLE file = openToLook(widen(path));
  if (file == INVALID_HANDLE_VALUE) return FileKind::Missing;
  BY_HANDLE_FILE_INFORMATION info{};
  FileKind kind = FileKind::Device;  // NUL, CON, a pipe
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) != 0)
    kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Directory : FileKind::Regular;
  CloseHandle(file);
  return kind;
}

bool pathExists(const std::string& path) { return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// The folder is resolved and the name kept; a name that is a link to an existing file resolves
// to that file. A dangling link is replaced itself, as Windows' own file replacement does.
bool resolveOutputName(const std::string& path, std::string& resolved, std::string& why) {
  const std::wstring wide = widen(path);
  if (wide.empty() || isSeparator(wide.back())) {  // a folder's name, never a file's
    why = GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES ? std::strerror(EISDIR) : std::strerror(ENOENT);
    return false;
  }
  const std::wstring full = fullName(wide);
  const std::size_t cut = full.find_last_of(L"\\/");
  if (full.empty() || cut == std::wstring::npos) {
    why = lastErrorText();
    return false;
  }
  const std::wstring folderName = full.substr(0, cut + 1);  // "C:\" keeps its separator
  HANDLE folder = openToLook(folderName);
  if (folder == INVALID_HANDLE_VALUE) {
    why = lastErrorText();
    return false;
  }
  std::wstring candidate = finalName(folder);
  CloseHandle(folder);
  if (candidate.empty()) candidate = folderName;
  if (!isSeparator(candidate.back())) candidate += L'\\';
  candidate += full.substr(cut + 1);
  HANDLE existing = openToLook(candidate);
  if (existing != INVALID_HANDLE_VALUE) {
    const std::wstring target = finalName(existing);
    CloseHandle(existing);
    if (!target.empty()) candidate = target;
  }
  resolved = narrow(candidate);
  return true;
}

FileIdentity identifyFile(const std::string& path) {
  FileIdentity id;
  HANDLE file = openToLook(widen(path));
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    id.exists = true;
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) != 0) {
      id.regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
      id.device = info.dwVolumeSerialNumber;
      id.file = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    }
    CloseHandle(file);
    return id;
  }
  std::string why;
  if (!resolveOutputName(path, id.canonical, why)) id.canonical = path;  // refused as it is opened
  return id;
}

// File names are compared as the file system does: without regard to case.
bool sameFile(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists != b.exists) return false;
  if (a.exists) return a.regular && b.regular && a.device == b.device && a.file == b.file;
  const std::wstring left = widen(a.canonical), right = widen(b.canonical);
  return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(), static_cast<int>(right.size()),
                              TRUE) == CSTR_EQUAL;
}

std::filesystem::path nativePath(const std::string& path) { return std::filesystem::path(widen(path)); }

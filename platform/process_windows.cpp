#include "platform/process.hpp"

#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "platform/wide_windows.hpp"

namespace {

// Saved console settings, by their place in ConsoleText::saved_.
enum Saved { kOutputCodePage, kErrorMode, kErrorModeKnown };

}  // namespace

// Windows hands main the arguments in the machine's ANSI code page, which cannot spell every
// file name: they are taken again from the UTF-16 command line.
ProgramArguments::ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    for (int i = 0; i < count; ++i) text_.push_back(narrow(wide[i]));
    LocalFree(wide);
  } else {
    text_.assign(argv, argv + argc);
  }
  for (std::string& argument : text_) values_.push_back(argument.data());
  values_.push_back(nullptr);
}

// UTF-8 output, and escape sequences understood on stderr (the replay's progress line).
ConsoleText::ConsoleText() {
  saved_[kOutputCodePage] = GetConsoleOutputCP();
  if (saved_[kOutputCodePage] != 0) SetConsoleOutputCP(CP_UTF8);
  DWORD mode = 0;
  HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
  if (GetConsoleMode(errors, &mode) == 0) return;
  saved_[kErrorMode] = mode;
  saved_[kErrorModeKnown] = 1;
  SetConsoleMode(errors, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

ConsoleText::~ConsoleText() {
  if (saved_[kOutputCodePage] != 0) SetConsoleOutputCP(saved_[kOutputCodePage]);
  if (saved_[kErrorModeKnown] != 0) SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), saved_[kErrorMode]);
}

// SetThreadDescription came with Windows 10 1607; earlier systems simply keep threads unnamed.
void nameThisThread(const char* name) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto setDescription = reinterpret_cast<SetDescription>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (setDescription != nullptr) setDescription(GetCurrentThread(), widen(name).c_str());
}

std::string executablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::string utf8 = narrow(path);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

#include "platform/terminal.hpp"

#include <io.h>
#include <windows.h>

namespace {

HANDLE handleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

// A console: the runtime's own _isatty takes any character device for one, NUL included.
bool isTerminal(std::FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(handleOf(stream), &mode) != 0;
}

int terminalColumns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(handleOf(stream), &info) == 0) return kDefaultTerminalColumns;
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? columns : kDefaultTerminalColumns;
}

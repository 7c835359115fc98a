#include "platform/terminal.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

int terminalColumns(std::FILE* stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kDefaultTerminalColumns;
  return size.ws_col;
}

#pragma once
// Whether a stream is a terminal someone watches, and how wide it is.

#include <cstdio>

// True when `stream` writes to a terminal.
bool isTerminal(std::FILE* stream);
// The terminal's width in characters; kDefaultTerminalColumns where it does not say (or is none).
inline constexpr int kDefaultTerminalColumns = 80;
int terminalColumns(std::FILE* stream);

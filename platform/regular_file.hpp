#pragma once
// Opening a file the program reads whole or in order: never a FIFO, device or
// directory, which could block start-up forever or never end. Paths are UTF-8 on
// every system; descriptors are opened in binary mode.

#include <cstdio>
#include <string>

// A descriptor open for reading on the regular file `path`, or -1 with why in `reason`.
int openRegularFile(const char* path, std::string& reason);
// The same for an input the user named, with the reason as its message reads: "PATH: cannot read: why".
int openInputFile(const std::string& path, std::string& reason);
// A stream on the descriptor `fd`, which it takes over: null when none can be had, the
// descriptor closed and errno saying why.
std::FILE* streamOnFile(int fd, const char* mode);
// False with errno set when what was written could not all be kept (a full or lost disk).
bool closeFile(int fd);

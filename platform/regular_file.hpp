#pragma once
// Opening a file the program reads whole or in order: never a FIFO, device or
// directory, which could block start-up forever or never end.

#include <string>

// A descriptor open for reading on the regular file `path`, or -1 with why in `reason`.
int openRegularFile(const char* path, std::string& reason);
// The same for an input the user named, with the reason as its message reads: "PATH: cannot read: why".
int openInputFile(const std::string& path, std::string& reason);

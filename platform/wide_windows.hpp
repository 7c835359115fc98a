#pragma once
// Windows only, for the seam's Windows side: the program keeps text and file names in UTF-8,
// Windows takes them as UTF-16; and the system's own error codes as one line of text.

#include <windows.h>

#include <string>

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring widen(const std::string& text);
// UTF-16 to UTF-8.
std::string narrow(const std::wstring& text);
// The text of a system error code, as POSIX's strerror words it where there is a match
// ("No such file or directory"), else the system's own message on one line.
std::string systemErrorText(DWORD error);
// The same for GetLastError().
std::string lastErrorText();

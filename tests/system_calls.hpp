#pragma once
// What the tests themselves do differently on POSIX and Windows: the process id, environment
// variables, the null device, and a name that is there but is not a regular file (a FIFO on
// POSIX; Windows keeps none in its file systems, and its NUL device stands in).

#ifdef _WIN32
#include <process.h>
#include <stdlib.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <string>

namespace test_system {

#ifdef _WIN32
inline constexpr const char* kNullDevice = "NUL";
inline int processId() { return _getpid(); }
inline void setEnvironment(const char* name, const char* value) { _putenv_s(name, value); }
inline void unsetEnvironment(const char* name) { _putenv_s(name, ""); }
inline std::string notRegularFile(const std::string&) { return "NUL"; }
#else
inline constexpr const char* kNullDevice = "/dev/null";
inline int processId() { return static_cast<int>(::getpid()); }
inline void setEnvironment(const char* name, const char* value) { ::setenv(name, value, 1); }
inline void unsetEnvironment(const char* name) { ::unsetenv(name); }
// Makes a FIFO at `path` and returns its name; empty when none could be made.
inline std::string notRegularFile(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0 ? path : ""; }
#endif

}  // namespace test_system

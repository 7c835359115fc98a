#pragma once
// Writing files as each system does it: a temporary file beside its target, put in the
// target's place at the end; a file written in place; and reads and writes at an offset of
// an open file without moving its position. Names are UTF-8; descriptors are binary.

#include <cstddef>
#include <cstdint>
#include <string>

// Creates a new, empty file beside `renameTo` that can later replace it, named after it, with
// the permissions of what `path` names now (those of a new file when it names nothing). Its
// name goes to `temporary`; returns a descriptor open for reading and writing, or -1 with why.
int createTemporaryFor(const std::string& path, const std::string& renameTo, std::string& temporary, std::string& why);
// Puts `from` in the place of `to`, replacing it; false with why.
bool replaceFile(const std::string& from, const std::string& to, std::string& why);
void removeFile(const std::string& path);
// Opens the device or FIFO `path` for writing as it is; -1 with why.
int openDeviceForWriting(const std::string& path, std::string& why);
// Creates `path`, or empties the file it names, open for writing and for reading back (a header
// rewritten later reads what it rewrites); -1 with why.
int createOrEmpty(const std::string& path, std::string& why);

// Reads or writes exactly `bytes` at `offset` of `fd`; false with errno set when not all of it could be.
bool readAt(int fd, void* data, std::size_t bytes, std::uint64_t offset);
bool writeAt(int fd, const void* data, std::size_t bytes, std::uint64_t offset);
// The size of the regular file open on `fd`; false for a device or pipe, which keeps no size.
bool regularFileSize(int fd, std::uint64_t& size);

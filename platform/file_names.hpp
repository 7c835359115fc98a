#pragma once
// What a file name stands for, as each system tells it: whether it names a regular file, a
// folder or a device, the file an output written under it ends up in, and whether two names
// are the same file. Names are UTF-8 on every system.

#include <cstdint>
#include <filesystem>
#include <string>

enum class FileKind {
  Missing,    // nothing there, or nothing that can be looked at
  Regular,
  Directory,
  Device,     // anything else: a FIFO, socket or device (/dev/null, NUL), written in place
};

// What `path` names now, links followed.
FileKind fileKind(const std::string& path);
// Whether anything at all is there.
bool pathExists(const std::string& path);

// The file `path` names once every link is followed, a dangling last link to its target too:
// the name an output is renamed to. False with the system's reason when no file can be reached
// through it: a link loop, a missing folder, a name ending in a separator.
bool resolveOutputName(const std::string& path, std::string& resolved, std::string& why);

// What a name stands for: an existing file by the system's own identity of it, a new one by
// the full name it would have.
struct FileIdentity {
  bool exists = false;
  bool regular = false;
  std::uint64_t device = 0;  // the file system (device number, volume serial)
  std::uint64_t file = 0;    // the file on it (inode, file index)
  std::string canonical;     // a file not yet there: its resolved name
};
FileIdentity identifyFile(const std::string& path);
// Two names for one file. Devices may take any number of outputs, so none is the same as another.
bool sameFile(const FileIdentity& a, const FileIdentity& b);

// A name the standard library's file functions take (std::ifstream, std::filesystem) for `path`.
std::filesystem::path nativePath(const std::string& path);

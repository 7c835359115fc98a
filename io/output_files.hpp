#pragma once
// The files a headless run writes. Each is written beside its target under a
// temporary name and renamed over it only when the whole run has succeeded, so a
// refused, failed or interrupted run leaves every existing file as it was.

#include <string>
#include <vector>

struct OutputFile {
  std::string target;     // as the user named it
  std::string temporary;  // empty: written in place (a device or FIFO holds nothing to keep)
  std::string renameTo;   // the file the target names, links followed
};

// Creates the file that stands in for `path`; returns its descriptor, or -1 with why. Links are
// followed to the file they name, a dangling one to the file it would name; a link loop or a
// name no file can be reached through (a missing folder, a trailing slash) is refused.
int createOutput(const std::string& path, OutputFile& out, std::string& reason);
// Puts the finished file in place of its target; false with why.
bool commitOutput(OutputFile& out, std::string& reason);
// Removes the temporary file, if any, and forgets it.
void discardOutput(OutputFile& out);

// One file named on the command line, with the option that named it.
struct NamedFile {
  std::string option;  // "--scores", "INPUT", ...
  std::string path;    // empty: not given
  bool written = false;
};
// False with one line when an output names the same file as another named file;
// the files themselves are compared, not the spellings of their names, links followed
// (a dangling link stands for the file it would create).
bool checkOutputsDistinct(const std::vector<NamedFile>& files, std::string& reason);

#pragma once
// The running program as each system presents it: its arguments, its console, its threads
// and its own file.

#include <cstdio>
#include <string>
#include <vector>

// The program's arguments in UTF-8 (Windows hands them over as UTF-16), for main's own parser.
class ProgramArguments {
 public:
  ProgramArguments(int argc, char** argv);
  int count() const { return static_cast<int>(values_.size()) - 1; }
  char** values() { return values_.data(); }

 private:
  std::vector<std::string> text_;
  std::vector<char*> values_;  // argv-style, ending in a null pointer
};

// While one lives, what the program writes to a console shows as UTF-8 text, escape sequences
// included (a Windows console takes another code page unless told); it puts back what was.
class ConsoleText {
 public:
  ConsoleText();
  ~ConsoleText();
  ConsoleText(const ConsoleText&) = delete;
  ConsoleText& operator=(const ConsoleText&) = delete;

 private:
  unsigned saved_[3] = {};  // the system's own settings, where it has any
};

// Names the calling thread for top, a debugger and the CPU report (at most 15 characters).
void nameThisThread(const char* name);
// The running program's own file, with '/' between folders; empty when it cannot be told.
std::string executablePath();

#include "platform/process.hpp"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

ProgramArguments::ProgramArguments(int argc, char** argv) : text_(argv, argv + argc) {
  for (std::string& argument : text_) values_.push_back(argument.data());
  values_.push_back(nullptr);
}

// A terminal takes the bytes as they are.
ConsoleText::ConsoleText() {}
ConsoleText::~ConsoleText() {}

void nameThisThread(const char* name) { pthread_setname_np(pthread_self(), name); }

std::string executablePath() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<std::size_t>(length));
}

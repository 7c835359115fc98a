#include "platform/quiet_stderr.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

QuietStderr::QuietStderr(bool quiet) {
  if (!quiet) return;
  std::fflush(stderr);
  int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  saved_ = ::dup(STDERR_FILENO);
  if (saved_ >= 0) ::dup2(null, STDERR_FILENO);
  ::close(null);
}

QuietStderr::~QuietStderr() {
  if (saved_ < 0) return;
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
}

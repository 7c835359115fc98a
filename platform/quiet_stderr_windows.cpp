#include "platform/quiet_stderr.hpp"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

constexpr int kStderr = 2;

}  // namespace

// The libraries are DLLs sharing the program's C runtime, so its descriptor 2 is theirs too.
QuietStderr::QuietStderr(bool quiet) {
  if (!quiet) return;
  std::fflush(stderr);
  const int null = _open("NUL", _O_WRONLY | _O_BINARY | _O_NOINHERIT);
  if (null < 0) return;
  saved_ = _dup(kStderr);  // none without a console (the window program): nothing to quiet
  if (saved_ >= 0) _dup2(null, kStderr);
  _close(null);
}

QuietStderr::~QuietStderr() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  _dup2(saved_, kStderr);
  _close(saved_);
}

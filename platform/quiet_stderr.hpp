#pragma once
// Libraries that print their own complaints (a decoder, the Wayland client library)
// are kept off stderr, where only the program's "sonavel: " lines belong.

// While one lives, stderr points at /dev/null; `quiet` false leaves it alone.
class QuietStderr {
 public:
  explicit QuietStderr(bool quiet = true);
  ~QuietStderr();
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

#include "platform/regular_file.hpp"

int openInputFile(const std::string& path, std::string& reason) {
  std::string problem;
  const int fd = openRegularFile(path.c_str(), problem);
  if (fd < 0) reason = path + ": cannot read: " + problem;
  return fd;
}

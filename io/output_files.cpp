#include "io/output_files.hpp"

#include <cerrno>
#include <cstring>

#include "platform/file_names.hpp"
#include "platform/file_writes.hpp"

int createOutput(const std::string& path, OutputFile& out, std::string& reason) {
  out = OutputFile{path, "", path};
  std::string why;
  const FileKind kind = fileKind(path);
  if (kind == FileKind::Device) {  // a device or FIFO holds nothing to keep: written in place
    int fd = openDeviceForWriting(path, why);
    if (fd < 0) reason = path + ": cannot write: " + why;
    return fd;
  }
  if (kind == FileKind::Directory) {
    reason = path + ": cannot write: " + std::strerror(EISDIR);
    return -1;
  }
  if (!resolveOutputName(path, out.renameTo, why)) {
    reason = path + ": cannot write: " + why;
    return -1;
  }
  int fd = createTemporaryFor(path, out.renameTo, out.temporary, why);
  if (fd < 0) reason = path + ": cannot write: " + why;
  return fd;
}

bool commitOutput(OutputFile& out, std::string& reason) {
  if (out.temporary.empty()) return true;
  std::string why;
  if (!replaceFile(out.temporary, out.renameTo, why)) {
    reason = out.target + ": cannot write: " + why;
    discardOutput(out);
    return false;
  }
  out.temporary.clear();
  return true;
}

void discardOutput(OutputFile& out) {
  if (!out.temporary.empty()) removeFile(out.temporary);
  out.temporary.clear();
}

bool checkOutputsDistinct(const std::vector<NamedFile>& files, std::string& reason) {
  std::vector<FileIdentity> ids;
  for (const NamedFile& file : files) ids.push_back(file.path.empty() ? FileIdentity{} : identifyFile(file.path));
  for (std::size_t a = 0; a < files.size(); ++a) {
    for (std::size_t b = a + 1; b < files.size(); ++b) {
      if (files[a].path.empty() || files[b].path.empty() || !(files[a].written || files[b].written)) continue;
      if (!sameFile(ids[a], ids[b])) continue;
      const NamedFile& output = files[b].written ? files[b] : files[a];
      const NamedFile& other = files[b].written ? files[a] : files[b];
      reason = output.option + " " + output.path + " is the same file as " + other.option + " " + other.path;
      if (!other.written) reason += ": it would be overwritten";
      return false;
    }
  }
  return true;
}

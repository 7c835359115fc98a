#pragma once
// The loaders under test read named files: each input is written to one scratch file,
// removed when the fuzzer exits.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct FuzzScratch {
  std::string path;
  ~FuzzScratch() { ::unlink(path.c_str()); }
};

inline std::string fuzzScratchFile(const char* suffix, const std::uint8_t* data, std::size_t size) {
  static const FuzzScratch scratch{"/tmp/sonavel-fuzz-" + std::to_string(::getpid()) + suffix};
  std::FILE* file = std::fopen(scratch.path.c_str(), "wb");
  if (file == nullptr) __builtin_trap();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) __builtin_trap();
  std::fclose(file);
  return scratch.path;
}

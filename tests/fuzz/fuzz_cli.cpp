// Any command line (arguments split at NUL bytes): parsed or refused with a one-line reason.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/cli.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words{"sonavel"};
  std::string word;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] != 0) {
      word += static_cast<char>(data[i]);
      continue;
    }
    words.push_back(word);
    word.clear();
  }
  if (!word.empty()) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);
  CommandLine line;
  std::string reason;
  if (!parseCommandLine(static_cast<int>(words.size()), argv.data(), line, reason) && reason.empty()) __builtin_trap();
  return 0;
}

// Any bytes as the headless INPUT: read to its end as mono samples, or refused.
#include "io/sound_input.hpp"
#include "fuzz_file.hpp"

namespace {
constexpr int kBuffer = 512;
constexpr int kMostBuffers = 1 << 12;  // a bound on the fuzzer's time, not on the file
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string path = fuzzScratchFile(".snd", data, size);
  MonoSoundReader reader;
  std::string reason;
  if (!reader.open(path, reason)) return 0;
  float samples[kBuffer];
  // To the end of the data, whatever the header claims.
  for (int buffers = 0; !reader.ended() && buffers < kMostBuffers; ++buffers)
    if (!reader.read(samples, kBuffer, reason)) break;
  return 0;
}

// Measurements for the real-stack script: screenshot pixels, picture
// comparison, and the frequency and level of a recorded tone.
//
//   sonavel_probe pixel SHOT.png X Y     prints the pixel as RRGGBB (hex)
//   sonavel_probe same A.png B.png       exit 0 when both pictures are identical
//   sonavel_probe tone REC.raw|REC.wav   prints "onset SECONDS frequency HZ level PEAK"
//                                         for the first tone in the recording

#include <cstdio>
#include <cstdlib>
#include <string>

#include "probe.hpp"

namespace {

constexpr double kOnsetLevel = 0.02;      // louder than any silence, quieter than the tone's floor
constexpr double kSettleSeconds = 0.5;    // past the tone's decay from its start level
constexpr double kMeasureSeconds = 1.0;

int usage() {
  std::fprintf(stderr, "usage: sonavel_probe pixel SHOT.png X Y | same A.png B.png | tone RECORDING\n");
  return 2;
}

int pixel(const char* path, int x, int y) {
  probe::Picture picture;
  if (!probe::readPng(path, picture)) {
    std::fprintf(stderr, "sonavel_probe: cannot read %s\n", path);
    return 2;
  }
  if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) {
    std::fprintf(stderr, "sonavel_probe: %d,%d is outside the %dx%d picture\n", x, y, picture.width,
                 picture.height);
    return 2;
  }
  std::printf("%06X\n", picture.at(x, y));
  return 0;
}

int same(const char* first, const char* second) {
  probe::Picture a, b;
  if (!probe::readPng(first, a) || !probe::readPng(second, b)) {
    std::fprintf(stderr, "sonavel_probe: cannot read the pictures\n");
    return 2;
  }
  if (a.width != b.width || a.height != b.height) {
    std::printf("sizes differ: %dx%d and %dx%d\n", a.width, a.height, b.width, b.height);
    return 1;
  }
  long differing = 0;
  for (std::size_t i = 0; i < a.rgb.size(); i += 3)
    if (a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2]) ++differing;
  std::printf("%ld pixels differ\n", differing);
  return differing == 0 ? 0 : 1;
}

int tone(const char* path) {
  std::vector<float> samples;
  if (!probe::readSound(path, samples)) {
    std::fprintf(stderr, "sonavel_probe: cannot read %s\n", path);
    return 2;
  }
  std::size_t onset = probe::firstAbove(samples, kOnsetLevel);
  if (onset == samples.size()) {
    std::printf("onset none frequency 0 level 0\n");
    return 1;
  }
  auto first = onset + static_cast<std::size_t>(kSettleSeconds * probe::kSampleRate);
  auto count = static_cast<std::size_t>(kMeasureSeconds * probe::kSampleRate);
  if (first + count > samples.size()) {
    std::printf("onset %.3f frequency 0 level 0 (recording too short)\n", onset / probe::kSampleRate);
    return 1;
  }
  std::printf("onset %.3f frequency %.3f level %.4f\n", onset / probe::kSampleRate,
              probe::medianFrequency(samples, first, count), probe::peakLevel(samples, first, count));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  if (command == "pixel" && argc == 5) return pixel(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (command == "same" && argc == 4) return same(argv[2], argv[3]);
  if (command == "tone" && argc == 3) return tone(argv[2]);
  return usage();
}

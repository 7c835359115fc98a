#pragma once
// What the end-to-end tests measure in the program's outputs: pictures,
// sounds and the scores file. Everything here is computed from the files
// alone, never from the program's own code.

#include <cstdint>
#include <string>
#include <vector>

namespace probe {

inline constexpr double kSampleRate = 44100.0;

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // 3 bytes per pixel, top row first

  std::uint32_t at(int x, int y) const {
    const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
  }
};

// Any PNG, as 8-bit RGB; false when it cannot be read.
bool readPng(const std::string& path, Picture& picture);

// A sound file as mono floats: libsndfile's formats, or raw float32 little endian for "*.raw".
bool readSound(const std::string& path, std::vector<float>& samples);

// Writes mono float samples at `rate` (44100 Hz unless given) in the given libsndfile format.
bool writeSound(const std::string& path, const std::vector<float>& samples, int format,
                int rate = static_cast<int>(kSampleRate));

// Frequency from the rising zero crossings in [first, first + count): whole periods over their span.
double meanFrequency(const std::vector<float>& samples, std::size_t first, std::size_t count);
// The same from the median period: a dropout in a live recording (a late buffer on a
// loaded machine) lengthens one period, not the pitch the test is asking about.
double medianFrequency(const std::vector<float>& samples, std::size_t first, std::size_t count);
// Largest absolute sample in [first, first + count).
double peakLevel(const std::vector<float>& samples, std::size_t first, std::size_t count);
// The first sample whose absolute value exceeds `threshold` at or after `from`; samples.size() when none.
std::size_t firstAbove(const std::vector<float>& samples, double threshold, std::size_t from = 0);

// The grey of a cell in an A row for score s: round(224 (1 - s)) in each component.
std::uint32_t aRowCellColour(float score);

struct ScoreRow {
  long long step = 0;
  int column = 0;
  std::vector<float> scores;  // 72
};
// Reads the scores file; false when its header or a row is malformed.
bool readScores(const std::string& path, std::vector<std::string>& header, std::vector<ScoreRow>& rows);

}  // namespace probe

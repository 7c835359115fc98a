// Measurements for the real-stack script: screenshot pixels, picture
// comparison, and the frequency and level of a recorded tone.
//
//   sonavel_probe pixel SHOT.png X Y     prints the pixel as RRGGBB (hex)
//   sonavel_probe same A.png B.png       exit 0 when both pictures are identical
//   sonavel_probe blocks SHOT.png P.png K
//                                         exit 0 when SHOT is P with each pixel a K x K block;
//                                         prints how many pixels of SHOT differ from that
//   sonavel_probe tone REC.raw|REC.wav   prints "onset SECONDS frequency HZ level PEAK"
//                                         for the first tone in the recording
//   sonavel_probe span REC.raw|REC.wav   prints "first SECONDS last SECONDS": the first and the
//                                         last sample louder than any silence
//   sonavel_probe lit SHOT.png           for each grid row with a cell scored above 0.5:
//                                         "row R cells N first J last J" (display columns)
//   sonavel_probe match SHOT.png S.csv   the 200 consecutive rows of the scores file that
//                                         the grid shows best: "offset O mismatched N of M"
//   sonavel_probe pace SECONDS           sleeps 5 ms at a time for SECONDS and prints the
//                                         share of one core that alone took, in %: the
//                                         floor under any loop kept at the frame loop's pace

#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "../midi_reader.hpp"
#include "probe.hpp"

namespace {

constexpr double kOnsetLevel = 0.02;      // louder than any silence, quieter than the tone's floor
constexpr double kSettleSeconds = 0.5;    // past the tone's decay from its start level
constexpr double kMeasureSeconds = 1.0;

int usage() {
  std::fprintf(stderr, "usage: sonavel_probe pixel SHOT.png X Y | same A.png B.png | blocks SHOT.png P.png K |\n"
                       "       tone RECORDING | span RECORDING | lit SHOT.png | match SHOT.png SCORES.csv |\n"
                       "       pace SECONDS | notes FILE.mid\n");
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

int blocks(const char* shot, const char* picture, int scale) {
  probe::Picture a, b;
  if (!probe::readPng(shot, a) || !probe::readPng(picture, b) || scale < 1) {
    std::fprintf(stderr, "sonavel_probe: cannot read the pictures\n");
    return 2;
  }
  if (a.width != b.width * scale || a.height != b.height * scale) {
    std::printf("sizes differ: %dx%d is not %d times %dx%d\n", a.width, a.height, scale, b.width, b.height);
    return 1;
  }
  long differing = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if (a.at(x, y) != b.at(x / scale, y / scale)) ++differing;
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

int span(const char* path) {
  std::vector<float> samples;
  if (!probe::readSound(path, samples)) {
    std::fprintf(stderr, "sonavel_probe: cannot read %s\n", path);
    return 2;
  }
  std::size_t last = samples.size();
  while (last > 0 && std::fabs(samples[last - 1]) <= kOnsetLevel) --last;
  if (last == 0) {
    std::printf("first none last none\n");
    return 1;
  }
  std::printf("first %.4f last %.4f\n", probe::firstAbove(samples, kOnsetLevel) / probe::kSampleRate,
              (last - 1) / probe::kSampleRate);
  return 0;
}

// The grid as the window draws it: 200 display columns of 3 pixels from x 10, oldest
// first; 72 rows of 6 pixels with row 0 at y 450. A cell's left pixel and middle row
// miss the cursor lines (the middle pixel) and the frame (the top pixel row).
constexpr int kColumns = 200, kRows = 72;
int cellX(int column) { return 10 + 3 * column; }
int cellY(int row) { return 453 - 6 * row; }

// The brightest component of a row's colour at score 0: A rows grey 224, white rows
// blue 208, black rows red 192; a score s scales it by 1 - s, rounded.
int rowShade(int row) {
  static const bool kBlack[12] = {false, true, false, false, true, false, true, false, false, true, false, true};
  if (row % 12 == 0) return 224;
  return kBlack[row % 12] ? 192 : 208;
}
int cellComponent(const probe::Picture& picture, int column, int row) {
  const std::uint32_t colour = picture.at(cellX(column), cellY(row));
  if (row % 12 == 0) return static_cast<int>(colour >> 16 & 0xFF);
  return rowShade(row) == 192 ? static_cast<int>(colour >> 16 & 0xFF) : static_cast<int>(colour & 0xFF);
}
int expectedComponent(float score, int row) {
  const double s = score > 0.0f ? (score < 1.0f ? score : 1.0f) : 0.0;
  return static_cast<int>(std::nearbyint(rowShade(row) * (1.0 - s)));
}

bool readGrid(const char* path, probe::Picture& picture) {
  if (probe::readPng(path, picture) && picture.width >= 640 && picture.height >= 480) return true;
  std::fprintf(stderr, "sonavel_probe: cannot read a 640x480 picture from %s\n", path);
  return false;
}

int lit(const char* path) {
  probe::Picture picture;
  if (!readGrid(path, picture)) return 2;
  for (int row = 0; row < kRows; ++row) {
    int cells = 0, first = -1, last = -1;
    for (int column = 0; column < kColumns; ++column) {
      if (cellComponent(picture, column, row) >= rowShade(row) / 2) continue;
      ++cells;
      if (first < 0) first = column;
      last = column;
    }
    if (cells > 0) std::printf("row %d cells %d first %d last %d\n", row, cells, first, last);
  }
  return 0;
}

int match(const char* shot, const char* scoresPath) {
  probe::Picture picture;
  std::vector<std::string> header;
  std::vector<probe::ScoreRow> rows;
  if (!readGrid(shot, picture)) return 2;
  if (!probe::readScores(scoresPath, header, rows) || rows.size() < static_cast<std::size_t>(kColumns)) {
    std::fprintf(stderr, "sonavel_probe: cannot read 200 rows of scores from %s\n", scoresPath);
    return 2;
  }
  std::size_t bestOffset = 0;
  long best = -1;
  for (std::size_t offset = 0; offset + kColumns <= rows.size(); ++offset) {
    long mismatched = 0;
    for (int column = 0; column < kColumns; ++column)
      for (int row = 0; row < kRows; ++row)
        if (std::abs(cellComponent(picture, column, row) - expectedComponent(rows[offset + column].scores[row], row)) > 1)
          ++mismatched;
    if (best < 0 || mismatched < best) {
      best = mismatched;
      bestOffset = offset;
    }
  }
  std::printf("offset %zu mismatched %ld of %d\n", bestOffset, best, kColumns * kRows);
  return 0;
}

double seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec); }
double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); }

int pace(double span) {
  constexpr timespec kStepSleep{0, 5'000'000};
  timespec start, now;
  clock_gettime(CLOCK_MONOTONIC, &start);
  do {
    nanosleep(&kStepSleep, nullptr);
    clock_gettime(CLOCK_MONOTONIC, &now);
  } while (seconds(now) - seconds(start) < span);
  rusage used;
  getrusage(RUSAGE_SELF, &used);
  std::printf("%.2f\n", 100.0 * (seconds(used.ru_utime) + seconds(used.ru_stime)) / (seconds(now) - seconds(start)));
  return 0;
}

// "notes N last T": the note-ons and note-offs of a MIDI file, and the tick of the last one.
int notes(const char* path) {
  const test_midi::ReadFile file = test_midi::readMidi(path);
  if (!file.ended) {
    std::fprintf(stderr, "sonavel_probe: %s is not a whole MIDI file\n", path);
    return 2;
  }
  long long count = 0, last = 0;
  for (const test_midi::ReadEvent& event : file.events) {
    if (event.status == 0xFF) continue;
    ++count;
    last = event.tick;
  }
  std::printf("notes %lld last %lld\n", count, last);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  if (command == "pixel" && argc == 5) return pixel(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (command == "same" && argc == 4) return same(argv[2], argv[3]);
  if (command == "blocks" && argc == 5) return blocks(argv[2], argv[3], std::atoi(argv[4]));
  if (command == "tone" && argc == 3) return tone(argv[2]);
  if (command == "span" && argc == 3) return span(argv[2]);
  if (command == "lit" && argc == 3) return lit(argv[2]);
  if (command == "match" && argc == 4) return match(argv[2], argv[3]);
  if (command == "pace" && argc == 3) return pace(std::atof(argv[2]));
  if (command == "notes" && argc == 3) return notes(argv[2]);
  return usage();
}

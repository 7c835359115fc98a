#include "view/grid_rows.hpp"

#include <cstring>

#include "view/colour.hpp"

namespace {

constexpr int kScoresPerColumnBytes = kNoteRows * static_cast<int>(sizeof(float));

// The three kinds of grid row and their colours at score 0; a score s scales each component by 1 - s.
struct RowShade {
  double red, green, blue;
};
constexpr RowShade kARowShade = {224.0, 224.0, 224.0};
constexpr RowShade kWhiteRowShade = {192.0, 192.0, 208.0};
constexpr RowShade kBlackRowShade = {192.0, 160.0, 176.0};

const RowShade& rowShade(const int* keyColour, int row) {
  if (row % kPitchClasses == 0) return kARowShade;
  return keyColour[row % kPitchClasses] != 0 ? kWhiteRowShade : kBlackRowShade;
}

std::uint32_t shadedColour(const RowShade& shade, float score) {
  const double u = 1.0 - static_cast<double>(score);
  return rgb(component(shade.red, u), component(shade.green, u), component(shade.blue, u));
}

std::uint32_t bitsOf(float score) {
  std::uint32_t bits;
  std::memcpy(&bits, &score, sizeof bits);
  return bits;
}

void setCell(GridRows& rows, const int* keyColour, int column, int row, float score) {
  const std::uint32_t colour = gridCellColour(keyColour, row, score);
  std::uint32_t* cell = rows.pixels[row] + kColumnWidth * column;
  for (int x = 0; x < kColumnWidth; ++x) cell[x] = colour;
  rows.scoreBits[column * kNoteRows + row] = bitsOf(score);
}

void fillAll(GridRows& rows, const NoteScores& notes) {
  for (int column = 0; column < kHistoryColumns; ++column)
    for (int row = 0; row < kNoteRows; ++row)
      setCell(rows, notes.keyColour, column, row, notes.history[column * kNoteRows + row]);
  std::memcpy(rows.keyColour, notes.keyColour, sizeof rows.keyColour);
  rows.filled = true;
}

}  // namespace

float clampedScore(float score) {
  const float positive = score > 0.0f ? score : 0.0f;  // also maps NaN to 0
  return positive < 1.0f ? positive : 1.0f;
}

std::uint32_t gridCellColour(const int* keyColour, int row, float score) {
  return shadedColour(rowShade(keyColour, row), clampedScore(score));
}

void updateGridRows(GridRows& rows, const NoteScores& notes) {
  // The key colours choose each row's shade: when they change, every cell may.
  if (!rows.filled || std::memcmp(rows.keyColour, notes.keyColour, sizeof rows.keyColour) != 0) {
    fillAll(rows, notes);
    return;
  }
  for (int column = 0; column < kHistoryColumns; ++column) {
    const float* scores = notes.history + column * kNoteRows;
    const std::uint32_t* kept = rows.scoreBits + column * kNoteRows;
    if (std::memcmp(kept, scores, kScoresPerColumnBytes) == 0) continue;
    for (int row = 0; row < kNoteRows; ++row)
      if (kept[row] != bitsOf(scores[row])) setCell(rows, notes.keyColour, column, row, scores[row]);
  }
}

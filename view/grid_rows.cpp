#include "view/grid_rows.hpp"

#include <cstring>

#include "view/colour.hpp"

namespace {

constexpr int kScoresPerColumnBytes = kNoteRows * static_cast<int>(sizeof(float));

// The three kinds of grid row: the A rows, the other white keys' and the black keys'.
const Shade& rowShade(const Palette& palette, const int* keyColour, int row) {
  if (row % kPitchClasses == 0) return palette.aRow;
  return keyColour[row % kPitchClasses] != 0 ? palette.whiteRow : palette.blackRow;
}

// One component at score s: unlit * (1 - s) + lit * s, to the nearest integer.
int shadedComponent(int unlit, int lit, double score) {
  return static_cast<int>(roundHalfEven(static_cast<double>(unlit) * (1.0 - score) + static_cast<double>(lit) * score));
}

std::uint32_t shadedColour(const Shade& shade, float score) {
  const double s = score;
  return rgb(shadedComponent(redOf(shade.unlit), redOf(shade.lit), s),
             shadedComponent(greenOf(shade.unlit), greenOf(shade.lit), s),
             shadedComponent(blueOf(shade.unlit), blueOf(shade.lit), s));
}

std::uint32_t bitsOf(float score) {
  std::uint32_t bits;
  std::memcpy(&bits, &score, sizeof bits);
  return bits;
}

void setCell(GridRows& rows, const Palette& palette, const int* keyColour, int column, int row, float score) {
  const std::uint32_t colour = gridCellColour(palette, keyColour, row, score);
  std::uint32_t* cell = rows.pixels[row] + kColumnWidth * column;
  for (int x = 0; x < kColumnWidth; ++x) cell[x] = colour;
  if (palette.marksLitCells) {
    const std::uint32_t mark = gridMarkColour(palette, keyColour, row, score);
    std::uint32_t* marked = rows.markPixels[row] + kColumnWidth * column;
    for (int x = 0; x < kColumnWidth; ++x) marked[x] = mark;
  }
  rows.scoreBits[column * kNoteRows + row] = bitsOf(score);
}

void fillAll(GridRows& rows, const NoteScores& notes, const Palette& palette) {
  for (int column = 0; column < kHistoryColumns; ++column)
    for (int row = 0; row < kNoteRows; ++row)
      setCell(rows, palette, notes.keyColour, column, row, notes.history[column * kNoteRows + row]);
  std::memcpy(rows.keyColour, notes.keyColour, sizeof rows.keyColour);
  rows.palette = &palette;
  rows.filled = true;
}

}  // namespace

float clampedScore(float score) {
  const float positive = score > 0.0f ? score : 0.0f;  // also maps NaN to 0
  return positive < 1.0f ? positive : 1.0f;
}

std::uint32_t gridCellColour(const Palette& palette, const int* keyColour, int row, float score) {
  return shadedColour(rowShade(palette, keyColour, row), clampedScore(score));
}

std::uint32_t gridMarkColour(const Palette& palette, const int* keyColour, int row, float score) {
  if (palette.marksLitCells && clampedScore(score) >= palette.markScore) return palette.mark;
  return gridCellColour(palette, keyColour, row, score);
}

void updateGridRows(GridRows& rows, const NoteScores& notes, const Palette& palette) {
  // The key colours choose each row's shade and the palette its colours: when either changes, every cell may.
  if (!rows.filled || rows.palette != &palette ||
      std::memcmp(rows.keyColour, notes.keyColour, sizeof rows.keyColour) != 0) {
    fillAll(rows, notes, palette);
    return;
  }
  for (int column = 0; column < kHistoryColumns; ++column) {
    const float* scores = notes.history + column * kNoteRows;
    const std::uint32_t* kept = rows.scoreBits + column * kNoteRows;
    if (std::memcmp(kept, scores, kScoresPerColumnBytes) == 0) continue;
    for (int row = 0; row < kNoteRows; ++row)
      if (kept[row] != bitsOf(scores[row])) setCell(rows, palette, notes.keyColour, column, row, scores[row]);
  }
}

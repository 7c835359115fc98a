#pragma once
// The grid's rows of cell colours, kept from one picture to the next: a live
// picture brings one new column of scores, so only its 72 colours are worked out again.

#include <cstdint>

#include "core/constants.hpp"
#include "view/geometry.hpp"
#include "view/palette.hpp"

// The scores a picture shows and the key colours that shade their rows; the view only reads them.
struct NoteScores {
  const float* history;  // kHistoryColumns x kNoteRows, laid out as the score history
  const int* keyColour;  // kPitchClasses colours, from A
};

struct GridRows {
  // Row by row, every history column's cell as its 3 pixels, history column 0 first.
  std::uint32_t pixels[kNoteRows][kGridWidth];
  // The same for the pixel row kMarkLine, where a palette that marks lit cells marks them.
  std::uint32_t markPixels[kNoteRows][kGridWidth];
  // The scores' bits the pixels were worked out from, laid out as the score history.
  std::uint32_t scoreBits[kHistoryColumns * kNoteRows];
  int keyColour[kPitchClasses];  // the key colours the rows were shaded with
  const Palette* palette = nullptr;  // and the palette
  bool filled = false;
  int drawnOldestColumn = -1;    // the oldest column when the rows were last drawn
  // Each row as last drawn: in one colour, and which. Such a row that still has that one
  // colour need not be drawn again while nothing was drawn over it.
  bool drawnUniform[kNoteRows] = {};
  std::uint32_t drawnColour[kNoteRows] = {};
  // The keys both strips were last drawn with, each row's colour and length.
  bool keysDrawn = false;
  std::uint32_t drawnKeyColour[kNoteRows] = {};
  int drawnKeyLength[kNoteRows] = {};
  // The toolbar as last drawn aside, before it was copied onto the picture.
  std::uint32_t toolbar[kToolbarHeight * kPictureWidth];
};

// Brings `rows` up to date with `notes` in `palette`, working out again only the cells whose
// score bits (or row shade, or palette) differ from last time.
void updateGridRows(GridRows& rows, const NoteScores& notes, const Palette& palette);

// A score held to 0..1 (not-a-number to 0), as every colour takes it.
float clampedScore(float score);
// The colour of a cell of `row` at `score`, worked out afresh (also for pictures drawn beside the window's).
std::uint32_t gridCellColour(const Palette& palette, const int* keyColour, int row, float score);
// Its colour on the pixel row kMarkLine: the mark where the palette marks a cell this lit.
std::uint32_t gridMarkColour(const Palette& palette, const int* keyColour, int row, float score);

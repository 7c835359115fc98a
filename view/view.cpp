#include "view/view.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "analysis/note_table.hpp"
#include "analysis/transposition.hpp"
#include "analysis/round_half_even.hpp"
#include "view/colour.hpp"
#include "view/draw.hpp"
#include "view/font.hpp"
#include "view/geometry.hpp"
#include "view/grid_rows.hpp"

namespace {

constexpr int kWhiteKeyColour = 0xFFFFFF;
constexpr std::size_t kReadoutGlyphs = (kPictureWidth - kReadoutX) / kTextAdvance;  // to the picture's edge
constexpr int kReadoutSize = 32;  // the read-out's line before it is cut to fit, and its zero

constexpr double kStripThreshold = 0.25;         // scores at or below this leave the key plain
constexpr double kStripScale = 1.3333334f;       // 4/3 as stored in single precision
constexpr double kFullComponent = 255.0;
constexpr int kFullHeat = 255;                   // a key lit in full

// Slider pixels per unit of value.
constexpr double kGainPixelsPerUnit = 33.333332f;  // 100/3 as stored in single precision
constexpr double kVolumePixelsPerUnit = 50.0;

int rowY(int row) { return kBottomRowY - kRowHeight * row; }

// Whether the last picture drew nothing over the cells of `row`: no band, and no
// cursor or marker lines, which only a frozen view has.
bool cellsBare(const ViewFrame* held, int row) {
  return held != nullptr && !held->frozen && held->hoverKey != row + kNoteRowOffset;
}

// The cells. Each grid row is kept in history order and shown from the oldest
// column on, so its pixel rows are two copies. The top pixel row of every cell
// is left out, as the grid line drawn next always covers it. A row drawn in one
// colour that still has it, with nothing drawn over it since, is left as it is:
// in silence every row is. When the columns have moved on, a row of differing
// cells cannot look as before: it is written without comparing. Any other row is
// compared, which also mends what lines and bands drew over it last time.
void drawGridCells(Framebuffer& picture, GridRows& rows, const NoteScores& notes, const ViewFrame& frame,
                   const ViewFrame* held) {
  updateGridRows(rows, notes, *frame.palette);
  const int oldestColumn = frame.oldestColumn;
  const bool moved = oldestColumn != rows.drawnOldestColumn;
  rows.drawnOldestColumn = oldestColumn;
  const int older = kColumnWidth * oldestColumn;  // pixels of the columns before the oldest
  const int newer = kGridWidth - older;
  for (int row = 0; row < kNoteRows; ++row) {
    const std::uint32_t* pixels = rows.pixels[row];
    const std::uint32_t* marks = frame.palette->marksLitCells ? rows.markPixels[row] : pixels;
    const bool uniform = runIs(pixels, kGridWidth, pixels[0]) && (marks == pixels || runIs(marks, kGridWidth, pixels[0]));
    const bool unchanged = uniform && rows.drawnUniform[row] && rows.drawnColour[row] == pixels[0];
    rows.drawnUniform[row] = uniform;
    rows.drawnColour[row] = pixels[0];
    if (unchanged && cellsBare(held, row)) continue;
    const auto draw = moved && !uniform ? replaceSpan : drawSpan;
    for (int line = 1; line < kRowHeight; ++line) {
      const std::uint32_t* colours = line == kMarkLine ? marks : pixels;
      draw(picture, kGridLeft, rowY(row) + line, colours + older, newer);
      draw(picture, kGridLeft + newer, rowY(row) + line, colours, older);
    }
  }
}

// One component `heat` 255ths of the way from `plain` to `lit`.
int heatedComponent(int plain, int lit, int heat) { return plain + (lit - plain) * heat / kFullHeat; }

std::uint32_t stripKeyColour(const Palette& palette, float score, bool white) {
  const double level = std::max(0.0, (static_cast<double>(clampedScore(score)) - kStripThreshold) * kStripScale);
  const int heat = std::min(kFullHeat, static_cast<int>(roundHalfEven(kFullComponent * level)));
  const Shade& key = white ? palette.whiteKey : palette.blackKey;
  return rgb(heatedComponent(redOf(key.unlit), redOf(key.lit), heat),
             heatedComponent(greenOf(key.unlit), greenOf(key.lit), heat),
             heatedComponent(blueOf(key.unlit), blueOf(key.lit), heat));
}

// On both strips a key fills its box of line colour but the box's first pixel row or column.
static_assert(kKeyWidth == kRowHeight - 1);

struct StripKey {
  std::uint32_t colour;
  int length;  // pixels, from the grid's edge outwards
};

// Each row's key on both strips: its score in `stripColumn`, or the picked colour when lit.
void stripKeys(const NoteScores& notes, const ViewFrame& frame, StripKey* keys) {
  const Palette& palette = *frame.palette;
  for (int row = 0; row < kNoteRows; ++row) {
    const bool white = isWhiteKeyRow(notes.keyColour, row);
    keys[row].colour = stripKeyColour(palette, notes.history[frame.stripColumn * kNoteRows + row], white);
    if (frame.litKey == row + kNoteRowOffset) keys[row].colour = palette.pickedKey;
    keys[row].length = white ? kWhiteKeyLength : kBlackKeyLength;
  }
}

// Grid lines over the cells; the top row's lies under the frame's top line.
void drawGridLines(Framebuffer& picture, const Palette& palette) {
  for (int row = 0; row < kNoteRows - 1; ++row) fillRect(picture, kGridLeft, rowY(row), kGridWidth, 1, palette.line);
}

// Right strip, each row a box of line colour with its key inside, drawn a pixel
// row at a time. Its first pixel column lies under the frame's right line.
void drawRightStrip(Framebuffer& picture, const Palette& palette, const StripKey* keys) {
  constexpr int kLeft = kRightStripX + 1;
  std::uint32_t span[kStripDepth - 1];
  for (int row = 0; row < kNoteRows; ++row) {
    const int y = rowY(row);
    fillRect(picture, kLeft, y, kStripDepth - 1, 1, palette.line);
    for (int x = 1; x < kStripDepth; ++x) span[x - 1] = x <= keys[row].length ? keys[row].colour : palette.line;
    for (int line = 1; line <= kKeyWidth; ++line) drawSpan(picture, kLeft, y + line, span, kStripDepth - 1);
  }
}

// Bottom strip, a pixel row at a time across all keys; each key ends at its
// length. Its first pixel row lies under the frame's bottom line.
void drawBottomStrip(Framebuffer& picture, const Palette& palette, const StripKey* keys) {
  constexpr int kWidth = kRowHeight * kNoteRows;
  constexpr int kLeft = kBottomStripKeyX - 1;
  std::uint32_t span[kWidth];
  for (std::uint32_t& pixel : span) pixel = palette.line;
  for (int line = 1; line < kStripDepth; ++line) {
    for (int row = 0; row < kNoteRows; ++row) {
      std::uint32_t* key = span + kRowHeight * row + 1;
      if (line == 1) std::fill(key, key + kKeyWidth, keys[row].colour);
      if (line == keys[row].length + 1) std::fill(key, key + kKeyWidth, palette.line);
    }
    drawSpan(picture, kLeft, kBottomStripY + line, span, kWidth);
  }
}

// The strips' closing lines, then the frame around the grid, which nothing else draws under.
void drawFrame(Framebuffer& picture, const Palette& palette) {
  fillRect(picture, kRightStripX + 1, kBottomStripY, kStripDepth - 1, 1, palette.line);
  fillRect(picture, kBottomStripRightEdge, kBottomStripY + 1, 1, kStripDepth - 1, palette.line);
  fillRect(picture, kGridLeft - 1, kGridTop, kGridWidth + 1, 1, palette.frame);
  fillRect(picture, kGridLeft - 1, kGridTop, 1, kGridHeight, palette.frame);
  fillRect(picture, kRightStripX, kGridTop, 1, kGridHeight, palette.frame);
  fillRect(picture, kGridLeft - 1, kBottomStripY, kGridWidth + 2, 1, palette.frame);
}

// A full-height line through the middle of the display column at offset p (3 per column); 0 and 600 on are not drawn.
void drawColumnLine(Framebuffer& picture, int p, std::uint32_t colour, bool skipEdges) {
  if (skipEdges && !(0 < p && p < kGridWidth)) return;
  fillRect(picture, p + kLineX, kGridTop, 1, kGridHeight, colour);
}

// Five colour rows of the picked row, over its cells.
void drawHoverBand(Framebuffer& picture, const Palette& palette, int key) {
  fillRect(picture, kGridLeft, kHoverBandBaseY - kRowHeight * key, kGridWidth, kHoverBandHeight, palette.hoverBand);
}

// While frozen: the ruler of half marker distances, the markers, then the cursor.
void drawMarkersAndCursor(Framebuffer& picture, const ViewFrame& frame) {
  const Palette& palette = *frame.palette;
  const int markA = frame.markA;
  const int markB = frame.markB;
  if (frame.markersShown && markA != markB) {
    for (int k = -20; k <= 20; ++k) drawColumnLine(picture, ((markB - markA) * k * 3) / 2 + 3 * markA, palette.ruler, true);
  }
  if (frame.markersShown) {
    drawColumnLine(picture, 3 * markA, palette.marker, true);
    drawColumnLine(picture, 3 * markB, palette.marker, true);
  }
  drawColumnLine(picture, 3 * frame.cursorColumn, frame.cursorColour, false);
}

void drawSlider(Framebuffer& picture, const Palette& palette, int troughX, int troughWidth, int filled) {
  fillRect(picture, troughX, kSliderY, troughWidth, kSliderHeight, palette.line);
  fillRect(picture, troughX, kSliderY, filled, kSliderHeight, palette.sliderFill);
  fillRect(picture, troughX + filled, kSliderY, 1, kSliderHeight, palette.sliderKnob);
  fillRect(picture, troughX, kSliderY, troughWidth, 1, palette.frame);
  fillRect(picture, troughX, kSliderY, 1, kSliderHeight, palette.frame);
  fillRect(picture, troughX + troughWidth, kSliderY, 1, kSliderHeight, palette.frame);
  fillRect(picture, troughX, kSliderY + kSliderHeight, troughWidth + 1, 1, palette.frame);
}

// While the precise detector names the notes: its label and the strongest note, e.g. "A4 +3c 441.3 Hz".
// Transposed, the label names the instrument ("IN Bb:") and the note is the written one.
void drawPitchReadout(Framebuffer& picture, const ViewFrame& frame) {
  const std::uint32_t ink = frame.palette->text;
  if (frame.transposition == 0) {
    drawText(picture, *frame.font, kReadoutLabelX, kLabelY, ink, "PRECISE:");
  } else {
    char label[kTranspositionLabelSize];
    transpositionLabelInto(frame.transposition, label);
    drawText(picture, *frame.font, kReadoutLabelX, kLabelY, ink, "IN %s:", label);
  }
  if (frame.pitchRow == kNoKey) return;
  char name[kNoteNameSize];
  noteRowNameInto(frame.pitchRow + frame.transposition, name, frame.naming);
  char line[kReadoutSize];
  std::snprintf(line, sizeof line, "%s %+dc %d.%d Hz", name, frame.pitchCents, frame.pitchTenthsHz / 10,
                frame.pitchTenthsHz % 10);
  // Only names longer than English ones ("Sol#10") need it: the tenths go before the edge does.
  if (std::strlen(line) > kReadoutGlyphs)
    std::snprintf(line, sizeof line, "%s %+dc %d Hz", name, frame.pitchCents, frame.pitchTenthsHz / 10);
  drawText(picture, *frame.font, kReadoutX, kLabelY, ink, "%s", line);
}

// The toolbar over everything else: background, labels, sliders. It is drawn
// aside and then copied, so its rows are marked only when they change.
void drawToolbar(Framebuffer& picture, const ViewFrame& frame, std::uint32_t* pixels) {
  {
    Framebuffer band;
    band.height = kToolbarHeight;
    band.pixels = pixels;
    const Palette& palette = *frame.palette;
    fillRect(band, 0, 0, kPictureWidth, kToolbarHeight, palette.toolbar);
    drawText(band, *frame.font, kGainLabelX, kLabelY, palette.text, frame.autoGain ? "AUTO:" : "GAIN:");
    drawSlider(band, palette, kGainTroughX, kGainTroughWidth, component(frame.gainSlider, kGainPixelsPerUnit));
    drawText(band, *frame.font, kVolumeLabelX, kLabelY, palette.text, "VOL:");
    drawSlider(band, palette, kVolumeTroughX, kVolumeTroughWidth, component(frame.outputVolume, kVolumePixelsPerUnit));
    if (frame.softDisplay != 0)
      drawText(band, *frame.font, kSwitchLabelX, kLabelY, palette.text, "SOFT DISPLAY: ON");
    else
      drawText(band, *frame.font, kSwitchLabelX, kLabelY, palette.text, "SOFT DISPLAY: OFF");
    if (frame.showsReading) drawPitchReadout(band, frame);
  }
  for (int y = 0; y < kToolbarHeight; ++y) drawSpan(picture, 0, y, pixels + y * kPictureWidth, kPictureWidth);
}

// Whether the strips' keys are those last drawn with `rows`; they are kept for next time.
bool keepKeys(GridRows& rows, const StripKey* keys) {
  bool same = rows.keysDrawn;
  for (int row = 0; row < kNoteRows; ++row) {
    same = same && rows.drawnKeyColour[row] == keys[row].colour && rows.drawnKeyLength[row] == keys[row].length;
    rows.drawnKeyColour[row] = keys[row].colour;
    rows.drawnKeyLength[row] = keys[row].length;
  }
  rows.keysDrawn = true;
  return same;
}

bool sameToolbar(const ViewFrame& a, const ViewFrame& b) {
  return a.gainSlider == b.gainSlider && a.autoGain == b.autoGain && a.outputVolume == b.outputVolume &&
         a.softDisplay == b.softDisplay && a.showsReading == b.showsReading && a.pitchRow == b.pitchRow &&
         a.pitchCents == b.pitchCents && a.pitchTenthsHz == b.pitchTenthsHz &&
         a.transposition == b.transposition && a.naming == b.naming && a.palette == b.palette && a.font == b.font;
}

}  // namespace

void drawView(Framebuffer& picture, const ViewFrame& frame, const NoteScores& notes, GridRows& rows,
              const ViewFrame* held) {
  const Palette& palette = *frame.palette;
  drawGridCells(picture, rows, notes, frame, held);
  // Only a frozen view's lines cross the grid lines and the frame's top line; nothing crosses
  // the strips or the toolbar, so over a held frame they are drawn only when they change.
  const bool crossed = held == nullptr || held->frozen || held->palette != frame.palette;
  if (crossed) drawGridLines(picture, palette);
  StripKey keys[kNoteRows];
  stripKeys(notes, frame, keys);
  const bool keysAsDrawn = keepKeys(rows, keys);
  if (held == nullptr || !keysAsDrawn) {
    drawRightStrip(picture, palette, keys);
    drawBottomStrip(picture, palette, keys);
  }
  if (crossed) drawFrame(picture, palette);
  if (frame.hoverKey != kNoKey) drawHoverBand(picture, palette, frame.hoverKey);
  if (frame.frozen) drawMarkersAndCursor(picture, frame);
  if (held == nullptr || !sameToolbar(*held, frame)) drawToolbar(picture, frame, rows.toolbar);
}

std::uint32_t keyColourAt(const Palette& palette, const int* keyColour, int row, float score) {
  return stripKeyColour(palette, score, isWhiteKeyRow(keyColour, row));
}

bool isWhiteKeyRow(const int* keyColour, int row) { return keyColour[row % kPitchClasses] == kWhiteKeyColour; }

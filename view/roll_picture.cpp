#include "view/roll_picture.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/constants.hpp"
#include "view/draw.hpp"
#include "view/geometry.hpp"
#include "view/glyphs.hpp"
#include "view/view.hpp"

namespace {

constexpr int kFrameX = kRollGridLeft - 1;           // the frame's left line, the keys' edge
constexpr int kStripLeft = kFrameX - kStripDepth + 1;
constexpr int kRowLabelX = 4;
constexpr int kRowLabelRise = 1;                     // an 8-pixel name over a 6-pixel row
constexpr int kTickTop = kBottomStripY + 1;
constexpr int kSecondTickHeight = 2;
constexpr int kLabelTickHeight = 5;
constexpr int kTimeLabelY = kBottomStripY + 8;
constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

int rowY(int row) { return kBottomRowY - kRowHeight * row; }

// A name too long to start at kRowLabelX ("C-1" of a transposed roll) starts further left, clear of the keys.
long long rowLabelX(const std::string& label) {
  return std::max(0LL, std::min<long long>(kRowLabelX, kStripLeft - kTextAdvance * static_cast<long long>(label.size())));
}

// Roll coordinates, drawn into the band that starts at roll row `top`.
struct BandPen {
  Framebuffer& band;
  int top;
  const BitmapFont* font;
  std::uint32_t ink;

  void rect(long long x, int y, long long width, int height, std::uint32_t colour) const {
    fillRect(band, static_cast<int>(x), y - top, static_cast<int>(width), height, colour);
  }
  void text(long long x, int y, const std::string& characters) const {
    if (font == nullptr) return;
    for (std::size_t i = 0; i < characters.size(); ++i)
      drawGlyph(band, *font, static_cast<int>(x) + kTextAdvance * static_cast<int>(i), y - top,
                static_cast<signed char>(characters[i]) - kFirstGlyphCode, ink);
  }
};

bool bandHolds(int top, int height, int y, int extent) { return y < top + height && y + extent > top; }

// One row's grid line and cells, each block `scale` pixels wide.
// A palette that marks lit cells marks them on the pixel row kMarkLine, from `marks`.
void drawRow(const RollPicture& roll, int row, const BandPen& pen, std::vector<std::uint32_t>& span,
             std::vector<std::uint32_t>& marks) {
  const Palette& palette = *roll.palette;
  const int y = rowY(row);
  for (long long block = 0; block < roll.blocks; ++block) {
    const float score = roll.scores[block * kNoteRows + row];
    const std::uint32_t colour = gridCellColour(palette, roll.keyColour, row, score);
    for (int k = 0; k < roll.scale; ++k) span[block * roll.scale + k] = colour;
    if (!palette.marksLitCells) continue;
    const std::uint32_t mark = gridMarkColour(palette, roll.keyColour, row, score);
    for (int k = 0; k < roll.scale; ++k) marks[block * roll.scale + k] = mark;
  }
  const long long width = roll.blocks * roll.scale;
  pen.rect(kRollGridLeft, y, width, 1, palette.line);
  for (int line = 1; line < kRowHeight; ++line) {
    const auto& colours = palette.marksLitCells && line == kMarkLine ? marks : span;
    drawSpan(pen.band, kRollGridLeft, y + line - pen.top, colours.data(), static_cast<int>(width));
  }
}

// The window's right-hand keyboard mirrored: keys grow leftwards from the frame, at score 0.
void drawKeyboard(const RollPicture& roll, const BandPen& pen) {
  const Palette& palette = *roll.palette;
  for (int row = 0; row < kNoteRows; ++row) {
    const int y = rowY(row);
    pen.rect(kStripLeft, y, kStripDepth, kRowHeight, palette.line);
    const int length = isWhiteKeyRow(roll.keyColour, row) ? kWhiteKeyLength : kBlackKeyLength;
    pen.rect(kFrameX - length, y + 1, length, kKeyWidth, keyColourAt(palette, roll.keyColour, row, 0.0f));
  }
  pen.rect(kStripLeft, kBottomStripY, kStripDepth, 1, palette.line);
}

void drawFrame(const BandPen& pen, long long gridRight, std::uint32_t colour) {
  pen.rect(kFrameX, kGridTop, gridRight - kFrameX + 1, 1, colour);
  pen.rect(kFrameX, kGridTop, 1, kGridHeight, colour);
  pen.rect(gridRight, kGridTop, 1, kGridHeight, colour);
  pen.rect(kFrameX, kBottomStripY, gridRight - kFrameX + 1, 1, colour);
}

std::string timeLabel(long long second) {
  char text[32];
  const long long minutes = second / kSecondsPerMinute % kSecondsPerMinute;
  if (second < kSecondsPerHour)
    std::snprintf(text, sizeof text, "%lld:%02lld", second / kSecondsPerMinute, second % kSecondsPerMinute);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", second / kSecondsPerHour, minutes,
                  second % kSecondsPerMinute);
  return text;
}

// A tick every second below the grid, longer and labelled every 10 s; a label that would
// reach past either edge of the picture is left out.
void drawTimeAxis(const BandPen& pen, int scale, long long gridRight, long long width, std::uint32_t tickColour) {
  for (long long second = 0;; ++second) {
    const long long x = rollSecondX(second, scale);
    if (x > gridRight) break;
    const bool labelled = second % kRollLabelSeconds == 0;
    pen.rect(x, kTickTop, 1, labelled ? kLabelTickHeight : kSecondTickHeight, tickColour);
    if (!labelled) continue;
    const std::string label = timeLabel(second);
    const long long labelX = x - kTextAdvance * static_cast<long long>(label.size()) / 2;
    if (labelX >= 0 && labelX + kTextAdvance * static_cast<long long>(label.size()) <= width)
      pen.text(labelX, kTimeLabelY, label);
  }
}

}  // namespace

long long rollWidth(long long blocks, int scale) { return kRollGridLeft + blocks * scale + 1 + kRollRightMargin; }

long long rollSecondX(long long second, int scale) {
  return kRollGridLeft + second * static_cast<long long>(kSampleRate) * scale / kBlockSize;
}

void drawRollBand(const RollPicture& roll, int top, Framebuffer& band) {
  const Palette& palette = *roll.palette;
  const BandPen pen{band, top, roll.font, palette.text};
  const long long width = band.width;
  const long long gridRight = kRollGridLeft + roll.blocks * roll.scale;
  pen.rect(0, top, width, band.height, palette.background);
  std::vector<std::uint32_t> span(static_cast<std::size_t>(roll.blocks * roll.scale));
  std::vector<std::uint32_t> marks(palette.marksLitCells ? span.size() : 0);
  for (int row = 0; row < kNoteRows; ++row)
    if (bandHolds(top, band.height, rowY(row), kRowHeight)) drawRow(roll, row, pen, span, marks);
  drawKeyboard(roll, pen);
  drawFrame(pen, gridRight, palette.frame);
  if (roll.rowLabels != nullptr) {
    for (int row = 0; row < kNoteRows; ++row)
      if (!roll.rowLabels[row].empty()) pen.text(rowLabelX(roll.rowLabels[row]), rowY(row) - kRowLabelRise, roll.rowLabels[row]);
  }
  drawTimeAxis(pen, roll.scale, gridRight, width, palette.frame);
}

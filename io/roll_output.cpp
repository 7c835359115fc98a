#include "io/roll_output.hpp"

#include <algorithm>

#include "analysis/note_table.hpp"
#include "core/constants.hpp"
#include "io/png_file.hpp"
#include "view/roll_picture.hpp"

namespace {

constexpr long long kBuffersPerBlock = kBlockSize / kFramesPerBuffer;
constexpr int kBandRows = 16;  // picture rows drawn at a time: memory stays a few rows of the width
constexpr int kPitchClassOfC = 3;  // counted from A, as the rows are

bool writtenC(int writtenRow) { return (writtenRow % kPitchClasses + kPitchClasses) % kPitchClasses == kPitchClassOfC; }

}  // namespace

long long mostBlocksIn(long long steps) { return (std::max(steps, 0LL) + kBuffersPerBlock - 1) / kBuffersPerBlock; }

bool checkRollFits(long long steps, int scale, std::string& reason) {
  const long long blocks = mostBlocksIn(steps);
  const long long width = rollWidth(blocks, scale);
  if (width <= kMostRollWidth) return true;
  reason = "--roll: up to " + std::to_string(blocks) + " blocks would make a picture " + std::to_string(width) +
           " pixels wide (" + std::to_string(scale) + " per block), more than the " + std::to_string(kMostRollWidth) +
           " a roll may have; use a shorter input, fewer --steps or a smaller --roll-scale";
  return false;
}

long long mostRollBlocks(int scale) { return (kMostRollWidth - rollWidth(0, scale)) / std::max(scale, 1); }

void RollScores::reserveFor(long long steps) {
  scores_.reserve(static_cast<std::size_t>(mostBlocksIn(steps)) * kNoteRows);
}

void RollScores::keepFont(const BitmapFont& source) {
  font_ = BitmapFont{};
  if (source.pixels == nullptr) return;
  texels_.assign(source.pixels, source.pixels + static_cast<std::size_t>(source.width) * source.height);
  font_.pixels = texels_.data();
  font_.width = source.width;
  font_.height = source.height;
}

void RollScores::add(const float* blockScores) { scores_.insert(scores_.end(), blockScores, blockScores + kNoteRows); }

long long RollScores::blocks() const { return static_cast<long long>(scores_.size() / kNoteRows); }

bool RollScores::writePng(std::FILE* file, int scale, std::string& reason, int transposition, NoteNaming naming,
                          const Palette& palette) const {
  const long long width = rollWidth(blocks(), scale);
  if (width > kMostRollWidth) {
    reason = "too many blocks for one picture";
    return false;
  }
  const std::vector<std::string> labels = rollRowLabels(transposition, naming);
  RollPicture roll{scores_.data(), blocks(), scale, labels.data(), font_.pixels ? &font_ : nullptr};
  roll.palette = &palette;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * kBandRows);
  Framebuffer band{static_cast<int>(width), kBandRows, static_cast<int>(width), pixels.data()};
  auto row = [&](int y) {
    const int bandTop = y - y % kBandRows;
    if (y == bandTop) {
      band.height = std::min(kBandRows, kRollHeight - bandTop);
      drawRollBand(roll, bandTop, band);
    }
    return pixels.data() + static_cast<std::size_t>(y - bandTop) * band.pitch;
  };
  return writePngRows(file, static_cast<int>(width), kRollHeight, row, reason);
}

std::vector<std::string> rollRowLabels(int transposition, NoteNaming naming) {
  std::vector<std::string> labels(kNoteRows);
  for (int row = 0; row < kNoteRows; ++row) {
    if (!writtenC(row + transposition)) continue;
    std::string name = noteRowName(row + transposition, naming);
    // Every label names a C, so a name too wide for the margin ("Do-1", "Do10") keeps its octave.
    if (name.size() > kMostRowLabelGlyphs) name.erase(0, name.find_first_of("-0123456789"));
    labels[row] = name;
  }
  return labels;
}

#pragma once
// `--roll`: the scores of every block a replay scores, kept to be drawn as one
// piano-roll picture when the run has succeeded.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/note_naming.hpp"
#include "view/font.hpp"
#include "view/palette.hpp"

// Most blocks `steps` steps can score: one per four audio buffers.
long long mostBlocksIn(long long steps);
// False with why when the roll of that many steps at `scale` pixels per block would be too wide to write.
bool checkRollFits(long long steps, int scale, std::string& reason);
// The most blocks a roll at `scale` pixels per block may show.
long long mostRollBlocks(int scale);

class RollScores {
 public:
  RollScores() = default;
  RollScores(const RollScores&) = delete;
  RollScores& operator=(const RollScores&) = delete;

  // Room for every block of a run of `steps` steps, taken once before the run.
  void reserveFor(long long steps);
  // Keeps its own copy of the font: the program's is released when the run shuts down.
  void keepFont(const BitmapFont& source);
  void add(const float* blockScores);  // the 72 scores of one block, as scored
  long long blocks() const;
  // The picture as an 8-bit RGB PNG into an open file, its rows named `transposition` semitones
  // above concert, spelled as `naming` says, in `palette`'s colours; false with why.
  bool writePng(std::FILE* file, int scale, std::string& reason, int transposition = 0, NoteNaming naming = {},
                const Palette& palette = kDesignPalette) const;

 private:
  std::vector<float> scores_;
  std::vector<std::uint32_t> texels_;
  BitmapFont font_;
};

// The names the roll shows beside the rows: those of the rows whose name `transposition`
// semitones above concert is a C, empty for the others; a name wider than the margin beside the
// keys ("Do-1") is its octave alone ("-1").
std::vector<std::string> rollRowLabels(int transposition = 0, NoteNaming naming = {});

#pragma once
// The scores output: a header naming the rows, then one line per scored block with its
// step, its history column and every row's score, each read back as the same float.

#include <cstdint>
#include <cstdio>

#include "core/constants.hpp"

class ScoresCsv {
 public:
  static void writeHeader(std::FILE* file);
  // `scores`: the block's kNoteRows scores.
  void writeRow(std::FILE* file, long long step, int column, const float* scores);

 private:
  static constexpr int kLongestField = 32;  // a comma and a number, with room to spare
  // Most rows keep their score from one block to the next (a quiet row sits at its floor),
  // so each row remembers the text of its last score.
  struct ScoreText {
    std::uint32_t bits = 0;
    bool known = false;
    std::uint8_t length = 0;
    char text[kLongestField];
  };
  char* writeScore(char* out, char* end, int row, float score);

  ScoreText texts_[kNoteRows];
};

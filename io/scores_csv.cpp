#include "io/scores_csv.hpp"

#include <bit>
#include <charconv>
#include <cstring>

#include "analysis/note_table.hpp"

namespace {

// Nine significant digits read back as the same float. to_chars with a precision writes
// what printf's %.9g writes, at a fraction of the cost.
constexpr int kScoreDigits = 9;

}  // namespace

void ScoresCsv::writeHeader(std::FILE* file) {
  std::fputs("step,column", file);
  for (int row = 0; row < kNoteRows; ++row) std::fprintf(file, ",%s", noteRowName(row).c_str());
  std::fputc('\n', file);
}

char* ScoresCsv::writeScore(char* out, char* end, int row, float score) {
  ScoreText& memo = texts_[row];
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(score);
  if (!memo.known || memo.bits != bits) {
    const char* written = std::to_chars(memo.text, memo.text + sizeof memo.text, static_cast<double>(score),
                                        std::chars_format::general, kScoreDigits).ptr;
    memo.bits = bits;
    memo.known = true;
    memo.length = static_cast<std::uint8_t>(written - memo.text);
  }
  const std::size_t room = static_cast<std::size_t>(end - out);
  const std::size_t length = memo.length < room ? memo.length : room;
  std::memcpy(out, memo.text, length);
  return out + length;
}

void ScoresCsv::writeRow(std::FILE* file, long long step, int column, const float* scores) {
  char line[2 * kLongestField + kNoteRows * kLongestField + 1];
  char* const end = line + sizeof line - 1;  // room for the newline
  char* out = std::to_chars(line, end, step).ptr;
  *out++ = ',';
  out = std::to_chars(out, end, column).ptr;
  for (int row = 0; row < kNoteRows && out < end; ++row) {
    *out++ = ',';
    out = writeScore(out, end, row, scores[row]);
  }
  *out++ = '\n';
  std::fwrite(line, 1, static_cast<std::size_t>(out - line), file);
}

// Transposing instruments: their names and shifts, the written names they give, and the live key's cycle.

#include <gtest/gtest.h>

#include <string>

#include "analysis/note_table.hpp"
#include "analysis/transposition.hpp"

namespace {

constexpr int kRowC4 = 27, kRowA4 = 36, kRowASharp4 = 37, kRowC5 = 39, kRowA1 = 0, kRowC2 = 3, kRowGSharp7 = 71;

std::string written(const char* instrument, int concertRow) {
  int shift = 0;
  EXPECT_TRUE(transpositionNamed(instrument, shift)) << instrument;
  return noteRowName(concertRow + shift);
}

TEST(Transposition, EveryInstrumentAndSemitonesGiveTheWrittenName) {
  struct Case {
    const char* instrument;
    int concertRow;
    const char* written;
  };
  const Case cases[] = {
      {"C", kRowA4, "A4"},       {"+0", kRowA4, "A4"},      {"-0", kRowA4, "A4"},
      {"Bb", kRowC5, "D5"},      {"Eb", kRowC4, "A4"},      {"F", kRowC4, "G4"},
      {"A", kRowC4, "D#4"},      {"G", kRowC4, "F4"},       {"-12", kRowC4, "C3"},
      {"+14", kRowC4, "D5"},     {"14", kRowC4, "D5"},      {"+21", kRowC4, "A5"},
      // B to C changes the octave, up and down
      {"Bb", kRowASharp4, "C5"}, {"A", kRowA4, "C5"},       {"-1", kRowC4, "B3"},
      {"-3", kRowC2, "A1"},      {"Eb", kRowGSharp7, "F8"},
      // the ends of the range from the ends of the rows: a minus sign and two-digit octaves
      {"-36", kRowA1, "A-2"},    {"-36", kRowC2, "C-1"},    {"-24", kRowC2, "C0"},
      {"-25", kRowC2, "B-1"},    {"+36", kRowGSharp7, "G#10"}, {"+28", kRowGSharp7, "C10"},
      {"+27", kRowGSharp7, "B9"}, {"-35", kRowA1, "A#-2"},
  };
  for (const Case& c : cases) EXPECT_EQ(written(c.instrument, c.concertRow), c.written) << c.instrument;
}

// An octave up is the same pitch with the next octave number, from the lowest written row to the highest.
TEST(Transposition, WrittenNamesStepOneOctaveEveryTwelveRows) {
  for (int row = -kMostTransposition; row + kPitchClasses < kNoteRows + kMostTransposition; ++row) {
    const std::string low = noteRowName(row), high = noteRowName(row + kPitchClasses);
    ASSERT_LE(low.size() + 1, static_cast<std::size_t>(kNoteNameSize)) << row;
    const std::size_t pitchEnd = low.find_first_of("-0123456789");
    ASSERT_EQ(low.substr(0, pitchEnd), high.substr(0, high.find_first_of("-0123456789"))) << row;
    EXPECT_EQ(std::stoi(high.substr(pitchEnd)), std::stoi(low.substr(pitchEnd)) + 1) << low << " " << high;
  }
}

TEST(Transposition, RefusesAnythingButANameOrSemitonesInRange) {
  for (const char* text : {"", "+", "-", "37", "-37", "+100", "036", "bb", "BB", "eb", "Bb ", " 2", "2.0", "1e1",
                           "++2", "+-2", "H", "D", "Bbb", "0x2", "concert"}) {
    int shift = 99;
    EXPECT_FALSE(transpositionNamed(text, shift)) << '\'' << text << '\'';
    EXPECT_EQ(shift, 99) << text;
  }
}

TEST(Transposition, TheKeyCyclesConcertBbEbFAndLeavesAnyOtherShiftForConcert) {
  int shift = 0;
  std::string seen;
  for (int press = 0; press < 5; ++press) {
    shift = nextCommonTransposition(shift);
    char label[kTranspositionLabelSize];
    transpositionLabelInto(shift, label);
    seen.append(label).append(" ");
  }
  EXPECT_EQ(seen, "Bb Eb F C Bb ");
  for (int other : {14, -12, 3, 5, 36}) EXPECT_EQ(nextCommonTransposition(other), 0) << other;
}

TEST(Transposition, LabelsNameTheInstrumentElseTheSignedShift) {
  const std::pair<int, const char*> cases[] = {{2, "Bb"}, {9, "Eb"}, {7, "F"}, {3, "A"}, {5, "G"}, {0, "C"},
                                               {14, "+14"}, {-12, "-12"}, {1, "+1"}, {-1, "-1"}, {36, "+36"},
                                               {-36, "-36"}};
  for (auto [shift, expected] : cases) {
    char label[kTranspositionLabelSize];
    transpositionLabelInto(shift, label);
    EXPECT_STREQ(label, expected) << shift;
  }
}

}  // namespace

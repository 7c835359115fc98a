// The note table: drifted frequencies from the stored semitone ratio, and key colours.

#include <gtest/gtest.h>

#include "analysis/note_table.hpp"
#include "core/tuner_state.hpp"
#include "test_record.hpp"

namespace {

struct Reference {
  int entry;
  double hz;
};

using NoteTable = WithRecord;

TEST_F(NoteTable, MatchesTheReferenceFrequencies) {
  buildNoteTable(tuner.notes);
  const Reference table[] = {{0, 27.5},          {1, 29.13523644},  {8, 43.65354508},   {11, 51.9131136},
                             {12, 55.00003052},  {13, 58.27050522}, {16, 69.29570901},  {24, 110.0001221},
                             {48, 440.0009766},  {83, 3322.450332}, {87, 4186.025885},  {119, 26579.6469}};
  for (const Reference& r : table) EXPECT_NEAR(tuner.notes.frequency[r.entry], r.hz, r.hz * 2e-9) << r.entry;
  EXPECT_EQ(tuner.notes.frequency[0], 27.5);
  EXPECT_DOUBLE_EQ(tuner.notes.frequency[12], 55.0000305182988);
  for (int k = 1; k < kNoteCount; ++k) EXPECT_GT(tuner.notes.frequency[k], tuner.notes.frequency[k - 1]);
}

TEST_F(NoteTable, ReferencePitchScalesEveryEntry) {
  buildNoteTable(tuner.notes);
  double standard[kNoteCount];
  for (int k = 0; k < kNoteCount; ++k) standard[k] = tuner.notes.frequency[k];
  tuner.notes.referencePitch = 440.0;  // said outright: the very same bits
  buildNoteTable(tuner.notes);
  for (int k = 0; k < kNoteCount; ++k) ASSERT_EQ(tuner.notes.frequency[k], standard[k]) << k;
  for (double pitch : {415.0, 442.0, 400.0, 480.0}) {
    tuner.notes.referencePitch = pitch;
    buildNoteTable(tuner.notes);
    EXPECT_NEAR(tuner.notes.frequency[48], pitch, 0.0011) << pitch;  // A4, with the table's slight drift
    for (int k = 0; k < kNoteCount; ++k) ASSERT_DOUBLE_EQ(tuner.notes.frequency[k], standard[k] * pitch / 440.0);
  }
}

TEST_F(NoteTable, RatioIsTheStoredSinglePrecisionValue) {
  EXPECT_EQ(static_cast<double>(kSemitoneRatio), 1.0594631433486938);
}

TEST_F(NoteTable, KeyColoursFollowThePianoFromA) {
  buildNoteTable(tuner.notes);
  const int expected[kPitchClasses] = {0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF,
                                       0,        0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF, 0};
  for (int p = 0; p < kPitchClasses; ++p) EXPECT_EQ(tuner.notes.keyColour[p], expected[p]) << p;
  for (int row : {0, 12, 24, 36, 48, 60}) EXPECT_EQ(tuner.notes.keyColour[row % 12], kWhiteKey);
  for (int row : {1, 4, 6, 9, 11, 13, 16}) EXPECT_EQ(tuner.notes.keyColour[row % 12], kBlackKey);
}

}  // namespace

// The note names of every naming system, sharps and flats, across the octave and at the range's ends.

#include <gtest/gtest.h>

#include <string>

#include "analysis/note_table.hpp"

namespace {

constexpr int kRowC4 = 27;
constexpr NoteNaming kEnglish{}, kEnglishFlats{NameSystem::English, true};
constexpr NoteNaming kGerman{NameSystem::German, false}, kGermanFlats{NameSystem::German, true};
constexpr NoteNaming kSolfege{NameSystem::Solfege, false}, kSolfegeFlats{NameSystem::Solfege, true};

TEST(NoteNames, EveryPitchClassOfAnOctaveInEverySystem) {
  struct Case {
    NoteNaming naming;
    const char* octave4[kPitchClasses];  // C4 .. B4
  };
  const Case cases[] = {
      {kEnglish, {"C4", "C#4", "D4", "D#4", "E4", "F4", "F#4", "G4", "G#4", "A4", "A#4", "B4"}},
      {kEnglishFlats, {"C4", "Db4", "D4", "Eb4", "E4", "F4", "Gb4", "G4", "Ab4", "A4", "Bb4", "B4"}},
      {kGerman, {"C4", "Cis4", "D4", "Dis4", "E4", "F4", "Fis4", "G4", "Gis4", "A4", "B4", "H4"}},
      {kGermanFlats, {"C4", "Des4", "D4", "Es4", "E4", "F4", "Ges4", "G4", "As4", "A4", "B4", "H4"}},
      {kSolfege, {"Do4", "Do#4", "Re4", "Re#4", "Mi4", "Fa4", "Fa#4", "Sol4", "Sol#4", "La4", "La#4", "Si4"}},
      {kSolfegeFlats, {"Do4", "Reb4", "Re4", "Mib4", "Mi4", "Fa4", "Solb4", "Sol4", "Lab4", "La4", "Sib4", "Si4"}},
  };
  for (const Case& c : cases)
    for (int p = 0; p < kPitchClasses; ++p) EXPECT_EQ(noteRowName(kRowC4 + p, c.naming), c.octave4[p]) << p;
}

// The octave changes at C (Do) in every system, below the first row and above the last as well.
TEST(NoteNames, OctavesChangeAtCAndReachTheTransposedEnds) {
  struct Case {
    NoteNaming naming;
    int row;
    const char* name;
  };
  const Case cases[] = {
      {kEnglish, 0, "A1"},          {kEnglish, 71, "G#7"},        {kEnglishFlats, 71, "Ab7"},
      {kGerman, 2, "H1"},           {kGerman, 3, "C2"},           {kGermanFlats, 1, "B1"},
      {kSolfege, 2, "Si1"},         {kSolfege, 3, "Do2"},         {kSolfegeFlats, 1, "Sib1"},
      {kGerman, 38, "H4"},          {kGerman, 39, "C5"},          {kSolfegeFlats, 38, "Si4"},
      {kSolfegeFlats, 39, "Do5"},
      // rows named only when transposed: a minus sign, two-digit octaves, the longest names
      {kSolfege, -36, "La-2"},      {kSolfegeFlats, -35, "Sib-2"}, {kGerman, -34, "H-2"},
      {kSolfege, -33, "Do-1"},      {kSolfege, -25, "Sol#-1"},    {kSolfegeFlats, -27, "Solb-1"},
      {kGerman, -32, "Cis-1"},      {kGermanFlats, -32, "Des-1"}, {kEnglishFlats, -35, "Bb-2"},
      {kSolfege, 107, "Sol#10"},    {kSolfegeFlats, 105, "Solb10"}, {kGerman, 99, "C10"},
      {kGerman, 98, "H9"},          {kGermanFlats, 106, "G10"},   {kSolfege, 72, "La7"},
  };
  for (const Case& c : cases) {
    char name[kNoteNameSize];
    noteRowNameInto(c.row, name, c.naming);
    EXPECT_STREQ(name, c.name) << c.row;
  }
}

}  // namespace

// The MIDI file read back by a reader of the tests' own, written from the file format alone:
// header, tempo, exact ticks, running status, a wait longer than a delta, and a file that
// cannot be written.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "io/midi_file.hpp"
#include "midi_reader.hpp"
#include "scratch_dir.hpp"

namespace {

using test_midi::ReadEvent;
using test_midi::ReadFile;
using test_midi::readMidi;

bool writeMidi(const std::string& path, const std::vector<NoteEvent>& events) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  MidiTrack track;
  std::string reason;
  bool ok = startMidiFile(f, track, reason);
  for (const NoteEvent& e : events) writeMidiNote(track, e);
  ok = finishMidiFile(track, reason) && ok;
  std::fclose(f);
  return ok;
}

NoteEvent on(long long sample, int row, int velocity) { return {sample, row, true, velocity, 0.0}; }
NoteEvent off(long long sample, int row) { return {sample, row, false, 0, 0.0}; }

TEST(MidiFile, SampleToTickTable) {
  // A tick is 44100 / 960 = 45.9375 samples; 735 is odd, so no sample falls on a half tick.
  const long long cases[][2] = {{0, 0},       {22, 0},          {23, 1},          {45, 1},
                                {46, 1},      {68, 1},          {69, 2},          {44100, 960},
                                {44122, 960}, {44123, 961},     {158760000, 3456000}, {12345678901, 268749473}};
  for (const auto& c : cases) EXPECT_EQ(midiTickOfSample(c[0]), c[1]) << c[0];
}

TEST(MidiFile, NotesReadBackAtTheirTicks) {
  ScratchDir scratch("midi-read-back");
  // A chord, a re-struck note (its end and new start at one sample), and a note 268,749,473
  // ticks on: past the 0x0FFFFFFF a delta holds.
  const std::vector<NoteEvent> notes = {on(0, 0, 100),      on(0, 4, 90),      on(0, 7, 80),     off(22050, 0),
                                        off(22050, 4),      off(22050, 7),     on(30000, 71, 1), off(36000, 71),
                                        on(36000, 71, 127), off(44100, 71),    on(12345678901, 36, 64),
                                        off(12345678901 + 44100, 36)};
  ASSERT_TRUE(writeMidi("notes.mid", notes));
  const ReadFile file = readMidi("notes.mid");
  EXPECT_EQ(file.format, 0);
  EXPECT_EQ(file.tracks, 1);
  EXPECT_EQ(file.division, 480);
  EXPECT_EQ(file.tempo, 500000);
  EXPECT_TRUE(file.ended);
  std::vector<ReadEvent> read;
  for (const ReadEvent& e : file.events)
    if (e.status != 0xFF) read.push_back(e);
  ASSERT_EQ(read.size(), notes.size());
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(read[i].tick, midiTickOfSample(notes[i].sample)) << i;
    EXPECT_EQ(read[i].status, notes[i].on ? 0x90 : 0x80) << i;
    EXPECT_EQ(read[i].first, notes[i].row + 33) << i;
    EXPECT_EQ(read[i].second, notes[i].on ? notes[i].velocity : 64) << i;
  }
}

TEST(MidiFile, FileThatCannotBeWrittenIsAFailure) {
  ScratchDir scratch("midi-unwritable");
  std::FILE* made = std::fopen("read-only.mid", "wb");
  ASSERT_NE(made, nullptr);
  std::fclose(made);
  std::FILE* f = std::fopen("read-only.mid", "rb");
  MidiTrack track;
  std::string reason;
  startMidiFile(f, track, reason);
  writeMidiNote(track, on(0, 36, 64));
  EXPECT_FALSE(finishMidiFile(track, reason));
  EXPECT_NE(reason.find("write error"), std::string::npos) << reason;
  std::fclose(f);
}

}  // namespace

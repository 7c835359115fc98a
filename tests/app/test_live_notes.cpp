// The live session's notes: every block the audio thread queues, read in order, and the
// MIDI file --midi keeps in the window.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <vector>

#include "analysis/note_table.hpp"
#include "app/live_notes.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "audio/block_queue.hpp"
#include "core/tuner_state.hpp"
#include "midi_reader.hpp"
#include "scratch_dir.hpp"
#include "test_record.hpp"

namespace {

constexpr double kLevel = 0.1;
constexpr double kA4Hz = 440.0;
constexpr int kA4Key = 69;

class LiveNotesFile : public WithRecord {
 protected:
  ScratchDir scratch{"live-notes"};
  long long fed = 0;  // samples fed to the callback since the start
  std::unique_ptr<AudioShared> shared = std::make_unique<AudioShared>(tuner);  // large: kept off the stack
  AudioShared& audio = *shared;

  void SetUp() override {
    buildNoteTable(tuner.notes);
    startBlockQueue(audio.blocks);
  }
  void TearDown() override { stopBlockQueue(audio.blocks); }

  // `blocks` blocks of A4, or of silence, through the callback in 512-frame buffers.
  void feed(int blocks, bool sounding) {
    std::vector<float> in(kFramesPerBuffer), out(kFramesPerBuffer);
    for (int b = 0; b < blocks * kBlockSize / kFramesPerBuffer; ++b) {
      for (float& sample : in) {
        const double phase = 2.0 * std::numbers::pi * kA4Hz * static_cast<double>(fed++) / kSampleRate;
        sample = sounding ? static_cast<float>(kLevel * std::sin(phase)) : 0.0f;
      }
      audioCallback(audio, in.data(), out.data(), kFramesPerBuffer);
    }
  }
  static long long tickOfBlock(int block) { return std::llround(block * kBlockSize * 16.0 / 735.0); }
};

std::vector<test_midi::ReadEvent> notesOf(const test_midi::ReadFile& file) {
  std::vector<test_midi::ReadEvent> notes;
  for (const test_midi::ReadEvent& event : file.events)
    if (event.status != 0xFF) notes.push_back(event);
  return notes;
}

// A freeze passes blocks by: the note held into it ends where it began, the one after starts afresh,
// and the times go on counting every block captured, as the session's recording does.
TEST_F(LiveNotesFile, AFreezeEndsTheNoteWhereItBeganAndTheNextStartsAfterIt) {
  LiveNotes notes(audio);
  std::string reason;
  ASSERT_TRUE(notes.openFile("live.mid", reason)) << reason;
  feed(20, true);
  notes.follow(false);
  feed(5, true);
  notes.follow(true);
  feed(15, true);
  notes.follow(false);
  feed(20, false);
  notes.follow(false);
  ASSERT_TRUE(notes.finish(reason)) << reason;

  const std::vector<test_midi::ReadEvent> events = notesOf(test_midi::readMidi("live.mid"));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].status, 0x90);
  EXPECT_EQ(events[0].first, kA4Key);
  EXPECT_LT(events[0].tick, tickOfBlock(1));
  EXPECT_EQ(events[1].status, 0x80);
  EXPECT_EQ(events[1].tick, tickOfBlock(20));  // the end of the last block read before the freeze
  EXPECT_EQ(events[2].status, 0x90);
  EXPECT_GE(events[2].tick, tickOfBlock(25));  // the first block read after it
  EXPECT_LT(events[2].tick, tickOfBlock(27));
  EXPECT_EQ(events[3].status, 0x80);
  EXPECT_GE(events[3].tick, tickOfBlock(40));
  EXPECT_LT(events[3].tick, tickOfBlock(42));
}

TEST_F(LiveNotesFile, ANoteStillHeldAtTheEndEndsAfterTheLastBlockRead) {
  LiveNotes notes(audio);
  std::string reason;
  ASSERT_TRUE(notes.openFile("held.mid", reason)) << reason;
  feed(10, true);
  notes.follow(false);
  feed(3, true);  // captured as the program ends, never read
  ASSERT_TRUE(notes.finish(reason)) << reason;
  const std::vector<test_midi::ReadEvent> events = notesOf(test_midi::readMidi("held.mid"));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].status, 0x80);
  EXPECT_EQ(events[1].tick, tickOfBlock(10));
}

// Until the end the notes are under a temporary name: an existing file stays as it was, and a
// session that is not finished leaves nothing behind.
TEST_F(LiveNotesFile, TheTargetIsReplacedOnlyWhenTheSessionEnds) {
  {
    std::FILE* old = std::fopen("kept.mid", "wb");
    ASSERT_NE(old, nullptr);
    std::fputs("old", old);
    std::fclose(old);
  }
  {
    LiveNotes notes(audio);
    std::string reason;
    ASSERT_TRUE(notes.openFile("kept.mid", reason)) << reason;
    feed(4, true);
    notes.follow(false);
    EXPECT_EQ(std::filesystem::file_size("kept.mid"), 3u);
  }  // never finished: the program was killed
  EXPECT_EQ(std::filesystem::file_size("kept.mid"), 3u);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(".")) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);

  LiveNotes notes(audio);
  std::string reason;
  EXPECT_FALSE(notes.openFile("no-such-folder/notes.mid", reason));
  EXPECT_NE(reason.find("no-such-folder/notes.mid"), std::string::npos) << reason;
}

}  // namespace

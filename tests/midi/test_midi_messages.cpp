// The note messages built from the tracker's events: the bytes a synthesiser reads, and that
// no key is left sounding.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <vector>

#include "midi/midi_messages.hpp"

namespace {

using Bytes = std::vector<int>;

NoteEvent on(int row, int velocity) { return NoteEvent{0, row, true, velocity, 0.0}; }
NoteEvent off(int row) { return NoteEvent{0, row, false, 0, 0.0}; }

std::vector<Bytes> messagesFor(const NoteEvent& event, HeldKeys& keys) {
  MidiMessage out[kMostMessagesPerEvent];
  const int count = midiMessagesFor(event, keys, out);
  std::vector<Bytes> messages;
  for (int i = 0; i < count; ++i) messages.push_back({out[i].bytes[0], out[i].bytes[1], out[i].bytes[2]});
  return messages;
}

std::vector<Bytes> released(HeldKeys& keys) {
  MidiMessage out[kMidiKeys];
  const int count = releaseHeldKeys(keys, out);
  std::vector<Bytes> messages;
  for (int i = 0; i < count; ++i) messages.push_back({out[i].bytes[0], out[i].bytes[1], out[i].bytes[2]});
  return messages;
}

TEST(MidiMessages, NoteOnTakesTheRowsKeyOnChannelOneAndAVelocityASynthesiserSounds) {
  struct Case {
    int row, velocity;
    Bytes expected;
  } cases[] = {
      {0, 64, {0x90, 33, 64}},     // A1, the lowest row
      {36, 100, {0x90, 69, 100}},  // A4
      {71, 64, {0x90, 104, 64}},   // the highest row
      {10, 1, {0x90, 43, 1}},
      {10, 0, {0x90, 43, 1}},      // velocity 0 would be a note-off on the wire
      {10, -7, {0x90, 43, 1}},
      {10, 127, {0x90, 43, 127}},
      {10, 128, {0x90, 43, 127}},  // a data byte has seven bits
      {10, 1000, {0x90, 43, 127}},
  };
  for (const Case& c : cases) {
    HeldKeys keys;
    EXPECT_EQ(messagesFor(on(c.row, c.velocity), keys), std::vector<Bytes>{c.expected})
        << "row " << c.row << " velocity " << c.velocity;
  }
}

TEST(MidiMessages, RowsOutsideTheTableSendNothing) {
  for (int row : {-1, kNoteRows, 1000}) {
    HeldKeys keys;
    EXPECT_TRUE(messagesFor(on(row, 64), keys).empty()) << row;
    EXPECT_TRUE(released(keys).empty()) << row;
  }
}

TEST(MidiMessages, EveryNoteOnGetsExactlyOneNoteOff) {
  HeldKeys keys;
  EXPECT_TRUE(messagesFor(off(36), keys).empty());  // an end without a start sends nothing
  messagesFor(on(36, 90), keys);
  EXPECT_EQ(messagesFor(off(36), keys), (std::vector<Bytes>{{0x80, 69, 64}}));
  EXPECT_TRUE(messagesFor(off(36), keys).empty());  // nor a second end
  messagesFor(on(36, 90), keys);
  // Struck again while held: ended first, so the synthesiser never counts two note-ons.
  EXPECT_EQ(messagesFor(on(36, 50), keys), (std::vector<Bytes>{{0x80, 69, 64}, {0x90, 69, 50}}));
  EXPECT_EQ(released(keys), (std::vector<Bytes>{{0x80, 69, 64}}));
}

TEST(MidiMessages, LettingGoEndsEveryKeyStillHeldOnceLowestFirst) {
  HeldKeys keys;
  for (int row : {71, 0, 36, 12}) messagesFor(on(row, 80), keys);
  messagesFor(off(12), keys);
  EXPECT_EQ(released(keys), (std::vector<Bytes>{{0x80, 33, 64}, {0x80, 69, 64}, {0x80, 104, 64}}));
  EXPECT_TRUE(released(keys).empty());
  EXPECT_TRUE(messagesFor(off(0), keys).empty());  // the tracker's own end, after the freeze, adds nothing
}

// One block as the MIDI side sees it: the phase the tracker left row 36 (A4) in, and its events.
struct Block {
  RowPhase phase;
  std::vector<NoteEvent> events;
  std::vector<Bytes> expected;
};

std::vector<Bytes> blockMessages(const Block& block, NoteTrackerState& tracker, HeldKeys& keys) {
  tracker.rows[36].phase = block.phase;
  NoteEvents events;
  for (const NoteEvent& event : block.events) events.events[events.count++] = event;
  MidiMessage out[kMostMessagesPerBlock];
  const int count = midiMessagesForBlock(events, tracker, keys, out);
  std::vector<Bytes> messages;
  for (int i = 0; i < count; ++i) messages.push_back({out[i].bytes[0], out[i].bytes[1], out[i].bytes[2]});
  return messages;
}

TEST(MidiMessages, ARowSoundsFromTheBlockThatShowsItAndEndsIfTheTrackerDropsIt) {
  constexpr double kLevel = 1e6;
  const int velocity = noteVelocity(kLevel);
  const Bytes a4On{0x90, 69, velocity}, a4Off{0x80, 69, 64};
  using P = RowPhase;
  const struct Case {
    const char* name;
    std::vector<Block> blocks;
  } cases[] = {
      {"decided the next block: sounds once, from the first",
       {{P::Lit, {}, {a4On}}, {P::Held, {on(36, 90)}, {}}, {P::Held, {}, {}}, {P::Idle, {off(36)}, {a4Off}}}},
      {"a blip: ended when the tracker lets it drop", {{P::Lit, {}, {a4On}}, {P::Idle, {}, {a4Off}}, {P::Idle, {}, {}}}},
      {"decided, its note-on held back a block: no end in between",
       {{P::Lit, {}, {a4On}}, {P::Held, {}, {}}, {P::Held, {on(36, 90)}, {}}, {P::Idle, {off(36)}, {a4Off}}}},
      {"struck again after a dark block: the end, then the new note at once",
       {{P::Held, {on(36, 90)}, {{0x90, 69, 90}}}, {P::Dark, {}, {}}, {P::Lit, {off(36)}, {a4Off, a4On}},
        {P::Held, {on(36, 80)}, {}}, {P::Idle, {off(36)}, {a4Off}}}},
  };
  for (const Case& c : cases) {
    auto tracker = std::make_unique<NoteTrackerState>();
    resetNoteTracker(*tracker);
    tracker->rows[36].fullLevel = kLevel;
    HeldKeys keys;
    int step = 0;
    for (const Block& block : c.blocks)
      EXPECT_EQ(blockMessages(block, *tracker, keys), block.expected) << c.name << ", block " << step++;
    EXPECT_TRUE(released(keys).empty()) << c.name << ": a key left sounding";
  }
}

// A note sent from the block that first shows it is as loud as the note the tracker decides a
// block later, wherever in that first block it started: the tail of the window it sounded in
// must not make a forte note piano.
TEST(MidiMessages, AnEarlyNoteOnHasTheVelocityOfTheNoteWhereverItStartsInItsFirstBlock) {
  constexpr int kRow = 36;  // A4
  constexpr double kAmplitude = 0.1;
  // 3 dB: a short burst leaks out of the row's band, so the late starts come a little quieter.
  constexpr int kMostVelocityApart = 6;
  double rowHz[kNoteRows];
  for (int r = 0; r < kNoteRows; ++r) rowHz[r] = 55.0 * std::pow(2.0, r / 12.0);
  for (const int start : {0, 256, 512, 1024, 1280, 1536}) {
    auto tracker = std::make_unique<NoteTrackerState>();
    resetNoteTracker(*tracker);
    HeldKeys keys;
    int early = -1, decided = -1;
    std::vector<float> block(kBlockSize);
    for (int b = 0; b < 4 && decided < 0; ++b) {
      for (int i = 0; i < kBlockSize; ++i) {
        const long long n = static_cast<long long>(b - 1) * kBlockSize + i - start;  // samples since the onset
        block[i] = n < 0 ? 0.0f : static_cast<float>(kAmplitude * std::sin(2.0 * std::numbers::pi * 440.0 * n / kSampleRate));
      }
      float scores[kNoteRows] = {};
      if (b >= 1) scores[kRow] = 1.0f;  // the detector names A4 from the block the note starts in
      const PitchReading reading;
      NoteEvents events;
      trackNotes(NoteTrackerInput{scores, &reading, block.data(), rowHz, static_cast<long long>(b) * kBlockSize, b == 0},
                 *tracker, events);
      MidiMessage out[kMostMessagesPerBlock];
      const int count = midiMessagesForBlock(events, *tracker, keys, out);
      for (int i = 0; i < count; ++i)
        if (out[i].bytes[0] == 0x90 && early < 0) early = out[i].bytes[2];
      for (int i = 0; i < events.count; ++i)
        if (events.events[i].on) decided = events.events[i].velocity;
    }
    ASSERT_GT(early, 0) << "onset " << start;
    ASSERT_GT(decided, 0) << "onset " << start;
    EXPECT_LE(std::abs(early - decided), kMostVelocityApart) << "onset " << start << " samples into its first block";
  }
}

TEST(MidiMessages, ARowWhereAPartialOfANoteShownFallsWaitsForTheTracker) {
  struct Case {
    int below;  // rows below A4 of a note already shown
    bool early;
  } cases[] = {{12, false}, {19, false}, {24, false}, {36, false}, {11, true}, {13, true}, {35, true}, {0, true}};
  for (const Case& c : cases) {
    auto tracker = std::make_unique<NoteTrackerState>();
    resetNoteTracker(*tracker);
    HeldKeys keys;
    if (c.below > 0) tracker->rows[36 - c.below].phase = RowPhase::Held;
    const std::vector<Bytes> sent = blockMessages(Block{RowPhase::Lit, {}, {}}, *tracker, keys);
    EXPECT_EQ(!sent.empty(), c.early) << c.below << " rows below";
    // Either way the tracker's decision sounds it once.
    const std::vector<Bytes> decided = blockMessages(Block{RowPhase::Held, {on(36, 90)}, {}}, *tracker, keys);
    EXPECT_EQ(decided.size(), c.early ? 0u : 1u) << c.below << " rows below";
  }
}

TEST(MidiMessages, AKeySoundingBeforeItIsDecidedIsLetGoOnFreeze) {
  auto tracker = std::make_unique<NoteTrackerState>();
  resetNoteTracker(*tracker);
  HeldKeys keys;
  blockMessages(Block{RowPhase::Lit, {}, {}}, *tracker, keys);
  EXPECT_EQ(released(keys), (std::vector<Bytes>{{0x80, 69, 64}}));
  resetNoteTracker(*tracker);  // as after a freeze: the row is idle and nothing is sounding
  EXPECT_TRUE(blockMessages(Block{RowPhase::Idle, {}, {}}, *tracker, keys).empty());
}

}  // namespace

// The note tracker behind the precise detector, on made sounds: held, re-struck and too
// short notes, silence and hiss, onsets to the sample, velocity, and a gap in the input.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/note_table.hpp"
#include "analysis/note_tracker.hpp"
#include "analysis/precise_detector.hpp"
#include "core/tuner_state.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kA4 = 36;
constexpr int kC4 = 27;
constexpr int kE4 = 31;

struct Strike {
  int row;
  double start;     // s
  double length;    // s, then a 5 ms release
  double amplitude; // of the fundamental
  double decay;     // s, time constant of the envelope; 0 holds it
  double cents = 0.0;
};

// Each note with three harmonics at 1/2 and 1/4 of the fundamental's amplitude.
std::vector<float> render(const std::vector<Strike>& strikes, double seconds, double hiss = 0.0) {
  std::vector<float> samples(static_cast<size_t>(seconds * kSampleRate));
  std::mt19937 generator(5);
  std::normal_distribution<double> noise(0.0, hiss > 0.0 ? hiss : 1.0);
  for (size_t i = 0; i < samples.size(); ++i) {
    const double t = i / kSampleRate;
    double v = hiss > 0.0 ? noise(generator) : 0.0;
    for (const Strike& s : strikes) {
      const double age = t - s.start;
      if (age < 0.0 || age > s.length + 0.005) continue;
      double envelope = s.amplitude * (s.decay > 0.0 ? std::exp(-age / s.decay) : 1.0);
      if (age > s.length) envelope *= 1.0 - (age - s.length) / 0.005;
      const double hz = 440.0 * std::pow(2.0, (s.row - kA4) / 12.0 + s.cents / 1200.0);
      for (int h = 1; h <= 3; ++h) v += envelope / (1 << (h - 1)) * std::sin(2 * kPi * hz * h * age);
    }
    samples[i] = static_cast<float>(v);
  }
  return samples;
}

struct Tracked {
  std::vector<NoteEvent> events;
};

// Detector and tracker over every whole block, from `first` on; a gap of `gapBlocks` skipped
// blocks before block `gapAt`.
Tracked track(const std::vector<float>& samples, int gapAt = -1, int gapBlocks = 0) {
  resetTunerState();
  buildNoteTable();
  static PreciseState precise;
  static NoteTrackerState tracker;
  static NoteEvents out;
  resetPreciseDetector(precise);
  resetNoteTracker(tracker);
  Tracked run;
  const int blocks = static_cast<int>(samples.size()) / kBlockSize;
  for (int b = 0; b < blocks; ++b) {
    const bool gap = b == gapAt;
    if (gap) {
      resetPreciseDetector(precise);
      b += gapBlocks;
      if (b >= blocks) break;
    }
    const float* block = samples.data() + static_cast<size_t>(b) * kBlockSize;
    float scores[kNoteRows];
    PitchReading reading;
    runPreciseDetector(PreciseInput{block, 1.0, tuner.noteFrequency + kNoteRowOffset}, precise, scores, reading);
    const NoteTrackerInput input{scores, &reading, block, tuner.noteFrequency + kNoteRowOffset,
                                 static_cast<long long>(b) * kBlockSize, gap};
    trackNotes(input, tracker, out);
    run.events.insert(run.events.end(), out.events, out.events + out.count);
  }
  finishNotes(tracker, out);
  run.events.insert(run.events.end(), out.events, out.events + out.count);
  return run;
}

std::vector<NoteEvent> onsets(const Tracked& run) {
  std::vector<NoteEvent> on;
  for (const NoteEvent& e : run.events)
    if (e.on) on.push_back(e);
  return on;
}

long long at(double seconds) { return static_cast<long long>(seconds * kSampleRate); }

// Every run's events come in order, and each row alternates onset and end, ending ended.
void expectWellFormed(const Tracked& run) {
  bool sounding[kNoteRows] = {};
  long long last = -1;
  for (const NoteEvent& e : run.events) {
    EXPECT_GE(e.sample, last);
    last = e.sample;
    ASSERT_GE(e.row, 0);
    ASSERT_LT(e.row, kNoteRows);
    EXPECT_NE(sounding[e.row], e.on) << "row " << e.row << " at " << e.sample;
    sounding[e.row] = e.on;
    if (e.on) {
      EXPECT_GE(e.velocity, 1);
      EXPECT_LE(e.velocity, 127);
    }
  }
  for (bool s : sounding) EXPECT_FALSE(s);
}

TEST(NoteTracker, HeldNoteIsOneNoteFromItsOnsetToItsEnd) {
  for (double cents : {0.0, 30.0, -40.0}) {
    const Tracked run = track(render({{kA4, 0.3, 2.0, 0.1, 0.0, cents}}, 3.0));
    expectWellFormed(run);
    ASSERT_EQ(run.events.size(), 2u) << cents;
    EXPECT_EQ(run.events[0].row, kA4);
    EXPECT_NEAR(run.events[0].sample, at(0.3), 16);
    EXPECT_NEAR(run.events[0].cents, cents, 5.0);  // read while the attack is still in the window
    EXPECT_FALSE(run.events[1].on);
    EXPECT_NEAR(run.events[1].sample, at(2.3), 3 * kBlockSize);
  }
}

TEST(NoteTracker, SwellingAndDecayingHeldNotesAreNotSplit) {
  // A slow swell (+6 dB over 0.5 s) and a plucked decay stay one note each.
  std::vector<float> swell = render({{kC4, 0.2, 2.0, 0.05, 0.0}}, 2.5);
  for (size_t i = 0; i < swell.size(); ++i) swell[i] *= static_cast<float>(1.0 + std::min(1.0, i / kSampleRate / 0.7));
  for (const Tracked& run : {track(swell), track(render({{kC4, 0.2, 1.5, 0.2, 0.5}}, 2.0))}) {
    expectWellFormed(run);
    EXPECT_EQ(onsets(run).size(), 1u);
  }
}

TEST(NoteTracker, NoteStruckAgainIsTwoNotes) {
  struct Case {
    double decay;  // s: the first strike has fallen by 13, 6.5 and 4.3 dB when struck again
    bool chord;    // with C4 held under it
  };
  for (const Case& c : {Case{0.1, false}, Case{0.2, false}, Case{0.3, false}, Case{0.1, true}, Case{0.2, true}}) {
    std::vector<Strike> strikes = {{kE4, 0.25, 0.15, 0.2, c.decay}, {kE4, 0.40, 0.6, 0.2, c.decay}};
    if (c.chord) strikes.push_back({kC4, 0.1, 1.2, 0.2, 0.0});
    const Tracked run = track(render(strikes, 1.5));
    expectWellFormed(run);
    std::vector<NoteEvent> on;
    for (const NoteEvent& e : onsets(run))
      if (e.row == kE4) on.push_back(e);
    const std::string name = std::to_string(c.decay) + (c.chord ? " s, chord" : " s");
    ASSERT_EQ(on.size(), 2u) << name;
    const int near = c.chord ? 2 * kOnsetFrame : 16;  // the held note's beats blur the rise
    EXPECT_NEAR(on[0].sample, at(0.25), near) << name;
    EXPECT_NEAR(on[1].sample, at(0.40), near) << name;
    for (const NoteEvent& e : run.events) {  // the first ends where the second begins
      if (e.row == kE4 && !e.on && e.sample <= on[1].sample) {
        EXPECT_EQ(e.sample, on[1].sample) << name;
      }
    }
  }
}

TEST(NoteTracker, NotesShorterThanTwoBlocksAreNotNotes) {
  struct Case {
    double length;  // s
    size_t notes;
  };
  for (const Case& c : {Case{0.02, 0}, Case{0.04, 0}, Case{0.25, 1}, Case{0.5, 1}}) {
    const Tracked run = track(render({{kA4, 0.5, c.length, 0.1, 0.0}}, 1.5));
    expectWellFormed(run);
    EXPECT_EQ(onsets(run).size(), c.notes) << c.length << " s";
  }
}

TEST(NoteTracker, SilenceAndHissGiveNoNotes) {
  for (double hiss : {0.0, 1e-4, 0.01, 0.1}) {
    const Tracked run = track(render({}, 3.0, hiss));
    EXPECT_TRUE(run.events.empty()) << "hiss " << hiss;
  }
}

TEST(NoteTracker, OnsetsAreFoundToTheSampleWithinTheBlock) {
  for (int offset : {0, 1, 300, 1024, 1700, 2047}) {
    const double start = (10 * kBlockSize + offset) / kSampleRate;
    const Tracked run = track(render({{kC4, start, 0.5, 0.1, 0.0}}, 1.2));
    const std::vector<NoteEvent> on = onsets(run);
    ASSERT_EQ(on.size(), 1u) << offset;
    EXPECT_NEAR(on[0].sample, 10 * kBlockSize + offset, 16) << offset;
  }
}

TEST(NoteTracker, VelocityFollowsTheLevelOfThePartials) {
  struct Case {
    double amplitude;  // of the fundamental; the partials add 1/4 and 1/16 of its power
    int least, most;   // 1 + 126 x (dBFS + 60) / 60, from the partials' power: -4.8, -24.8, -44.8 dBFS and below -60
  };
  for (const Case& c : {Case{0.5, 116, 118}, Case{0.05, 74, 76}, Case{0.005, 32, 34}, Case{0.0005, 1, 1}}) {
    const std::vector<NoteEvent> on = onsets(track(render({{kA4, 0.3, 0.6, c.amplitude, 0.0}}, 1.2)));
    ASSERT_EQ(on.size(), 1u) << c.amplitude;
    EXPECT_GE(on[0].velocity, c.least) << c.amplitude;
    EXPECT_LE(on[0].velocity, c.most) << c.amplitude;
  }
}

TEST(NoteTracker, MelodyAndChordComeOutInOrder) {
  const Tracked run = track(render({{kC4, 0.2, 0.4, 0.1, 0.3},
                                {kE4, 0.6, 0.4, 0.1, 0.3},
                                {kA4, 1.0, 0.4, 0.1, 0.3},
                                {kC4, 1.5, 0.8, 0.08, 0.5},
                                {kE4, 1.5, 0.8, 0.08, 0.5},
                                {kA4, 1.5, 0.8, 0.08, 0.5}},
                               2.8));
  expectWellFormed(run);
  const std::vector<NoteEvent> on = onsets(run);
  ASSERT_EQ(on.size(), 6u);
  const int rows[] = {kC4, kE4, kA4, kC4, kE4, kA4};
  const double starts[] = {0.2, 0.6, 1.0, 1.5, 1.5, 1.5};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(on[i].row, rows[i]) << i;
    EXPECT_NEAR(on[i].sample, at(starts[i]), kOnsetFrame) << i;
  }
}

// The rows lit by the given pattern ('#' lit, '.' dark, a block each) over `samples`.
Tracked trackPattern(const std::vector<float>& samples, int row, const std::string& pattern) {
  resetTunerState();
  buildNoteTable();
  static NoteTrackerState tracker;
  static NoteEvents out;
  resetNoteTracker(tracker);
  Tracked run;
  for (size_t b = 0; b < pattern.size(); ++b) {
    float scores[kNoteRows] = {};
    scores[row] = pattern[b] == '#' ? 0.9f : 0.1f;
    const PitchReading reading;
    const float* block = samples.data() + b * kBlockSize;
    const NoteTrackerInput input{scores, &reading, block, tuner.noteFrequency + kNoteRowOffset,
                                 static_cast<long long>(b) * kBlockSize, false};
    trackNotes(input, tracker, out);
    run.events.insert(run.events.end(), out.events, out.events + out.count);
  }
  finishNotes(tracker, out);
  run.events.insert(run.events.end(), out.events, out.events + out.count);
  return run;
}

TEST(NoteTracker, OneDarkBlockIsBridgedUnlessTheNoteWasStruckInIt) {
  struct Case {
    const char* pattern;
    bool struckInBlock10;  // struck again at 10.5 blocks
    size_t notes;
  };
  const Case cases[] = {{"##########.#########", false, 1}, {"##########..########", false, 2},
                        {"##########.#########", true, 2},  {"#.##################", false, 1},
                        {"##.#.#.#.#.#.#.#.#.#", false, 1}, {"#.#.#.#.#.#.#.#.#.#.", false, 0}};
  for (const Case& c : cases) {
    std::vector<Strike> strikes = {{kA4, 0.0, 10.5 * kBlockSize / kSampleRate, 0.1, 0.1}};
    if (c.struckInBlock10) strikes.push_back({kA4, 10.5 * kBlockSize / kSampleRate, 0.5, 0.1, 0.1});
    else strikes.back().length = 1.0;
    const Tracked run = trackPattern(render(strikes, 1.0), kA4, c.pattern);
    expectWellFormed(run);
    EXPECT_EQ(onsets(run).size(), c.notes) << c.pattern << (c.struckInBlock10 ? " struck" : "");
  }
}

TEST(NoteTracker, GapEndsEveryNoteAtTheLastBlockSeen) {
  const std::vector<float> held = render({{kA4, 0.1, 3.0, 0.1, 0.0}}, 3.2);
  const Tracked run = track(held, 20, 10);
  expectWellFormed(run);
  const std::vector<NoteEvent> on = onsets(run);
  ASSERT_EQ(on.size(), 2u);  // the note before the gap and the one after
  EXPECT_FALSE(run.events[1].on);
  EXPECT_EQ(run.events[1].sample, 20LL * kBlockSize);
  EXPECT_GE(on[1].sample, 30LL * kBlockSize);
}

}  // namespace

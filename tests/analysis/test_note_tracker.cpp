// The note tracker behind the precise detector, on made sounds: held, re-struck and too short
// notes, silence and hiss, onsets to the sample, velocity, and a block the detector missed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/note_order.hpp"
#include "analysis/note_table.hpp"
#include "analysis/note_tracker.hpp"
#include "analysis/precise_detector.hpp"
#include "core/tuner_state.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kA4 = 36, kC4 = 27, kE4 = 31;

struct Strike {
  int row;
  double start, length;  // s; a 5 ms release follows
  double amplitude;      // of the fundamental; the 2nd and 3rd harmonics have 1/2 and 1/4 of it
  double decay;          // s to 1/e; 0 holds it
  double cents = 0.0;
};

std::vector<float> render(const std::vector<Strike>& strikes, double seconds, double hiss = 0.0) {
  std::vector<float> samples(static_cast<size_t>(seconds * kSampleRate));
  std::mt19937 generator(5);
  std::normal_distribution<double> noise(0.0, 1.0);
  for (size_t i = 0; i < samples.size(); ++i) {
    double v = hiss > 0.0 ? hiss * noise(generator) : 0.0;
    for (const Strike& s : strikes) {
      const double age = i / kSampleRate - s.start;
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

struct LitRow {
  int row;
  std::string pattern;  // '#' a block that lights the row
};

// The tracker over every whole block, behind the precise detector, or with rows lit as `lit` has
// them, its events put in order as a file takes them. Every run's events must come in order, each
// row alternating onset and end, and all ended.
std::vector<NoteEvent> track(const std::vector<float>& samples, const std::vector<LitRow>& lit) {
  const auto record = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& tuner = *record;
  buildNoteTable(tuner.notes);
  static PreciseState precise;
  static NoteTrackerState tracker;
  static NoteEvents out;
  static NoteOrder order;
  resetPreciseDetector(precise);
  resetNoteTracker(tracker);
  order.count = 0;
  std::vector<NoteEvent> events;
  const double* rows = tuner.notes.frequency + kNoteRowOffset;
  for (size_t b = 0; (b + 1) * kBlockSize <= samples.size(); ++b) {
    const float* block = samples.data() + b * kBlockSize;
    float scores[kNoteRows] = {};
    PitchReading reading;
    if (lit.empty()) runPreciseDetector(PreciseInput{block, 1.0, rows}, precise, scores, reading);
    for (const LitRow& r : lit)
      if (b < r.pattern.size()) scores[r.row] = r.pattern[b] == '#' ? 0.9f : 0.1f;
    const long long first = static_cast<long long>(b * kBlockSize);
    trackNotes(NoteTrackerInput{scores, &reading, block, rows, first, false}, tracker, out);
    for (int i = 0; i < out.count; ++i)  // what the order waits for
      EXPECT_GE(out.events[i].sample, first - kBlockSize - kLatestNoteDecision) << "decided with block " << b;
    holdNoteEvents(order, out);
    const int settled = settledNoteEvents(order, first);
    events.insert(events.end(), order.waiting, order.waiting + settled);
    dropNoteEvents(order, settled);
  }
  finishNotes(tracker, out);
  holdNoteEvents(order, out);
  events.insert(events.end(), order.waiting, order.waiting + order.count);
  bool sounding[kNoteRows] = {};
  for (size_t i = 0; i < events.size(); ++i) {
    const NoteEvent& e = events[i];
    EXPECT_GE(e.sample, i > 0 ? events[i - 1].sample : 0);
    EXPECT_NE(sounding[e.row], e.on) << "row " << e.row << " at " << e.sample;
    sounding[e.row] = e.on;
    EXPECT_TRUE(!e.on || (e.velocity >= 1 && e.velocity <= 127)) << e.velocity;
  }
  for (bool s : sounding) EXPECT_FALSE(s);
  return events;
}

std::vector<NoteEvent> track(const std::vector<float>& samples, int row = -1, const std::string& pattern = "") {
  return track(samples, row < 0 ? std::vector<LitRow>{} : std::vector<LitRow>{{row, pattern}});
}

std::vector<NoteEvent> onsets(const std::vector<NoteEvent>& events, int row = -1) {
  std::vector<NoteEvent> on;
  for (const NoteEvent& e : events)
    if (e.on && (row < 0 || e.row == row)) on.push_back(e);
  return on;
}

long long at(double seconds) { return static_cast<long long>(seconds * kSampleRate); }

TEST(NoteTracker, HeldNoteIsOneNoteFromItsOnsetToItsEnd) {
  struct Case {
    double cents, decay;
    double swell;   // s to reach twice the amplitude (+6 dB), from the start
    double attack;  // s of a linear rise from nothing, as a bow or breath starts a note
    double tremolo = 0.0;  // share of the amplitude it swings by, 5 times a second
  };
  for (const Case& c : {Case{0.0, 0.0, 0.0, 0.0}, Case{30.0, 0.0, 0.0, 0.0}, Case{-40.0, 0.0, 0.0, 0.0},
                        Case{0.0, 0.5, 0.0, 0.0}, Case{0.0, 0.0, 0.7, 0.0}, Case{0.0, 0.0, 0.0, 0.1},
                        Case{0.0, 0.0, 0.0, 0.2}, Case{0.0, 0.0, 0.0, 0.3}, Case{0.0, 0.0, 0.0, 0.0, 0.2},
                        Case{0.0, 0.0, 0.0, 0.0, 0.3}}) {
    std::vector<float> samples = render({{kA4, 0.3, 2.0, 0.1, c.decay, c.cents}}, 3.0);
    for (size_t i = 0; i < samples.size(); ++i) {
      const double age = i / kSampleRate - 0.3;
      if (c.swell > 0.0) samples[i] *= static_cast<float>(1.0 + std::clamp(age / c.swell, 0.0, 1.0));
      if (c.attack > 0.0) samples[i] *= static_cast<float>(std::clamp(age / c.attack, 0.0, 1.0));
      samples[i] *= static_cast<float>(1.0 + c.tremolo * std::sin(2 * kPi * 5.0 * age));
    }
    const std::vector<NoteEvent> events = track(samples);
    const std::string name = std::to_string(c.cents) + " cents, decay " + std::to_string(c.decay) + ", swell " +
                             std::to_string(c.swell) + ", attack " + std::to_string(c.attack) + ", tremolo " + std::to_string(c.tremolo);
    ASSERT_EQ(events.size(), 2u) << name;
    EXPECT_EQ(events[0].row, kA4) << name;
    if (c.attack == 0.0) {
      EXPECT_NEAR(events[0].sample, at(0.3), 16) << name;
      EXPECT_NEAR(events[0].cents, c.cents, 5.0) << name;  // read while the attack is still in the window
    }
    if (c.decay == 0.0) {
      EXPECT_NEAR(events[1].sample, at(2.3), 3 * kBlockSize) << name;
    }
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
    const std::vector<NoteEvent> events = track(render(strikes, 1.5));
    const std::vector<NoteEvent> on = onsets(events, kE4);
    const std::string name = std::to_string(c.decay) + (c.chord ? " s, chord" : " s");
    ASSERT_EQ(on.size(), 2u) << name;
    const int near = c.chord ? 2 * kOnsetFrame : 16;  // the held note's beats blur the rise
    EXPECT_NEAR(on[0].sample, at(0.25), near) << name;
    EXPECT_NEAR(on[1].sample, at(0.40), near) << name;
    for (const NoteEvent& e : events) {  // the first ends where the second begins
      if (e.row == kE4 && !e.on && e.sample <= on[1].sample) {
        EXPECT_EQ(e.sample, on[1].sample) << name;
      }
    }
  }
}

TEST(NoteTracker, NotesShownInFewerThanTwoBlocksAreNotNotes) {
  for (const auto& [length, notes] : {std::pair{0.02, 0u}, {0.04, 0u}, {0.25, 1u}, {0.5, 1u}})
    EXPECT_EQ(onsets(track(render({{kA4, 0.5, length, 0.1, 0.0}}, 1.5))).size(), notes) << length << " s";
  for (double hiss : {0.0, 1e-4, 0.01, 0.1}) EXPECT_TRUE(track(render({}, 3.0, hiss)).empty()) << "hiss " << hiss;
}

TEST(NoteTracker, OnsetsAreFoundToTheSampleWithinTheBlock) {
  for (int offset : {0, 1, 300, 1024, 1700, 2047}) {
    const std::vector<NoteEvent> on = onsets(track(render({{kC4, (10 * kBlockSize + offset) / kSampleRate, 0.5, 0.1, 0.0}}, 1.2)));
    ASSERT_EQ(on.size(), 1u) << offset;
    EXPECT_NEAR(on[0].sample, 10 * kBlockSize + offset, 16) << offset;
  }
}

// The detector may name a low note a block or two after its attack; the onset is still the
// attack's, the input's very first sample included.
TEST(NoteTracker, ANoteNamedLateKeepsTheOnsetOfItsAttack) {
  for (const auto& [attack, pattern] : {std::pair{6 * kBlockSize + 700, ".......#############"},
                                        {6 * kBlockSize + 700, "........############"},
                                        {0, "..##################"}}) {
    const std::vector<NoteEvent> on = onsets(track(render({{kC4, attack / kSampleRate, 2.0, 0.1, 0.0}}, 1.0), kC4, pattern));
    ASSERT_EQ(on.size(), 1u) << pattern;
    EXPECT_NEAR(on[0].sample, attack, 16) << pattern;
  }
}

TEST(NoteTracker, VelocityFollowsTheLevelOfThePartials) {
  struct Case {
    double amplitude;  // of the fundamental: the three partials at -4.8, -24.8, -44.8 and -64.8 dBFS
    int least, most;   // 1 + 126 x (dBFS + 60) / 60
  };
  for (const Case& c : {Case{0.5, 116, 118}, Case{0.05, 74, 76}, Case{0.005, 32, 34}, Case{0.0005, 1, 1}}) {
    const std::vector<NoteEvent> on = onsets(track(render({{kA4, 0.3, 0.6, c.amplitude, 0.0}}, 1.2)));
    ASSERT_EQ(on.size(), 1u) << c.amplitude;
    EXPECT_TRUE(on[0].velocity >= c.least && on[0].velocity <= c.most) << c.amplitude << ": " << on[0].velocity;
  }
}

// The detector may lose a sounding note for a block or two; a note the player ended or struck again does not go on.
TEST(NoteTracker, DarkBlocksAreBridgedWhileThePowerHoldsUnlessTheNoteWasStruckInThem) {
  struct Case {
    const char* pattern;  // '#' a block that lights the row
    bool struck;          // struck again in the middle of block 10
    size_t notes;
  };
  for (const Case& c : {Case{"##########.#########", false, 1}, Case{"##########..########", false, 1},
                        Case{"##########...#######", false, 2}, Case{"##########.#########", true, 2},
                        Case{"##########..########", true, 2}, Case{"#.##################", false, 1},
                        Case{"##.#.#.#.#.#.#.#.#.#", false, 1}, Case{"#.#.#.#.#.#.#.#.#.#.", false, 0}}) {
    const double restrike = 10.5 * kBlockSize / kSampleRate;
    // held level when not struck: the row lit again after dark blocks is then as loud as it was
    std::vector<Strike> strikes = {{kA4, 0.0, c.struck ? restrike : 1.0, 0.1, c.struck ? 0.1 : 0.0}};
    if (c.struck) strikes.push_back({kA4, restrike, 0.5, 0.1, 0.1});
    EXPECT_EQ(onsets(track(render(strikes, 1.0), kA4, c.pattern)).size(), c.notes) << c.pattern << (c.struck ? " struck" : "");
  }
}

TEST(NoteTracker, KeyLetGoAndStruckAgainAtTheSameLevelIsTwoNotesAcrossADarkBlock) {
  struct Case {
    double dip;     // dB the sound falls by through dark block 10
    double return_; // s it takes to come back at the start of block 11: a strike or a swell
    size_t notes;
  };
  for (const Case& c : {Case{60.0, 0.002, 2}, Case{12.0, 0.002, 2}, Case{12.0, 1.0, 1}, Case{3.0, 0.002, 1}}) {
    std::vector<float> samples = render({{kA4, 0.0, 2.0, 0.2, 0.0}}, 1.0);
    const double low = std::pow(10.0, -c.dip / 20.0);
    const double dark = 10.0 * kBlockSize / kSampleRate, back = 11.0 * kBlockSize / kSampleRate;
    for (size_t i = 0; i < samples.size(); ++i) {
      const double t = i / kSampleRate;
      if (t >= dark) samples[i] *= static_cast<float>(std::min(1.0, t < back ? low : low + (t - back) / c.return_));
    }
    const std::string name = std::to_string(c.dip) + " dB, back in " + std::to_string(c.return_) + " s";
    EXPECT_EQ(onsets(track(samples, kA4, "##########.#########")).size(), c.notes) << name;
  }
}

TEST(NoteTracker, ARiseOutOfADarkBlockFarBelowTheStrikeIsItsTailNotANewNote) {
  // The strike decays 1.3 dB a block; the block after the dark one doubles it (+6 dB) in 2 ms:
  // back within 9 dB of the strike after block 4, 14 dB below it after block 14.
  for (const auto& [dark, notes] : {std::pair{4, 2u}, {14, 1u}, {22, 1u}}) {
    std::vector<float> samples = render({{kA4, 0.0, 2.0, 0.2, 0.3}}, 1.5);
    const double back = (dark + 1.0) * kBlockSize / kSampleRate;
    for (size_t i = 0; i < samples.size(); ++i)
      samples[i] *= static_cast<float>(1.0 + std::clamp((i / kSampleRate - back) / 0.002, 0.0, 1.0));
    std::string pattern(30, '#');
    pattern[dark] = '.';
    EXPECT_EQ(onsets(track(samples, kA4, pattern)).size(), notes) << "dark block " << dark;
  }
}

TEST(NoteTracker, AFlickerFarBelowWhatTheRowHeardLatelyIsNoNote) {
  struct Case {
    double after;  // s after a loud strike that has fallen 4 dB a block
    double level;  // dB, of the second against the first
    size_t notes;
  };
  for (const Case& c : {Case{0.6, -30.0, 1}, Case{0.6, -6.0, 2}, Case{3.0, -30.0, 2}}) {
    const std::vector<float> samples = render({{kA4, 0.1, 4.0, 0.2, 0.1}, {kA4, 0.1 + c.after, 4.0, 0.2 * std::pow(10.0, c.level / 20.0), 0.1}}, 4.0);
    const std::string name = std::to_string(c.level) + " dB, " + std::to_string(c.after) + " s after";
    EXPECT_EQ(onsets(track(samples, kA4, std::string(100, '#'))).size(), c.notes) << name;
  }
}

TEST(NoteTracker, NoteDampedToAQuietTailEndsThereAndOnlyAStrikeStartsItAgain) {
  struct Case {
    double fall;     // dB the damper takes off in 10 ms at 1.3 s
    double restrike; // s, struck again at full level while the tail rings; 0 not
    size_t notes;
  };
  for (const Case& c : {Case{30.0, 0.0, 1}, Case{20.0, 0.0, 1}, Case{30.0, 2.0, 2}, Case{20.0, 2.0, 2}}) {
    std::vector<float> samples = render({{kA4, 0.3, 2.4, 0.2, 0.0}}, 3.0);
    const double tail = std::pow(10.0, -c.fall / 20.0);
    for (size_t i = 0; i < samples.size(); ++i) {
      const double t = i / kSampleRate;
      double gain = t < 1.3 ? 1.0 : std::max(tail, 1.0 - (t - 1.3) / 0.01 * (1.0 - tail));
      if (c.restrike > 0.0 && t >= c.restrike) gain = std::min(1.0, tail + (t - c.restrike) / 0.002);
      samples[i] *= static_cast<float>(gain);
    }
    const std::vector<NoteEvent> events = track(samples);
    const std::string name = std::to_string(c.fall) + " dB, struck again at " + std::to_string(c.restrike);
    const std::vector<NoteEvent> on = onsets(events, kA4);
    ASSERT_EQ(on.size(), c.notes) << name;
    ASSERT_GE(events.size(), 2u) << name;
    EXPECT_FALSE(events[1].on) << name;
    EXPECT_NEAR(events[1].sample, at(1.3), kBlockSize) << name;  // not where the tail fades out
    if (c.restrike > 0.0) {
      EXPECT_NEAR(on[1].sample, at(c.restrike), 2 * kOnsetFrame) << name;
    }
  }
}

}  // namespace

// An onset decided late goes into the file before events decided earlier but later in time.
TEST(NoteOrder, ANoteNamedLateGoesBeforeEventsDecidedEarlierAndAnEndBeforeAnOnsetAtOneSample) {
  static NoteOrder order;
  for (const auto& events : {std::vector<NoteEvent>{{9000, 3, false, 0, 0.0}, {9000, 5, true, 90, 0.0}},
                             std::vector<NoteEvent>{{9000, 3, true, 80, 0.0}, {6500, 7, true, 70, 0.0}}}) {
    NoteEvents decided;
    for (const NoteEvent& e : events) decided.events[decided.count++] = e;
    holdNoteEvents(order, decided);
  }
  ASSERT_EQ(settledNoteEvents(order, 9000 + kLatestNoteDecision + 1), 4);
  const int rows[] = {7, 3, 3, 5};
  const bool on[] = {true, false, true, true};
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(order.waiting[i].row == rows[i] && order.waiting[i].on == on[i]) << i;
}

// A note's partial named while the detector lost the note is no note; a note struck on that row,
// with the note or after it, is.
TEST(NoteTracker, APartialOfANoteSoundingIsANoteOnlyWhenStruck) {
  constexpr int kA2 = kA4 - 24, kA3 = kA4 - 12;
  struct Case {
    const char* name;
    double upperStart;  // s of a struck A3; < 0: only A2's 2nd harmonic sounds there
    const char* upperLit;
    size_t upperNotes;
  };
  const double together = 5.5 * kBlockSize / kSampleRate, later = 10.5 * kBlockSize / kSampleRate;
  for (const Case& c : {Case{"A2's partial", -1.0, "..........##########", 0},
                        Case{"struck with A2, named a block late", together, ".......#############", 1},
                        Case{"struck while A2 sounds", later, "...........#########", 1}}) {
    std::vector<Strike> strikes = {{kA2, together, 2.0, 0.1, 0.0}};
    if (c.upperStart >= 0.0) strikes.push_back({kA3, c.upperStart, 2.0, 0.1, 0.0});
    const std::vector<NoteEvent> events = track(render(strikes, 1.0), {{kA2, "......##############"}, {kA3, c.upperLit}});
    EXPECT_EQ(onsets(events, kA2).size(), 1u) << c.name;
    EXPECT_EQ(onsets(events, kA3).size(), c.upperNotes) << c.name;
  }
}

// Far below a loud note, what the detector names is the room or noise in its decay, not a note.
TEST(NoteTracker, ANoteFarFainterThanTheLoudestHeardLatelyIsNoNote) {
  constexpr int kA2 = kA4 - 24;
  for (const auto& [belowDb, notes] : {std::pair{10.0, 1u}, {16.0, 1u}, {24.0, 0u}, {34.0, 0u}}) {
    const double soft = 0.5 * std::pow(10.0, -belowDb / 20.0), start = 12.5 * kBlockSize / kSampleRate;
    const std::vector<float> samples = render({{kA4 + 24, 0.05, 2.0, 0.5, 0.0}, {kA2, start, 1.0, soft, 0.0}}, 1.2);
    const std::vector<NoteEvent> events = track(samples, {{kA4 + 24, "####################"}, {kA2, ".............#######"}});
    EXPECT_EQ(onsets(events, kA2).size(), notes) << belowDb << " dB below";
  }
}

// Notes sounding together beat: the power near one pitch swells and sinks a few times a second,
// with no strike in it.
TEST(NoteTracker, ABeatingNoteIsOneNote) {
  constexpr int kA2 = kA4 - 24;
  for (double beatHz : {1.5, 3.0, 5.0}) {
    const double cents = 1200.0 * std::log2(1.0 + beatHz / 110.0);
    const std::vector<float> samples = render({{kA2, 0.1, 1.8, 0.1, 0.0}, {kA2, 0.1, 1.8, 0.045, 0.0, cents}}, 2.0);
    EXPECT_EQ(onsets(track(samples, kA2, std::string(43, '#'))).size(), 1u) << beatHz << " Hz";
  }
}

// Strings beating against each other can dip a note deeply for a block; it goes on, and ends
// where it is let go.
TEST(NoteTracker, ANoteThatDipsForABlockAndComesBackGoesOn) {
  constexpr double kEnd = 1.6;
  std::vector<float> samples = render({{kA4, 0.1, kEnd - 0.1, 0.1, 0.0}}, 2.0);
  const double middle = 12.5 * kBlockSize / kSampleRate, halfWidth = 0.07;
  for (size_t i = 0; i < samples.size(); ++i) {  // 20 dB down and back at 1.7 dB in 5.8 ms: no click
    const double away = std::fabs(i / kSampleRate - middle);
    if (away < halfWidth) samples[i] *= static_cast<float>(std::pow(10.0, -(1.0 - away / halfWidth)));
  }
  const std::vector<NoteEvent> events = track(samples, kA4, std::string(34, '#'));
  ASSERT_EQ(onsets(events).size(), 1u);
  EXPECT_NEAR(events.back().sample, at(kEnd), kBlockSize);
}

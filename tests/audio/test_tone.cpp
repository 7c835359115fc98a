// The reference tone: start, envelope, pitch changes and release at zero crossings.

#include <cmath>

#include "audio/tone.hpp"
#include "audio_fixture.hpp"

namespace {

class Tone : public AudioState {
 protected:
  float step() {
    float sample = 0.0f;
    toneStep(tuner.tone, tuner.notes, sample);
    return sample;
  }
  // The pointer handling's side of a press: the phase reset, then the request.
  void press(int key) {
    tuner.tone.phase = 0.0;
    tuner.tone.key = key;
    tuner.tone.held = true;
  }
  double stepOf(int key) const { return tuner.notes.frequency[key] * kTonePhaseStepPerHertz; }
  // Steps until the sample that crosses zero; returns how many steps that took.
  int stepsToCrossing(int limit = 1000) {
    for (int n = 1; n <= limit; ++n) {
      float before = tuner.tone.lastOut;
      float value = step();
      if ((value > 0.0f && before <= 0.0f) || (value <= 0.0f && before > 0.0f)) return n;
    }
    return -1;
  }
};

TEST_F(Tone, IdleWithoutARequestStaysSilentAndUnchanged) {
  tuner.tone.phase = 1.25;
  tuner.tone.lastOut = 0.125f;
  for (int n = 0; n < 50000; ++n) ASSERT_EQ(step(), 0.0f);
  EXPECT_EQ(tuner.tone.note, kToneSilent);
  EXPECT_EQ(tuner.tone.level, 0.05f);
  EXPECT_EQ(tuner.tone.phase.load(), 1.25);
  EXPECT_EQ(tuner.tone.lastOut, 0.125f);
}

TEST_F(Tone, ARequestStartsAtPhaseZeroAtTheStartLevel) {
  tuner.tone.phase = 2.0;  // left over from an earlier tone; the start resets it
  tuner.tone.key = 48;
  tuner.tone.held = true;
  EXPECT_EQ(step(), 0.0f);
  EXPECT_EQ(tuner.tone.note, 48);
  EXPECT_EQ(tuner.tone.level, static_cast<float>(static_cast<double>(0.2f) * static_cast<double>(0.9999f)));
}

TEST_F(Tone, Entry48AdvancesThePhaseBy0_0626895PerSample) {
  press(48);
  EXPECT_NEAR(tuner.notes.frequency[48], 440.0009766, 1e-6);
  step();
  EXPECT_NEAR(tuner.tone.phase.load(), 0.0626895, 1e-7);
  double expected = tuner.tone.phase.load();
  for (int n = 1; n < 1000; ++n) {
    step();
    expected += stepOf(48);
  }
  EXPECT_EQ(tuner.tone.phase.load(), expected);
}

TEST_F(Tone, WaveformIsASineWithSquareRootBentLobes) {
  press(60);
  for (int n = 0; n < 500; ++n) {
    double phase = tuner.tone.phase.load();
    float level = tuner.tone.level;
    if (n == 0) level = kToneStartLevel;  // the start sets the level on this very sample
    double s = std::sin(phase);
    float expected = static_cast<float>(s >= 0 ? std::sqrt(s) * level : -(std::sqrt(-s) * level));
    ASSERT_EQ(step(), expected) << n;
  }
}

TEST_F(Tone, EnvelopeFallsFrom0_2ToTheFloorIn13860SamplesThenHolds) {
  press(48);
  step();
  EXPECT_LT(tuner.tone.level, 0.2f);
  EXPECT_GT(tuner.tone.level, 0.1999f);
  for (int n = 1; n < 13859; ++n) step();
  EXPECT_GT(tuner.tone.level, 0.05f) << "after 13859 samples";
  step();
  EXPECT_EQ(tuner.tone.level, 0.05f) << "after 13860 samples";
  float peak = 0.0f;
  for (int n = 0; n < 44100; ++n) peak = std::max(peak, std::fabs(step()));
  EXPECT_EQ(tuner.tone.level, 0.05f);
  EXPECT_LE(peak, 0.05f);
  EXPECT_GT(peak, 0.0499f);
}

TEST_F(Tone, ANewKeyWaitsForTheNextZeroCrossingThenStartsAtFullLevelWithoutAPhaseJump) {
  press(48);
  for (int n = 0; n < 30; ++n) step();  // inside the first, positive lobe (a half period is 50 samples)
  tuner.tone.key = 60;
  float levelBefore = tuner.tone.level;
  int steps = 0;
  double phase = tuner.tone.phase.load();
  for (;;) {
    float before = tuner.tone.lastOut;
    float value = step();
    ++steps;
    bool crossed = (value > 0.0f && before <= 0.0f) || (value <= 0.0f && before > 0.0f);
    if (crossed) break;
    ASSERT_EQ(tuner.tone.note, 48);
    ASSERT_EQ(tuner.tone.phase.load(), phase + stepOf(48)) << "old pitch until the crossing";
    phase = tuner.tone.phase.load();
    ASSERT_LT(steps, 60);
  }
  EXPECT_EQ(tuner.tone.note, 60);
  EXPECT_EQ(tuner.tone.phase.load(), phase + stepOf(60)) << "new pitch from the crossing on, phase running on";
  EXPECT_EQ(tuner.tone.level, static_cast<float>(static_cast<double>(0.2f) * static_cast<double>(0.9999f)));
  EXPECT_LT(tuner.tone.level, 0.2f);
  EXPECT_LT(levelBefore, tuner.tone.level);
}

TEST_F(Tone, TheSameKeyAgainChangesNothing) {
  press(48);
  for (int n = 0; n < 200; ++n) {
    tuner.tone.key = 48;
    step();
  }
  float decayed = tuner.tone.level;
  EXPECT_LT(decayed, 0.2f * 0.99f);
  stepsToCrossing();
  EXPECT_LT(tuner.tone.level, decayed) << "no level reset at the crossing";
}

TEST_F(Tone, AReleaseSoundsUpToAndIncludingTheCrossingSample) {
  press(48);
  for (int n = 0; n < 30; ++n) step();
  tuner.tone.held = false;
  int steps = stepsToCrossing();
  ASSERT_GT(steps, 1);
  EXPECT_EQ(tuner.tone.note, kToneSilent);
  EXPECT_LE(tuner.tone.lastOut, 0.0f) << "the last sample is the one that crossed";
  for (int n = 0; n < 1000; ++n) ASSERT_EQ(step(), 0.0f);
}

TEST_F(Tone, PressingAgainBeforeTheStopKeepsTheLevelButRestartsThePhase) {
  press(48);
  for (int n = 0; n < 3000; ++n) step();
  stepsToCrossing();  // now on a negative lobe
  for (int n = 0; n < 20; ++n) step();
  tuner.tone.held = false;
  for (int n = 0; n < 5; ++n) step();
  ASSERT_EQ(tuner.tone.note, 48) << "still sounding towards its stopping crossing";
  float level = tuner.tone.level;

  press(48);
  EXPECT_EQ(step(), 0.0f) << "the reset phase takes effect";
  EXPECT_EQ(tuner.tone.note, 48);
  for (int n = 0; n < 500; ++n) {
    step();
    ASSERT_NE(tuner.tone.note, kToneSilent) << n;
  }
  EXPECT_LT(tuner.tone.level, level) << "never reset to the start level";
}

TEST_F(Tone, KeysOutsideTheNoteTableAreNoRequest) {
  for (int key : {-1, kNoteCount, 100000}) {
    tuner.tone.key = key;
    tuner.tone.held = true;
    for (int n = 0; n < 100; ++n) ASSERT_EQ(step(), 0.0f) << key;
    EXPECT_EQ(tuner.tone.note, kToneSilent);
  }
  press(48);
  for (int n = 0; n < 30; ++n) step();
  tuner.tone.key = kNoteCount + 5;  // a bad key while sounding ends the tone like a release
  stepsToCrossing();
  EXPECT_EQ(tuner.tone.note, kToneSilent);
}

TEST_F(Tone, FollowsTheReferencePitch) {
  tuner.notes.referencePitch = 415.0;
  buildNoteTable(tuner.notes);
  press(36 + kNoteRowOffset);  // row 36, A4
  // Upward crossings over ten seconds, timed between the first and the last.
  int first = -1, last = -1, periods = -1;
  float before = 0.0f;
  for (int n = 0; n < 10 * 44100; ++n) {
    const float value = step();
    if (value > 0.0f && before <= 0.0f) {
      if (first < 0) first = n;
      last = n;
      ++periods;
    }
    before = value;
  }
  const double hz = periods * 44100.0 / (last - first);
  EXPECT_NEAR(hz, 415.0, 0.05);
}

}  // namespace

// Key commands and the pointer rules: latches, markers, scrubbing, tone pick, sliders and switch.

#include <gtest/gtest.h>

#include <cmath>

#include "core/keyboard.hpp"
#include "view/picture.hpp"
#include "scripted_keys.hpp"
#include "app/controls.hpp"

namespace {

class Keys : public WithRecord {
 protected:
  GuardedPicture picture;
  ScriptedKeys held;
  KeyboardDevice keyboard{held};

  void SetUp() override { startLikeTheProgram(tuner); }
  // One frame step's key part: the snapshot, then the commands.
  void step(std::initializer_list<int> down) {
    held.liftAll();
    for (int code : down) held.press(code);
    keyboard.poll();
    handleKeyCommands(tuner, keyboard);
  }
};

TEST_F(Keys, HoldingEnterTogglesOnce) {
  for (int i = 0; i < 10; ++i) step({DIK_RETURN});
  EXPECT_TRUE(tuner.playback.frozen.load());
  step({});
  step({DIK_RETURN});
  EXPECT_FALSE(tuner.playback.frozen.load());
}

TEST_F(Keys, SpaceWhileEnterIsHeldTogglesNothing) {
  step({DIK_RETURN});
  step({DIK_RETURN, DIK_SPACE});
  EXPECT_TRUE(tuner.playback.frozen.load());
  EXPECT_FALSE(tuner.playback.autoPlay.load());
}

TEST_F(Keys, SpaceWhileLiveOnlySetsTheLatch) {
  step({DIK_SPACE});
  EXPECT_FALSE(tuner.playback.autoPlay.load());
  EXPECT_TRUE(tuner.shell.keyLatch);
  step({DIK_SPACE, DIK_RETURN});  // the latch from the step before blocks Enter as well
  EXPECT_FALSE(tuner.playback.frozen.load());
}

TEST_F(Keys, EnterAndSpaceTogetherWhileLiveFreezeAndStartPlayback) {
  tuner.playback.repeat.store(3);
  tuner.playback.sample.store(900);
  step({DIK_RETURN, DIK_SPACE});
  EXPECT_TRUE(tuner.playback.frozen.load());
  EXPECT_TRUE(tuner.playback.autoPlay.load());
  EXPECT_EQ(tuner.playback.repeat.load(), 0);
  EXPECT_EQ(tuner.playback.sample.load(), 0);
}

TEST_F(Keys, EnterAndSpaceTogetherWhileFrozenUnfreezeWithoutPlayback) {
  tuner.playback.frozen.store(true);
  step({DIK_RETURN, DIK_SPACE});
  EXPECT_FALSE(tuner.playback.frozen.load());
  EXPECT_FALSE(tuner.playback.autoPlay.load());
}

TEST_F(Keys, SpaceStopsPlaybackAndUnfreezingStopsItToo) {
  tuner.playback.frozen.store(true);
  step({DIK_SPACE});
  EXPECT_TRUE(tuner.playback.autoPlay.load());
  step({});
  step({DIK_SPACE});
  EXPECT_FALSE(tuner.playback.autoPlay.load());
  step({});
  step({DIK_SPACE});
  step({});
  step({DIK_RETURN});
  EXPECT_FALSE(tuner.playback.frozen.load());
  EXPECT_FALSE(tuner.playback.autoPlay.load());
}

TEST_F(Keys, KeypadEnterIsNotEnter) {
  step({DIK_NUMPADENTER, DIK_NUMPAD7, DIK_NUMPAD1, DIK_DECIMAL});
  EXPECT_FALSE(tuner.playback.frozen.load());
  EXPECT_FALSE(tuner.playback.markersShown);
}

TEST_F(Keys, ATogglesAutomaticGainOncePerPressWithoutTouchingTheEnterLatch) {
  step({DIK_A});
  EXPECT_TRUE(tuner.controls.autoGain);
  for (int n = 0; n < 5; ++n) step({DIK_A});
  EXPECT_TRUE(tuner.controls.autoGain);
  step({DIK_A, DIK_RETURN});  // Enter still toggles while A is held, and A does not again
  EXPECT_TRUE(tuner.playback.frozen.load());
  EXPECT_TRUE(tuner.controls.autoGain);
  step({DIK_RETURN});
  step({DIK_RETURN, DIK_A});  // and A toggles while Enter is held
  EXPECT_FALSE(tuner.controls.autoGain);
  EXPECT_TRUE(tuner.playback.frozen.load());
}

TEST_F(Keys, DSwitchesTheDetectorOncePerPressAndTheFrameCarriesItsReading) {
  step({DIK_D});
  EXPECT_EQ(tuner.controls.detector, Detector::Precise);
  for (int n = 0; n < 5; ++n) step({DIK_D, DIK_RETURN});  // held: once, whatever else is held
  EXPECT_EQ(tuner.controls.detector, Detector::Precise);
  EXPECT_TRUE(tuner.playback.frozen.load());
  tuner.history.pitchReading = PitchReading{36, 441.26, 4.96, 0.9};
  ViewFrame frame = applyViewRules(tuner);
  EXPECT_TRUE(frame.showsReading);
  EXPECT_EQ(frame.pitchRow, 36);
  EXPECT_EQ(frame.pitchCents, 5);
  EXPECT_EQ(frame.pitchTenthsHz, 4413);
  tuner.history.pitchReading = PitchReading{};
  frame = applyViewRules(tuner);
  EXPECT_EQ(frame.pitchRow, kNoKey);
  step({});
  step({DIK_D});
  EXPECT_EQ(tuner.controls.detector, Detector::Design);
  tuner.history.pitchReading = PitchReading{36, 441.26, 4.96, 0.9};
  EXPECT_EQ(applyViewRules(tuner), ViewFrame(applyViewRules(tuner)));
  frame = applyViewRules(tuner);
  EXPECT_FALSE(frame.showsReading);  // the design's frame: no reading, so its pictures stay as they were
  EXPECT_EQ(frame.pitchRow, kNoKey);
}

TEST_F(Keys, AutomaticGainStartsFromThePresentGain) {
  tuner.controls.inputGain.store(8.0f);
  step({DIK_A});
  EXPECT_EQ(tuner.controls.autoGainState.gain, 8.0);
}

TEST_F(Keys, HomeSetsBothUnsetMarkersThenEndMovesOnlyB) {
  tuner.playback.frozen.store(true);
  tuner.history.column.store(150);
  tuner.playback.markA = tuner.playback.markB = -1;
  tuner.playback.column.store(160);
  step({DIK_HOME});
  EXPECT_TRUE(tuner.playback.markersShown);
  EXPECT_EQ(tuner.playback.markA, 10);
  EXPECT_EQ(tuner.playback.markB, 10);
  tuner.playback.column.store(20);  // wraps: display column 70
  step({DIK_END});
  EXPECT_EQ(tuner.playback.markA, 10);
  EXPECT_EQ(tuner.playback.markB, 70);
}

TEST_F(Keys, EndAloneSetsBothMarkers) {
  tuner.playback.frozen.store(true);
  tuner.playback.markA = tuner.playback.markB = -1;
  tuner.playback.column.store(42);
  step({DIK_END});
  EXPECT_EQ(tuner.playback.markA, 42);
  EXPECT_EQ(tuner.playback.markB, 42);
}

TEST_F(Keys, HeldHomeFollowsTheCursor) {
  tuner.playback.frozen.store(true);
  tuner.playback.markA = tuner.playback.markB = -1;
  step({DIK_HOME});
  tuner.playback.column.store(9);
  step({DIK_HOME});
  EXPECT_EQ(tuner.playback.markA, 9);
  EXPECT_EQ(tuner.playback.markB, 0);
}

TEST_F(Keys, DeleteAndHomeInOneStepLeaveBothMarkersAtTheCursor) {
  freezeWithMarkers(tuner, 3, 80);
  tuner.playback.column.store(25);
  step({DIK_DELETE, DIK_HOME});
  EXPECT_TRUE(tuner.playback.markersShown);
  EXPECT_EQ(tuner.playback.markA, 25);
  EXPECT_EQ(tuner.playback.markB, 25);
  step({DIK_DELETE});
  EXPECT_FALSE(tuner.playback.markersShown);
  EXPECT_EQ(tuner.playback.markA, -1);
  EXPECT_EQ(tuner.playback.markB, -1);
}

TEST_F(Keys, MarkersSetWhileLiveAreClearedByTheSameFramesView) {
  step({DIK_HOME});
  EXPECT_TRUE(tuner.playback.markersShown);
  drawView(tuner);
  EXPECT_FALSE(tuner.playback.markersShown);
  EXPECT_EQ(tuner.playback.markA, -1);
  EXPECT_EQ(tuner.playback.markB, -1);
}

class Pointer : public WithRecord {
 protected:
  GuardedPicture picture;
  void SetUp() override {
    startLikeTheProgram(tuner);
    tuner.playback.frozen.store(true);
    tuner.history.column.store(50);
  }
  void at(int x, int y) {
    tuner.pointer.x = x;
    tuner.pointer.y = y;
  }
};

struct ScrubCase {
  int x, y;
  bool scrubs;
  int playColumn;
};

class Scrub : public Pointer, public ::testing::WithParamInterface<ScrubCase> {};

TEST_P(Scrub, SelectsTheDisplayColumnUnderThePointer) {
  const ScrubCase& c = GetParam();
  tuner.playback.column.store(7);
  tuner.pointer.leftDown = true;
  at(c.x, c.y);
  EXPECT_EQ(applyScrubbing(tuner), c.scrubs ? 0xFFFFFFu : 0xFFE000u);
  EXPECT_EQ(tuner.playback.scrubbing.load(), c.scrubs);
  EXPECT_EQ(tuner.playback.column.load(), c.playColumn);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, Scrub,
                         ::testing::Values(ScrubCase{10, 100, true, 50},   // display column 0
                                           ScrubCase{608, 100, true, 49},  // display column 199
                                           ScrubCase{13, 479, true, 51},   // the bottom strip scrubs too
                                           ScrubCase{609, 100, false, 7}, ScrubCase{9, 100, false, 7},
                                           ScrubCase{300, 25, false, 7}, ScrubCase{300, 26, true, 146}));

TEST_F(Pointer, ScrubbingRestartsTheBlockOnlyOnEntry) {
  tuner.pointer.leftDown = true;
  at(100, 100);
  tuner.playback.sample.store(500);
  applyScrubbing(tuner);
  EXPECT_EQ(tuner.playback.sample.load(), 0);
  tuner.playback.sample.store(500);
  at(103, 100);
  applyScrubbing(tuner);
  EXPECT_EQ(tuner.playback.sample.load(), 500);
}

TEST_F(Pointer, NoScrubbingWhileLiveOrWithTheButtonUp) {
  tuner.pointer.leftDown = false;
  at(100, 100);
  applyScrubbing(tuner);
  EXPECT_FALSE(tuner.playback.scrubbing.load());
  tuner.pointer.leftDown = true;
  tuner.playback.frozen.store(false);
  applyScrubbing(tuner);
  EXPECT_FALSE(tuner.playback.scrubbing.load());
}

struct PickCase {
  int x, y;
  bool held;
  int toneKey;
};

class TonePick : public Pointer, public ::testing::WithParamInterface<PickCase> {};

TEST_P(TonePick, PicksARowByHeightOrABottomKeyByWidth) {
  const PickCase& c = GetParam();
  tuner.pointer.rightDown = true;
  at(c.x, c.y);
  applyTonePick(tuner);
  EXPECT_EQ(tuner.tone.held.load(), c.held);
  if (c.held) {
    EXPECT_EQ(tuner.tone.key.load(), c.toneKey);
  }
}

INSTANTIATE_TEST_SUITE_P(Boundaries, TonePick,
                         ::testing::Values(PickCase{300, 454, true, 12}, PickCase{300, 451, true, 12},
                                           PickCase{300, 450, true, 13}, PickCase{300, 25, true, 83},
                                           PickCase{620, 100, true, 71},  // the right strip, by height
                                           PickCase{300, 24, false, 0}, PickCase{300, 479, false, 0},
                                           PickCase{101, 470, true, 12}, PickCase{532, 470, true, 83},
                                           PickCase{106, 455, true, 12}, PickCase{107, 478, true, 13},
                                           PickCase{100, 470, false, 0}, PickCase{533, 470, false, 0}));

TEST_F(Pointer, APickRestartsThePhaseOnlyWhenItBegins) {
  tuner.pointer.rightDown = true;
  at(300, 200);
  tuner.tone.phase.store(1.5);
  applyTonePick(tuner);
  EXPECT_EQ(tuner.tone.phase.load(), 0.0);
  tuner.tone.phase.store(1.5);
  applyTonePick(tuner);
  EXPECT_EQ(tuner.tone.phase.load(), 1.5);
}

TEST_F(Pointer, NoPickWhileLive) {
  tuner.playback.frozen.store(false);
  tuner.pointer.rightDown = true;
  tuner.tone.held.store(true);
  at(300, 200);
  applyTonePick(tuner);
  EXPECT_FALSE(tuner.tone.held.load());
}

struct SliderCase {
  int x, y;
  float gain, volume;
};

class Toolbar : public Pointer, public ::testing::WithParamInterface<SliderCase> {};

TEST_P(Toolbar, SlidersFollowTheHeldButtonInTheirTroughs) {
  const SliderCase& c = GetParam();
  tuner.pointer.leftDown = true;
  at(c.x, c.y);
  applyToolbarInput(tuner);
  EXPECT_EQ(tuner.controls.gainSlider, c.gain);
  EXPECT_EQ(tuner.controls.outputVolume.load(), c.volume);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, Toolbar,
                         ::testing::Values(SliderCase{51, 8, 0.03f, 0.25f}, SliderCase{149, 8, 99 * 0.03f, 0.25f},
                                           SliderCase{50, 8, 1.0f, 0.25f}, SliderCase{150, 8, 1.0f, 0.25f},
                                           SliderCase{203, 8, 1.0f, 0.02f}, SliderCase{251, 8, 1.0f, 49 * 0.02f},
                                           SliderCase{202, 8, 1.0f, 0.25f}, SliderCase{252, 8, 1.0f, 0.25f},
                                           SliderCase{100, 16, 50 * 0.03f, 0.25f},
                                           SliderCase{100, 17, 1.0f, 0.25f}));

TEST_F(Pointer, InputGainIsTheGainSliderCubed) {
  tuner.pointer.leftDown = true;
  at(149, 5);
  applyToolbarInput(tuner);
  updateInputGain(tuner);
  const double slider = 99 * 0.03f;
  EXPECT_EQ(tuner.controls.inputGain.load(), static_cast<float>(slider * slider * slider));
  EXPECT_NEAR(tuner.controls.inputGain.load(), 26.198, 0.001);
}

TEST_F(Pointer, TheGainSliderHandsTheGainBackToTheUser) {
  setAutoGain(tuner, true);
  tuner.pointer.leftDown = true;
  at(200, 8);  // VOL leaves automatic gain on
  applyToolbarInput(tuner);
  EXPECT_TRUE(tuner.controls.autoGain);
  at(149, 8);
  applyToolbarInput(tuner);
  EXPECT_FALSE(tuner.controls.autoGain);
  updateInputGain(tuner);
  EXPECT_NEAR(tuner.controls.inputGain.load(), 26.198, 0.001);
}

TEST_F(Pointer, AutomaticGainOwnsTheGainAndShowsItOnTheSlider) {
  setAutoGain(tuner, true);
  tuner.controls.inputGain.store(8.0f);
  tuner.controls.gainSlider = 0.5f;
  updateInputGain(tuner);  // the slider no longer drives the gain
  EXPECT_EQ(tuner.controls.inputGain.load(), 8.0f);
  const struct {
    double gain;
    float slider;
  } cases[] = {{8.0, 2.0f}, {1.0, 1.0f}, {0.125, 0.5f}, {27.0, 3.0f}, {100.0, 3.0f}};
  for (const auto& c : cases) {
    setGainSlider(tuner, c.gain);
    EXPECT_FLOAT_EQ(tuner.controls.gainSlider, c.slider) << c.gain;
  }
}

struct SwitchCase {
  int x, y;
  bool switches;
};

class SoftDisplaySwitch : public Pointer, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SoftDisplaySwitch, SwitchesOncePerPressOverItsLabel) {
  const SwitchCase& c = GetParam();
  tuner.pointer.leftDown = true;
  tuner.pointer.leftClicked = true;
  at(c.x, c.y);
  applyToolbarInput(tuner);
  EXPECT_EQ(tuner.controls.softDisplay, c.switches ? 1 : 0);
  tuner.pointer.leftClicked = false;  // still held in the next frame step
  applyToolbarInput(tuner);
  EXPECT_EQ(tuner.controls.softDisplay, c.switches ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, SoftDisplaySwitch,
                         ::testing::Values(SwitchCase{273, 8, true}, SwitchCase{407, 8, true},
                                           SwitchCase{272, 8, false}, SwitchCase{408, 8, false},
                                           SwitchCase{300, 16, true}, SwitchCase{300, 17, false},
                                           SwitchCase{300, 19, false}));

}  // namespace

// Which frames draw: a window is sent only pictures that can differ from the one it
// shows, a headless run only its last one, and either way the pictures are the ones
// drawing every frame would give.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <cstring>
#include <memory>
#include <vector>

#include "app/shell.hpp"
#include "app/shown_picture.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "recording_host.hpp"
#include "scratch_dir.hpp"
#include "test_record.hpp"

namespace {

// Keeps a copy of the last picture it was given; with `rowsOnly`, of the rows
// marked changed only, as a window does, counting the pictures that came out wrong.
class KeepingHost : public RecordingHost {
 public:
  std::vector<std::uint32_t> shown;
  PictureNeed need = PictureNeed::EveryFrame;
  bool lost = false;
  bool rowsOnly = false;
  int wrongPictures = 0;

  void present(const Framebuffer& picture) override {
    ++presents;
    shown.resize(static_cast<std::size_t>(kPictureWidth) * kPictureHeight);
    bool right = true;
    for (int y = 0; y < kPictureHeight; ++y) {
      std::uint32_t* row = shown.data() + static_cast<std::size_t>(y) * kPictureWidth;
      const std::size_t bytes = kPictureWidth * sizeof(std::uint32_t);
      if (!rowsOnly || picture.changedRows[y]) std::memcpy(row, picture.pixels + y * picture.pitch, bytes);
      picture.changedRows[y] = false;
      right = right && std::memcmp(row, picture.pixels + y * picture.pitch, bytes) == 0;
    }
    if (!right) ++wrongPictures;
  }
  PictureNeed pictureNeed() const override { return need; }
  bool pictureLost() override {
    const bool was = lost;
    lost = false;
    return was;
  }
};

struct ScriptStep {
  int step;
  enum { Key, Lift, Move, Event } what;
  int a = 0, b = 0;
};

// Freeze, scrub, playback, the tone on a row and on the bottom strip, markers, both
// sliders, the switch, and back to live; long idle stretches between.
const ScriptStep kSession[] = {
    {20, ScriptStep::Move, 100, 10},  {21, ScriptStep::Event, WindowEvent::LeftDown},
    {23, ScriptStep::Move, 120, 10},  {24, ScriptStep::Move, 230, 10},
    {25, ScriptStep::Event, WindowEvent::LeftUp}, {26, ScriptStep::Move, 300, 10},
    {27, ScriptStep::Event, WindowEvent::LeftDown}, {28, ScriptStep::Event, WindowEvent::LeftUp},
    {60, ScriptStep::Key, DIK_RETURN}, {62, ScriptStep::Lift, DIK_RETURN},
    {70, ScriptStep::Move, 400, 200}, {71, ScriptStep::Event, WindowEvent::LeftDown},
    {75, ScriptStep::Move, 300, 200}, {80, ScriptStep::Move, 500, 460},
    {85, ScriptStep::Event, WindowEvent::LeftUp}, {90, ScriptStep::Key, DIK_HOME},
    {91, ScriptStep::Lift, DIK_HOME}, {95, ScriptStep::Move, 200, 200},
    {96, ScriptStep::Event, WindowEvent::LeftDown}, {97, ScriptStep::Event, WindowEvent::LeftUp},
    {100, ScriptStep::Key, DIK_END}, {101, ScriptStep::Lift, DIK_END},
    {110, ScriptStep::Event, WindowEvent::RightDown}, {115, ScriptStep::Move, 300, 452},
    {120, ScriptStep::Move, 200, 470}, {125, ScriptStep::Move, 90, 470},
    {130, ScriptStep::Event, WindowEvent::RightUp}, {140, ScriptStep::Key, DIK_SPACE},
    {141, ScriptStep::Lift, DIK_SPACE}, {300, ScriptStep::Key, DIK_SPACE},
    {301, ScriptStep::Lift, DIK_SPACE}, {310, ScriptStep::Key, DIK_DELETE},
    {311, ScriptStep::Lift, DIK_DELETE}, {320, ScriptStep::Move, 150, 10},
    {321, ScriptStep::Event, WindowEvent::LeftDown}, {322, ScriptStep::Event, WindowEvent::LeftUp},
    {330, ScriptStep::Key, DIK_RETURN}, {331, ScriptStep::Lift, DIK_RETURN},
};
constexpr int kSessionSteps = 400;

class ShownPicture : public WithRecord {
 protected:
  ScratchDir scratch{"shown_picture"};
  KeepingHost host;
  std::unique_ptr<AudioShared> shared = std::make_unique<AudioShared>(tuner);  // large: kept off the stack
  AudioShared& audio = *shared;

  void TearDown() override {
    if (!tuner.shell.quitting && keyboard) shutDown(tuner, host);
    checkSkippedPictures(false);
  }

  // The session as the headless replay runs it: events, one frame step, one buffer of a
  // two-tone signal through the callback (which also plays back and sounds the tone).
  void runSession(int steps, double sweepLevel = 0.0) {
    std::string reason;
    Notices notices;
    ASSERT_EQ(startUp(tuner, host, reason, notices), StartResult::Running);
    std::vector<float> in(kFramesPerBuffer), out(kFramesPerBuffer);
    std::size_t next = 0;
    for (int step = 0; step < steps; ++step) {
      for (; next < std::size(kSession) && kSession[next].step == step; ++next) apply(kSession[next]);
      ASSERT_TRUE(frameStep(tuner, host));
      tuner.pointer.leftClicked = false;
      for (int i = 0; i < kFramesPerBuffer; ++i) {
        const double t = (static_cast<double>(step) * kFramesPerBuffer + i) / kSampleRate;
        in[i] = static_cast<float>(0.05 * std::sin(2 * std::numbers::pi * 440 * t) + 0.03 * std::sin(2 * std::numbers::pi * 659.3 * t) +
                                   sweepLevel * std::sin(2 * std::numbers::pi * (200 * t + 300 * t * t)));
      }
      audioCallback(audio, in.data(), out.data(), kFramesPerBuffer);
    }
  }
  void apply(const ScriptStep& s) {
    WindowEvent event;
    switch (s.what) {
      case ScriptStep::Key: host.keys.press(s.a); return;
      case ScriptStep::Lift: host.keys.lift(s.a); return;
      case ScriptStep::Move:
        event.kind = WindowEvent::PointerMove;
        event.x = s.a;
        event.y = s.b;
        break;
      case ScriptStep::Event: event.kind = static_cast<WindowEvent::Kind>(s.a); break;
    }
    dispatchEvent(tuner, host, event);
  }
};

TEST_F(ShownPicture, EverySkippedPictureEqualsTheOneShown) {
  host.need = PictureNeed::Changes;
  checkSkippedPictures(true);
  runSession(kSessionSteps);
  const SkipCheck counts = skipCheckCounts();
  EXPECT_EQ(counts.differed, 0);
  EXPECT_EQ(counts.drawn + counts.skipped, kSessionSteps);
  // Blocks come every fourth step while live; frozen and idle, nothing moves at all.
  EXPECT_GT(counts.skipped, kSessionSteps / 2);
  EXPECT_GT(counts.drawn, 60);
  EXPECT_EQ(host.presents, 1 + counts.drawn);  // the start-up picture, then each drawn frame
}

TEST_F(ShownPicture, EveryRowTheDrawingChangesIsMarkedForTheWindow) {
  host.need = PictureNeed::Changes;
  host.rowsOnly = true;
  runSession(kSessionSteps, 0.1);  // a faint sweep: cells change in rows whose keys stay plain
  EXPECT_GT(host.presents, 60);
  EXPECT_EQ(host.wrongPictures, 0);
}

TEST_F(ShownPicture, AWindowThatLostItsPictureIsSentItAgain) {
  host.need = PictureNeed::Changes;
  runSession(kSessionSteps);  // ends live
  frameStep(tuner, host);             // takes the block the last buffer may have completed
  const int before = host.presents;
  frameStep(tuner, host);
  EXPECT_EQ(host.presents, before);
  host.lost = true;
  frameStep(tuner, host);
  EXPECT_EQ(host.presents, before + 1);
}

TEST_F(ShownPicture, AHeadlessRunDrawsOnlyItsLastPictureAndTheSameOne) {
  host.need = PictureNeed::EveryFrame;
  runSession(kSessionSteps);
  shutDown(tuner, host);
  const std::vector<std::uint32_t> everyFrame = host.shown;

  freshRecord();
  host.need = PictureNeed::LastOnly;
  host.presents = 0;
  host.shown.clear();
  runSession(kSessionSteps);
  EXPECT_EQ(host.presents, 1);  // the start-up picture only, so far
  shutDown(tuner, host);
  EXPECT_EQ(host.presents, 2);
  EXPECT_TRUE(host.shown == everyFrame);
}

TEST_F(ShownPicture, EscapeAtTheFirstStepLeavesTheStartUpPicture) {
  host.need = PictureNeed::LastOnly;
  std::string reason;
  Notices notices;
  ASSERT_EQ(startUp(tuner, host, reason, notices), StartResult::Running);
  host.keys.press(DIK_ESCAPE);
  EXPECT_FALSE(frameStep(tuner, host));
  shutDown(tuner, host);
  EXPECT_EQ(host.presents, 1);
  EXPECT_EQ(host.shown[0], 0u);
}

}  // namespace

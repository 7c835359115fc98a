// Start-up order, the frame loop's exits and the one guarded shutdown.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/shell.hpp"
#include "core/tuner_state.hpp"
#include "test_record.hpp"
#include "view/font.hpp"
#include "font_image.hpp"
#include "recording_host.hpp"
#include "scratch_dir.hpp"

namespace {

class Shell : public WithRecord {
 protected:
  ScratchDir scratch{"shell"};
  RecordingHost host;

  void SetUp() override { host.record = &tuner; }
  void TearDown() override {
    if (!tuner.shell.quitting && keyboard) shutDown(tuner, host);
  }

  void start() {
    std::string reason;
    Notices notices;
    ASSERT_EQ(startUp(tuner, host, reason, notices), StartResult::Running);
  }
  long count(const char* call) const { return std::count(host.calls.begin(), host.calls.end(), call); }
  std::vector<std::string> callsAfter(size_t first) const {
    return {host.calls.begin() + static_cast<long>(first), host.calls.end()};
  }
};

TEST_F(Shell, StartUpShowsBlackWindowThenKeyboardThenAudioLast) {
  start();
  EXPECT_EQ(host.calls, (std::vector<std::string>{"openWindow", "present", "acquireKeys", "startAudio"}));
  EXPECT_TRUE(host.noteTableReadyAtAudioStart);
  EXPECT_TRUE(host.recordingReadyAtAudioStart);
  for (float level : tuner.history.noteLevel) EXPECT_EQ(level, 1.0f);
  EXPECT_EQ(pixelAt(framebuffer, 0, 0), 0u);
  EXPECT_EQ(pixelAt(framebuffer, 639, 479), 0u);
}

TEST_F(Shell, NoWindowStopsStartUpWithTheReasonAndNothingAcquired) {
  host.windowAvailable = false;
  std::string reason;
  Notices notices;
  EXPECT_EQ(startUp(tuner, host, reason, notices), StartResult::NoWindow);
  EXPECT_EQ(reason, "no display");
  EXPECT_EQ(host.calls, (std::vector<std::string>{"openWindow"}));
  EXPECT_FALSE(keyboard);
}

// Start-up prints nothing itself: what it goes without comes back for the entry point to print.
TEST_F(Shell, StartUpReturnsWhatItWentWithoutAndPrintsNothing) {
  struct Case {
    const char* what;
    const char* fontBytes;  // nullptr: no font.tga at all
  };
  const Case cases[] = {{"no font file", nullptr}, {"a font file that is no image", "not a TGA"}};
  for (const Case& c : cases) {
    freshRecord();
    std::filesystem::remove(kFontPath);
    if (c.fontBytes != nullptr) std::ofstream(kFontPath) << c.fontBytes;
    RecordingHost fresh;
    std::string reason;
    Notices notices;
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(startUp(tuner, fresh, reason, notices), StartResult::Running) << c.what;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << c.what;
    ASSERT_EQ(notices.size(), 1u) << c.what;
    EXPECT_EQ(notices[0].rfind("font font.tga: ", 0), 0u) << notices[0];
    const std::string tail = "; using the built-in glyphs";
    EXPECT_EQ(notices[0].substr(notices[0].size() - std::min(notices[0].size(), tail.size())), tail) << notices[0];
    EXPECT_NE(font.pixels, nullptr) << c.what;  // the built-in glyphs stand in
    shutDown(tuner, fresh);
  }
  freshRecord();
  writeFontImage(kFontPath);
  RecordingHost fresh;
  std::string reason;
  Notices notices;
  ASSERT_EQ(startUp(tuner, fresh, reason, notices), StartResult::Running);
  EXPECT_TRUE(notices.empty()) << notices[0];
  shutDown(tuner, fresh);
}

TEST_F(Shell, ShutdownReleasesKeysThenAudioThenWindowExactlyOnce) {
  start();
  size_t before = host.calls.size();
  shutDown(tuner, host);
  shutDown(tuner, host);
  EXPECT_EQ(callsAfter(before), (std::vector<std::string>{"releaseKeys", "stopAudio", "destroyWindow"}));
  EXPECT_TRUE(tuner.shell.quitting);
  EXPECT_EQ(tuner.history.recordedSamples, nullptr);
}

TEST_F(Shell, CloseRequestEndsTheLoopWithoutAnotherFrame) {
  start();
  host.events.push_back({WindowEvent::CloseRequest});
  int presentsBefore = host.presents;
  EXPECT_EQ(runLoop(tuner, host), 0);
  EXPECT_EQ(host.presents, presentsBefore);
  EXPECT_EQ(count("destroyWindow"), 1);
  EXPECT_EQ(count("stopAudio"), 1);
}

TEST_F(Shell, CloseRequestAfterShutdownDoesNothing) {
  start();
  shutDown(tuner, host);
  dispatchEvent(tuner, host, {WindowEvent::CloseRequest});
  EXPECT_EQ(count("destroyWindow"), 1);
}

TEST_F(Shell, EscapeAtTheFirstStepEndsBeforeAnyFrameIsDrawn) {
  start();
  host.keys.press(DIK_ESCAPE);
  EXPECT_EQ(runLoop(tuner, host), 0);
  EXPECT_EQ(host.presents, 1);  // only the black start-up picture
  EXPECT_EQ(count("destroyWindow"), 1);
}

TEST_F(Shell, EscapeWithEnterDownLeavesFrozenAlone) {
  start();
  host.keys.press(DIK_ESCAPE);
  host.keys.press(DIK_RETURN);
  EXPECT_FALSE(frameStep(tuner, host));
  EXPECT_FALSE(tuner.playback.frozen.load());
}

TEST_F(Shell, LoopRunsFramesUntilEscapeAndClearsLeftClickAfterEachStep) {
  start();
  host.framesLeft = 3;
  host.events.push_back({WindowEvent::LeftDown});
  EXPECT_EQ(runLoop(tuner, host), 0);
  EXPECT_EQ(host.presents, 1 + 3);
  EXPECT_FALSE(tuner.pointer.leftClicked);
  EXPECT_TRUE(tuner.pointer.leftDown);
}

TEST_F(Shell, FirstFrameClearsThePictureToTheBackgroundOnce) {
  start();
  EXPECT_TRUE(tuner.shell.clearPending);
  EXPECT_TRUE(frameStep(tuner, host));
  EXPECT_FALSE(tuner.shell.clearPending);
  EXPECT_EQ(pixelAt(framebuffer, 0, 470), 0xC0C0D0u);  // bottom-left margin keeps the first clear
}

TEST_F(Shell, ReadyBlockIsConsumedOnlyWhileLive) {
  start();
  tuner.playback.frozen = true;
  tuner.handoff.spectrumReady = true;
  runFrame(tuner, host);
  EXPECT_TRUE(tuner.handoff.spectrumReady.load());
  EXPECT_EQ(tuner.history.column.load(), 0);

  tuner.playback.frozen = false;
  runFrame(tuner, host);
  EXPECT_FALSE(tuner.handoff.spectrumReady.load());
  EXPECT_EQ(tuner.history.column.load(), 1);
  runFrame(tuner, host);
  EXPECT_EQ(tuner.history.column.load(), 1);  // a flag, not a queue
}

// A whole run writes nothing into the working directory, where a log might have gone.
TEST_F(Shell, WholeRunWritesNoLogAndLeavesAnExistingOneAlone) {
  constexpr const char* kLogFileName = "log.txt";
  start();
  host.keys.press(DIK_ESCAPE);
  runLoop(tuner, host);
  EXPECT_FALSE(std::filesystem::exists(kLogFileName));

  freshRecord();
  { std::ofstream(kLogFileName) << "earlier"; }
  RecordingHost second;
  std::string reason;
  Notices notices;
  startUp(tuner, second, reason, notices);
  second.keys.press(DIK_ESCAPE);
  runLoop(tuner, second);
  std::ifstream in(kLogFileName);
  std::string content((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(content, "earlier");
}

// The loop waits for work unless the picture can still move without a block or an
// event: over the step of an input and the one after it, and while playback runs.
TEST_F(Shell, PausesAtTheFramePaceOnlyWhileThePictureCanMoveByItself) {
  start();
  auto pausesOf = [&](int steps) {
    host.pauses.clear();
    for (int i = 0; i < steps; ++i) EXPECT_TRUE(frameStep(tuner, host));
    return host.pauses;
  };
  EXPECT_EQ(pausesOf(2), (std::vector<int>{kIdlePauseMs, kIdlePauseMs}));
  dispatchEvent(tuner, host, {WindowEvent::PointerMove, 300, 237});
  EXPECT_EQ(pausesOf(3), (std::vector<int>{kFrameSleepMs, kFrameSleepMs, kIdlePauseMs}));
  host.keys.press(DIK_HOME);  // held: only the change counts
  EXPECT_EQ(pausesOf(3), (std::vector<int>{kFrameSleepMs, kFrameSleepMs, kIdlePauseMs}));
  host.keys.liftAll();
  pausesOf(2);
  tuner.playback.frozen = true;
  tuner.playback.autoPlay = true;
  EXPECT_EQ(pausesOf(3), (std::vector<int>{kFrameSleepMs, kFrameSleepMs, kFrameSleepMs}));
}

// The loop's own account of its pauses, by the length asked, for the report of how a system
// kept the pace: every pause counted once, under the length it was asked for.
TEST_F(Shell, EveryPauseIsTimedUnderTheLengthAsked) {
  start();
  const LoopTiming before = loopTiming();
  EXPECT_TRUE(frameStep(tuner, host));  // nothing moves: a wait for work
  dispatchEvent(tuner, host, {WindowEvent::PointerMove, 300, 237});
  EXPECT_TRUE(frameStep(tuner, host));  // the pace, over the input's step and the next
  EXPECT_TRUE(frameStep(tuner, host));
  const LoopTiming after = loopTiming();
  EXPECT_EQ(after.idle.count - before.idle.count, 1);
  EXPECT_EQ(after.pace.count - before.pace.count, 2);
  EXPECT_GE(after.pace.sumMs, before.pace.sumMs);
  EXPECT_GE(after.pace.mostMs, 0.0);
  EXPECT_GT(after.seconds, 0.0);
}

}  // namespace

// A sound file fed to the callback in place of the microphone, and the tap that
// copies the captured input for a recording of the session.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/file_feed.hpp"
#include "audio/input_tap.hpp"
#include "audio_fixture.hpp"

namespace {

// Distinct, exact samples: a file whose every sample tells where it was.
std::vector<float> ramp(std::size_t count, float from = 0.0f) {
  std::vector<float> samples(count);
  for (std::size_t i = 0; i < count; ++i) samples[i] = from + static_cast<float>(i) / 65536.0f;
  return samples;
}

class FileFeeding : public AudioState {
 protected:
  void SetUp() override {
    AudioState::SetUp();
    resetFileFeed(audio.feed);
  }
  void TearDown() override {
    stopInputTap(audio.tap);
    AudioState::TearDown();
  }

  std::vector<float> feed(unsigned long frames) {
    std::vector<float> out(frames, -99.0f);
    feedFromFile(audio, out.data(), frames);
    return out;
  }
};

TEST_F(FileFeeding, PlayingIsCapturedAndHeardAtTheVolumeButNotTheGain) {
  const std::vector<float> file = ramp(1300);
  ASSERT_EQ(pushFileSamples(audio.feed, file.data(), file.size()), file.size());
  tuner.controls.inputGain.store(8.0f);
  // 1300 frames in one call: more than one buffer, and not a whole one.
  EXPECT_EQ(feed(1300), file);
  EXPECT_EQ(tuner.capture.fill, 1300);
  EXPECT_EQ(tuner.capture.block[700], static_cast<double>(file[700]));
  EXPECT_EQ(fileFeedCounts(audio.feed).fed, 1300u);

  const std::vector<float> more = ramp(512, 0.5f);
  pushFileSamples(audio.feed, more.data(), more.size());
  tuner.controls.outputVolume.store(0.5f);
  const std::vector<float> out = feed(512);
  for (int i : {0, 255, 511}) EXPECT_EQ(out[i], static_cast<float>((0.5 * more[i]) * 4.0)) << i;
}

TEST_F(FileFeeding, FreezingPausesTheFileAndTheBlockBeingFilled) {
  const std::vector<float> file = ramp(1024);
  pushFileSamples(audio.feed, file.data(), file.size());
  feed(300);
  tuner.playback.frozen.store(true);
  EXPECT_EQ(feed(512), std::vector<float>(512, 0.0f));  // nothing of the file is heard
  EXPECT_EQ(tuner.capture.fill, 300);                      // nor captured
  EXPECT_EQ(fileFeedCounts(audio.feed).paused, 512u);
  tuner.playback.frozen.store(false);
  const std::vector<float> resumed = feed(100);
  EXPECT_EQ(resumed, std::vector<float>(file.begin() + 300, file.begin() + 400));  // where it paused
  EXPECT_EQ(tuner.capture.fill, 400);
}

TEST_F(FileFeeding, UnderrunAndEndAreSilenceCountedApart) {
  const std::vector<float> file = ramp(100, 0.25f);
  pushFileSamples(audio.feed, file.data(), file.size());
  const std::vector<float> short_ = feed(512);
  EXPECT_EQ(std::vector<float>(short_.begin(), short_.begin() + 100), file);
  EXPECT_EQ(std::vector<float>(short_.begin() + 100, short_.end()), std::vector<float>(412, 0.0f));
  EXPECT_EQ(fileFeedCounts(audio.feed).underrun, 412u);
  EXPECT_EQ(tuner.capture.fill, 512);  // the silence is captured: the blocks keep the file's time
  EXPECT_FALSE(fileFeedDone(audio.feed));

  markFileEnded(audio.feed);
  EXPECT_TRUE(fileFeedDone(audio.feed));
  EXPECT_EQ(feed(2048), std::vector<float>(2048, 0.0f));
  EXPECT_EQ(fileFeedCounts(audio.feed).underrun, 412u);  // the end is not an underrun
  EXPECT_TRUE(tuner.handoff.spectrumReady.load());      // blocks of silence still complete
}

TEST_F(FileFeeding, BadSamplesAreSilenceAndANullOutputIsNotWritten) {
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 2.0e6f, 0.5f};
  pushFileSamples(audio.feed, bad, 4);
  const std::vector<float> out = feed(4);
  EXPECT_EQ(out, (std::vector<float>{0.0f, 0.0f, 0.0f, 0.5f}));
  EXPECT_EQ(tuner.capture.block[0], 0.0);
  feedFromFile(audio, nullptr, 512);  // the clock's way: captures without any output buffer
  EXPECT_EQ(tuner.capture.fill, 516);
}

TEST_F(FileFeeding, TheToneSoundsWhileTheFileIsPaused) {
  tuner.playback.frozen.store(true);
  tuner.tone.key.store(36);
  tuner.tone.held.store(true);
  const std::vector<float> out = feed(2048);
  float peak = 0.0f;
  for (float s : out) peak = std::max(peak, std::fabs(s));
  EXPECT_GT(peak, 0.01f);
}

TEST_F(FileFeeding, TheTapKeepsTheRawInputOfEveryPathOnlyWhileOn) {
  const std::vector<float> input = ramp(512, 0.1f);
  std::vector<float> out(512), taken(4096, -1.0f);
  audioCallback(audio, input.data(), out.data(), 512);
  EXPECT_EQ(takeTapped(audio.tap, taken.data(), taken.size()), 0u);  // off: nothing kept

  startInputTap(audio.tap);
  tuner.controls.inputGain.store(3.0f);
  audioCallback(audio, input.data(), out.data(), 512);
  audioCallback(audio, nullptr, out.data(), 100);
  pushFileSamples(audio.feed, input.data(), 200);
  feedFromFile(audio, out.data(), 200);
  ASSERT_EQ(takeTapped(audio.tap, taken.data(), taken.size()), 812u);
  EXPECT_EQ(std::vector<float>(taken.begin(), taken.begin() + 512), input);
  EXPECT_EQ(std::vector<float>(taken.begin() + 512, taken.begin() + 612), std::vector<float>(100, 0.0f));
  EXPECT_EQ(std::vector<float>(taken.begin() + 612, taken.begin() + 812), std::vector<float>(input.begin(), input.begin() + 200));
}

TEST_F(FileFeeding, AFullTapDropsAndCountsWithoutChangingTheOutput) {
  const std::vector<float> input = ramp(kFramesPerBuffer, 0.1f);
  std::vector<float> plain(kFramesPerBuffer), tapped(kFramesPerBuffer);
  audioCallback(audio, input.data(), plain.data(), kFramesPerBuffer);
  freeRecording(tuner.history);  // a fresh start, so the same callback must give the same output
  SetUp();
  startInputTap(audio.tap);
  const std::size_t calls = kTapRingFrames / kFramesPerBuffer + 3;
  for (std::size_t i = 0; i < calls; ++i) audioCallback(audio, input.data(), tapped.data(), kFramesPerBuffer);
  EXPECT_EQ(tapDropped(audio.tap), 3u * kFramesPerBuffer);
  EXPECT_EQ(tapped, plain);
}

}  // namespace

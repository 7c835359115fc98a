// The audio callback against the frame step: the block handoff, freezing, and
// both threads running at once as they do in the live program.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "analysis/detect.hpp"
#include "analysis/note_table.hpp"
#include "app/shell.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "audio/recording.hpp"
#include "recording_host.hpp"
#include "test_record.hpp"

namespace {

// Keeps nothing of what it is shown, so it can run for thousands of frames.
class QuietHost : public RecordingHost {
 public:
  void present(const Framebuffer&) override {}
};

class AudioThreads : public WithRecord {
 protected:
  QuietHost host;
  std::unique_ptr<AudioShared> shared = std::make_unique<AudioShared>(tuner);  // large: kept off the stack
  AudioShared& audio = *shared;

  void SetUp() override {
    createFramebuffer();
    buildNoteTable(tuner.notes);
    resetNoteDetection(tuner, noteDetection);
    ASSERT_TRUE(allocateRecording(tuner.history));
    tuner.shell.clearPending = false;
  }
  void TearDown() override { freeRecording(tuner.history); }

  // One whole block of a constant level, delivered as four buffers.
  void feedBlock(float level) {
    std::vector<float> in(kFramesPerBuffer, level), out(kFramesPerBuffer);
    for (int call = 0; call < kBlockSize / kFramesPerBuffer; ++call)
      audioCallback(audio, in.data(), out.data(), kFramesPerBuffer);
  }
  bool columnHolds(int column, float level) {
    for (int j = 0; j < kBlockSize; ++j)
      if (tuner.history.recordedSamples[column * kBlockSize + j].load() != level) return false;
    return true;
  }
};

TEST_F(AudioThreads, TwoBlocksBetweenFrameStepsGiveOneColumnFromTheLater) {
  feedBlock(0.25f);
  feedBlock(0.5f);
  int column = tuner.history.column.load();
  runFrame(tuner, host);
  EXPECT_FALSE(tuner.handoff.spectrumReady.load());
  EXPECT_TRUE(columnHolds(column, 0.5f));
  EXPECT_EQ(tuner.history.column.load(), column + 1);

  runFrame(tuner, host);  // nothing new: nothing recorded or scored
  EXPECT_EQ(tuner.history.column.load(), column + 1);
  EXPECT_TRUE(columnHolds(column + 1, 0.0f));
}

TEST_F(AudioThreads, FrozenKeepsTheFlagAndTheFirstFrameAfterScoresOnlyTheNewestBlock) {
  tuner.playback.frozen = true;
  int column = tuner.history.column.load();
  for (float level : {0.1f, 0.2f, 0.3f}) {
    feedBlock(level);
    runFrame(tuner, host);
    EXPECT_TRUE(tuner.handoff.spectrumReady.load());
    EXPECT_EQ(tuner.handoff.lastBlock[0].load(), level) << "blocks keep coming while frozen";
  }
  EXPECT_TRUE(columnHolds(column, 0.0f));
  EXPECT_EQ(tuner.history.column.load(), column);

  tuner.playback.frozen = false;
  runFrame(tuner, host);
  runFrame(tuner, host);
  EXPECT_TRUE(columnHolds(column, 0.3f));
  EXPECT_TRUE(columnHolds(column + 1, 0.0f));
  EXPECT_EQ(tuner.history.column.load(), column + 1);
}

// The audio thread runs the callback flat out while the main thread runs frames and
// writes every control the user can touch. Run under ThreadSanitizer this shows that
// all shared fields are accessed without a data race.
TEST_F(AudioThreads, CallbackAndFrameStepRunTogether) {
  constexpr auto kDuration = std::chrono::milliseconds(2500);
  std::atomic<bool> stop{false};
  std::atomic<long> calls{0};
  std::atomic<bool> outputSane{true};

  std::thread audioThread([&] {
    std::vector<float> in(kFramesPerBuffer), out(kFramesPerBuffer);
    long frame = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      for (float& sample : in) sample = 0.5f * static_cast<float>(std::sin(0.0627 * static_cast<double>(frame++)));
      audioCallback(audio, in.data(), out.data(), kFramesPerBuffer);
      for (float sample : out)
        if (!(std::fabs(sample) <= 4.0f)) outputSane.store(false, std::memory_order_relaxed);
      calls.fetch_add(1, std::memory_order_relaxed);
    }
  });

  long frames = 0;
  auto end = std::chrono::steady_clock::now() + kDuration;
  while (std::chrono::steady_clock::now() < end) {
    ++frames;
    // What the key commands and the pointer rules write, in a rolling pattern.
    if (frames % 7 == 0) tuner.playback.frozen.store(!tuner.playback.frozen.load(std::memory_order_relaxed), std::memory_order_relaxed);
    if (frames % 5 == 0) {
      tuner.playback.autoPlay.store(true, std::memory_order_relaxed);
      tuner.playback.repeat.store(0, std::memory_order_relaxed);
      tuner.playback.sample.store(0, std::memory_order_relaxed);
    }
    if (frames % 3 == 0) {
      tuner.playback.scrubbing.store(frames % 2 == 0, std::memory_order_relaxed);
      tuner.playback.column.store(static_cast<int>(frames % kHistoryColumns), std::memory_order_relaxed);
    }
    bool held = frames % 11 < 6;
    if (held && !tuner.tone.held.load(std::memory_order_relaxed)) tuner.tone.phase.store(0.0, std::memory_order_relaxed);
    tuner.tone.key.store(kNoteRowOffset + static_cast<int>(frames % kNoteRows), std::memory_order_relaxed);
    tuner.tone.held.store(held, std::memory_order_relaxed);
    tuner.controls.inputGain.store(static_cast<float>(std::pow(0.03 * static_cast<double>(1 + frames % 99), 3.0)),
                          std::memory_order_relaxed);
    tuner.controls.outputVolume.store(0.02f * static_cast<float>(1 + frames % 49), std::memory_order_relaxed);
    if (!tuner.playback.frozen.load(std::memory_order_relaxed)) tuner.playback.autoPlay.store(false, std::memory_order_relaxed);
    runFrame(tuner, host);
    std::this_thread::yield();
  }
  stop = true;
  audioThread.join();

  EXPECT_GT(calls.load(), 100) << "the callback ran";
  EXPECT_GT(frames, 20) << "the frame step ran";
  EXPECT_TRUE(outputSane.load());
  EXPECT_GE(tuner.playback.column.load(), 0);
  EXPECT_LT(tuner.playback.column.load(), kHistoryColumns);
  EXPECT_GE(tuner.playback.sample.load(), 0);
  EXPECT_LT(tuner.playback.sample.load(), kBlockSize);
}

}  // namespace

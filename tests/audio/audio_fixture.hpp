#pragma once
// Fresh shared state with the note table and an empty recording, as start-up leaves them.

#include <gtest/gtest.h>

#include <vector>

#include "analysis/note_table.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/recording.hpp"

class AudioState : public ::testing::Test {
 protected:
  void SetUp() override {
    resetTunerState();
    buildNoteTable(tuner);
    ASSERT_TRUE(allocateRecording());
  }
  void TearDown() override { freeRecording(); }

  // Output of one callback of `frames` frames over `input` (silence when empty).
  static std::vector<float> runCallback(unsigned long frames, const std::vector<float>& input = {}) {
    std::vector<float> in = input.empty() ? std::vector<float>(frames, 0.0f) : input;
    std::vector<float> out(frames, -99.0f);
    EXPECT_EQ(audioCallback(in.data(), out.data(), frames), 0);
    return out;
  }
  // A recorded sample that tells its column and position apart: column + position / 4096, exact in float.
  static float marker(int column, int position) { return static_cast<float>(column) + position / 4096.0f; }
  static void fillRecordingWithMarkers() {
    for (int c = 0; c < kHistoryColumns; ++c)
      for (int j = 0; j < kBlockSize; ++j) tuner.recordedSamples[c * kBlockSize + j].store(marker(c, j));
  }
};

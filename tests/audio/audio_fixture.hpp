#pragma once
// A fresh record and audio state with the note table and an empty recording, as start-up leaves them.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "analysis/note_table.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "audio/recording.hpp"
#include "test_record.hpp"

class AudioState : public WithRecord {
 protected:
  // Also run again by a test that starts a case afresh.
  void SetUp() override {
    freeRecording(tuner.history);
    freshRecord();
    std::destroy_at(&audio);
    std::construct_at(&audio, tuner);
    buildNoteTable(tuner.notes);
    ASSERT_TRUE(allocateRecording(tuner.history));
  }
  void TearDown() override { freeRecording(tuner.history); }

  // Output of one callback of `frames` frames over `input` (silence when empty).
  std::vector<float> runCallback(unsigned long frames, const std::vector<float>& input = {}) {
    std::vector<float> in = input.empty() ? std::vector<float>(frames, 0.0f) : input;
    std::vector<float> out(frames, -99.0f);
    EXPECT_EQ(audioCallback(audio, in.data(), out.data(), frames), 0);
    return out;
  }
  // A recorded sample that tells its column and position apart: column + position / 4096, exact in float.
  static float marker(int column, int position) { return static_cast<float>(column) + position / 4096.0f; }
  void fillRecordingWithMarkers() {
    for (int c = 0; c < kHistoryColumns; ++c)
      for (int j = 0; j < kBlockSize; ++j) tuner.history.recordedSamples[c * kBlockSize + j].store(marker(c, j));
  }

  std::unique_ptr<AudioShared> audio_ = std::make_unique<AudioShared>(tuner);  // large: kept off the stack
  AudioShared& audio = *audio_;
};

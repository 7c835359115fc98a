// Playback of the recorded history: scrubbing loops a column, automatic playback
// walks the history twice per column and stops after the newest.

#include "audio/playback.hpp"
#include "audio_fixture.hpp"

namespace {

class Playback : public AudioState {
 protected:
  void SetUp() override {
    AudioState::SetUp();
    fillRecordingWithMarkers();
    tuner.playback.frozen = true;
  }
  float step(float composed = -7.0f) {
    playbackStep(tuner.playback, tuner.history, composed);
    return composed;
  }
};

struct Activity {
  bool frozen, scrubbing, autoPlay, plays;
};

class PlaybackActivity : public Playback, public ::testing::WithParamInterface<Activity> {};

TEST_P(PlaybackActivity, PlaysOnlyWhileFrozenAndScrubbingOrPlaying) {
  tuner.playback.frozen = GetParam().frozen;
  tuner.playback.scrubbing = GetParam().scrubbing;
  tuner.playback.autoPlay = GetParam().autoPlay;
  tuner.playback.column = 4;
  float out = step(0.125f);
  EXPECT_EQ(out, GetParam().plays ? marker(4, 0) : 0.125f);
  EXPECT_EQ(tuner.playback.sample.load(), GetParam().plays ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(States, PlaybackActivity,
                         ::testing::Values(Activity{false, false, false, false}, Activity{false, true, true, false},
                                           Activity{true, false, false, false}, Activity{true, true, false, true},
                                           Activity{true, false, true, true}, Activity{true, true, true, true}));

TEST_F(Playback, ScrubbingLoopsTheColumnUnderThePointer) {
  tuner.playback.scrubbing = true;
  tuner.playback.column = 5;
  for (int turn = 0; turn < 3; ++turn)
    for (int j = 0; j < kBlockSize; ++j) ASSERT_EQ(step(), marker(5, j)) << turn << " " << j;
  EXPECT_EQ(tuner.playback.column.load(), 5);
  EXPECT_EQ(tuner.playback.sample.load(), 0);
  EXPECT_EQ(tuner.playback.repeat.load(), 0);
}

TEST_F(Playback, AnotherColumnUnderThePointerGoesOnFromTheSamePosition) {
  tuner.playback.scrubbing = true;
  tuner.playback.column = 5;
  for (int j = 0; j < 100; ++j) step();
  tuner.playback.column = 9;
  EXPECT_EQ(step(), marker(9, 100));
}

// Automatic playback from `start` with the oldest column at `oldest`: how many blocks it plays.
struct Walk {
  int oldest, start, blocks;
};

class AutomaticPlayback : public Playback, public ::testing::WithParamInterface<Walk> {};

TEST_P(AutomaticPlayback, PlaysEachColumnTwiceAndStopsAfterTheNewest) {
  const Walk walk = GetParam();
  tuner.history.column = walk.oldest;
  tuner.playback.column = walk.start;
  tuner.playback.autoPlay = true;
  long played = 0;
  int column = walk.start;
  while (tuner.playback.autoPlay.load()) {
    for (int j = 0; j < kBlockSize; ++j) ASSERT_EQ(step(), marker(column, j)) << "block " << played << " sample " << j;
    ++played;
    if (played % 2 == 0) column = (column + 1) % kHistoryColumns;
    ASSERT_LE(played, 2 * kHistoryColumns);
  }
  EXPECT_EQ(played, walk.blocks);
  EXPECT_EQ(tuner.playback.column.load(), (walk.oldest + 1) % kHistoryColumns) << "cursor on the column after the oldest";
  EXPECT_EQ(tuner.playback.sample.load(), 0);
  EXPECT_EQ(tuner.playback.repeat.load(), 0);
  EXPECT_EQ(step(0.5f), 0.5f) << "nothing plays after the stop";
}

INSTANTIATE_TEST_SUITE_P(Cursor, AutomaticPlayback,
                         ::testing::Values(Walk{37, 37, 400}, Walk{37, 36, 2}, Walk{37, 100, 274}, Walk{0, 0, 400},
                                           Walk{0, 199, 2}, Walk{199, 199, 400}, Walk{199, 198, 2}));

TEST_F(Playback, PositionsOutsideTheStorageAreBroughtBackIn) {
  tuner.playback.scrubbing = true;
  tuner.playback.column = 250;
  tuner.playback.sample = kBlockSize + 10;
  EXPECT_EQ(step(), marker(50, 0));
  tuner.playback.column = -3;
  tuner.playback.sample = -1;
  EXPECT_EQ(step(), marker(197, 0));
  EXPECT_EQ(tuner.playback.sample.load(), 1);
}

TEST_F(Playback, WithoutStorageNothingPlays) {
  freeRecording(tuner.history);
  tuner.playback.scrubbing = true;
  EXPECT_EQ(step(0.25f), 0.25f);
}

}  // namespace

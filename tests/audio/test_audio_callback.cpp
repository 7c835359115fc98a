// Block capture, the handoff flag, gain and the output scaling of the audio callback.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <limits>

#include "analysis/detect.hpp"
#include "core/bell.hpp"

#include "audio_fixture.hpp"

namespace {

NoteDetection detection;  // the detectors' state beside the record, as the program keeps it

// Input sample number k of a run: distinct, exact in float, well inside full scale.
float ramp(long k) { return static_cast<float>(k % 4096) / 8192.0f - 0.25f; }

std::vector<float> rampFrom(long first, unsigned long count) {
  std::vector<float> samples(count);
  for (unsigned long i = 0; i < count; ++i) samples[i] = ramp(first + static_cast<long>(i));
  return samples;
}

using BlockCapture = AudioState;

TEST_F(BlockCapture, EveryFourthBufferOf512CompletesABlockAtItsLastFrame) {
  long fed = 0;
  for (int block = 0; block < 3; ++block) {
    for (int call = 1; call <= 4; ++call) {
      runCallback(kFramesPerBuffer, rampFrom(fed, kFramesPerBuffer));
      fed += kFramesPerBuffer;
      EXPECT_EQ(tuner.handoff.spectrumReady.load(), call == 4) << "block " << block << " call " << call;
      EXPECT_EQ(tuner.capture.fill, (call * kFramesPerBuffer) % kBlockSize);
    }
    for (int i = 0; i < kBlockSize; ++i) ASSERT_EQ(tuner.handoff.lastBlock[i].load(), ramp(block * kBlockSize + i)) << i;
    tuner.handoff.spectrumReady = false;
  }
}

// The waiting frame loop hears of a block from the bell, rung once as the block is published.
TEST_F(BlockCapture, EachPublishedBlockRingsTheBellOnce) {
  static int rings;
  static const TunerState* record;  // a bell is a plain function: what it looks at is kept here
  rings = 0;
  record = &tuner;
  hangBell(tuner.handoff.bell, [] {
    ++rings;
    EXPECT_TRUE(record->handoff.spectrumReady.load());  // the block is there for whoever wakes
  });
  for (int call = 1; call <= 8; ++call) {
    runCallback(kFramesPerBuffer);
    EXPECT_EQ(rings, call / 4) << "call " << call;
  }
  EXPECT_GT(lastRingNanoseconds(tuner.handoff.bell), 0);
  hangBell(tuner.handoff.bell, nullptr);
  for (int call = 1; call <= 4; ++call) runCallback(kFramesPerBuffer);
  EXPECT_EQ(rings, 2);
}

TEST_F(BlockCapture, ZeroFramesDoNothing) {
  runCallback(100, rampFrom(0, 100));
  float untouched = -99.0f;
  EXPECT_EQ(audioCallback(audio, nullptr, &untouched, 0), 0);
  EXPECT_EQ(untouched, -99.0f);
  EXPECT_EQ(tuner.capture.fill, 100);
  EXPECT_FALSE(tuner.handoff.spectrumReady.load());
}

// Counts that do not divide 2048: the block completes inside a call and the rest of
// that call starts the next block.
class OddBufferSizes : public AudioState, public ::testing::WithParamInterface<unsigned long> {};

TEST_P(OddBufferSizes, BlockCompletesMidCallAndTheRestStartsTheNext) {
  unsigned long frames = GetParam();
  long fed = 0;
  while (fed + static_cast<long>(frames) < kBlockSize) {
    runCallback(frames, rampFrom(fed, frames));
    fed += static_cast<long>(frames);
    ASSERT_FALSE(tuner.handoff.spectrumReady.load()) << fed;
  }
  runCallback(frames, rampFrom(fed, frames));
  fed += static_cast<long>(frames);
  ASSERT_TRUE(tuner.handoff.spectrumReady.load());
  long carried = fed % kBlockSize;
  long newestStart = fed - carried - kBlockSize;  // a long call can complete two blocks: the later one stays
  EXPECT_EQ(tuner.capture.fill, carried);
  for (int i = 0; i < kBlockSize; ++i) ASSERT_EQ(tuner.handoff.lastBlock[i].load(), ramp(newestStart + i)) << i;
  for (long i = 0; i < carried; ++i) EXPECT_EQ(tuner.capture.block[i], ramp(fed - carried + i)) << i;
}

INSTANTIATE_TEST_SUITE_P(Counts, OddBufferSizes, ::testing::Values(1ul, 300ul, 1000ul, 2047ul, 2049ul, 5000ul));

TEST_F(BlockCapture, GainScalesTheAnalysedCopyButNotTheRecordedOne) {
  tuner.controls.inputGain = 2.97f * 2.97f * 2.97f;
  std::vector<float> input = rampFrom(7, kBlockSize);
  runCallback(kBlockSize, input);
  double gain = tuner.controls.inputGain.load();
  for (int i = 0; i < kBlockSize; ++i) {
    ASSERT_EQ(tuner.handoff.lastBlock[i].load(), input[i]) << i;
    ASSERT_EQ(tuner.capture.block[i], static_cast<double>(input[i]) * gain) << i;
  }
}

// Needs the real block spectrum: the same input at half the gain gives half the magnitudes.
TEST_F(BlockCapture, GainChangesTheSpectrumNotLastBlock) {
  std::vector<float> input(kBlockSize);
  for (int i = 0; i < kBlockSize; ++i) input[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 40 * i / kBlockSize));

  runCallback(kBlockSize, input);
  std::vector<double> full(kBlockSize);
  for (int i = 0; i < kBlockSize; ++i) full[i] = tuner.handoff.spectrum[i].load();
  std::vector<float> recordedAtFull(kBlockSize);
  for (int i = 0; i < kBlockSize; ++i) recordedAtFull[i] = tuner.handoff.lastBlock[i].load();

  tuner.controls.inputGain = 0.5f;
  runCallback(kBlockSize, input);
  ASSERT_GT(full[80], 100.0) << "no spectrum: the block transform is not in place";
  for (int i = 0; i < kBlockSize; ++i) {
    ASSERT_EQ(tuner.handoff.lastBlock[i].load(), recordedAtFull[i]) << i;
    ASSERT_NEAR(tuner.handoff.spectrum[i].load(), full[i] * 0.5, 1e-9 * (1.0 + full[i])) << i;
  }
}

TEST_F(BlockCapture, MissingInputBufferCapturesSilence) {
  runCallback(100, std::vector<float>(100, 0.5f));
  std::vector<float> out(kBlockSize);
  audioCallback(audio, nullptr, out.data(), kBlockSize - 100);
  ASSERT_TRUE(tuner.handoff.spectrumReady.load());
  EXPECT_EQ(tuner.handoff.lastBlock[99].load(), 0.5f);
  EXPECT_EQ(tuner.handoff.lastBlock[100].load(), 0.0f);
  EXPECT_EQ(tuner.handoff.lastBlock[kBlockSize - 1].load(), 0.0f);
}

using OutputSample = AudioState;

TEST_F(OutputSample, SilenceWhenNothingSoundsWhateverTheInput) {
  for (float sample : runCallback(kFramesPerBuffer, rampFrom(1, kFramesPerBuffer))) ASSERT_EQ(sample, 0.0f);
}

// Output = (volume x sample) x 4 in double, stored as float: 1, 0.08 and 3.92 times the sample.
struct VolumeCase {
  float volume;
  double factor;
};

class OutputVolume : public AudioState, public ::testing::WithParamInterface<VolumeCase> {};

TEST_P(OutputVolume, ScalesTheComposedSampleByVolumeTimesFour) {
  fillRecordingWithMarkers();
  tuner.playback.frozen = true;
  tuner.playback.scrubbing = true;
  tuner.playback.column = 3;
  tuner.controls.outputVolume = GetParam().volume;
  std::vector<float> out = runCallback(kFramesPerBuffer);
  for (int n = 0; n < kFramesPerBuffer; ++n) {
    float played = marker(3, n);
    ASSERT_EQ(out[n], static_cast<float>((static_cast<double>(GetParam().volume) * played) * 4.0)) << n;
    ASSERT_NEAR(out[n], played * GetParam().factor, 1e-6 * played) << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Sliders, OutputVolume,
                         ::testing::Values(VolumeCase{0.25f, 1.0}, VolumeCase{0.02f, 0.08}, VolumeCase{0.98f, 3.92}));

TEST_F(OutputSample, PlaybackReplacesTheToneAndUnfreezingBringsItBack) {
  fillRecordingWithMarkers();
  tuner.playback.frozen = true;
  tuner.tone.key = 48;
  tuner.tone.held = true;
  tuner.playback.scrubbing = true;
  tuner.playback.column = 10;
  std::vector<float> playing = runCallback(64);
  for (int n = 0; n < 64; ++n) ASSERT_EQ(playing[n], marker(10, n));
  EXPECT_EQ(tuner.tone.note, 48) << "the tone keeps running underneath";

  tuner.playback.scrubbing = false;
  std::vector<float> tone = runCallback(64);
  EXPECT_GT(*std::max_element(tone.begin(), tone.end()), 0.04f);
  for (float sample : tone) ASSERT_LT(std::fabs(sample), 0.2001f);
}

// A block with bad samples in it, then clean ones: every score and every recorded
// sample must be what the same run gives with those samples silent.
struct BadSample {
  const char* what;
  float value;
  int count;  // how many neighbouring samples hold it
};

std::vector<std::vector<float>> scoreBlocks(AudioShared& audio, const std::vector<float>& input) {
  TunerState& tuner = audio.record;
  resetNoteDetection(tuner, detection);
  std::vector<std::vector<float>> columns;
  for (std::size_t first = 0; first < input.size(); first += kBlockSize) {
    std::vector<float> block(input.begin() + static_cast<long>(first), input.begin() + static_cast<long>(first) + kBlockSize);
    std::vector<float> out(kBlockSize);
    audioCallback(audio, block.data(), out.data(), kBlockSize);
    int col = tuner.history.column.load();
    detectNotes(tuner, detection);
    columns.emplace_back(tuner.history.scores + col * kNoteRows, tuner.history.scores + (col + 1) * kNoteRows);
    for (int i = 0; i < kBlockSize; ++i) columns.back().push_back(tuner.handoff.lastBlock[i].load());
  }
  return columns;
}

TEST_F(BlockCapture, NonFiniteOrOverflowingSamplesCountAsSilence) {
  const BadSample cases[] = {
      {"NaN", std::numeric_limits<float>::quiet_NaN(), 1},
      {"+Inf", std::numeric_limits<float>::infinity(), 1},
      {"-Inf", -std::numeric_limits<float>::infinity(), 1},
      {"two of 3e38", 3e38f, 2},
      {"a run of -3e38", -3e38f, 300},
      {"just beyond 1e6", 1.0000001e6f, 1},
  };
  constexpr int kBlocks = 6;
  std::vector<float> tone(kBlocks * kBlockSize);
  for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = 0.03f * static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * i / 44100));
  std::vector<float> silenced = tone;
  const int at = kBlockSize + 700;  // inside the second block
  for (const BadSample& c : cases) {
    SCOPED_TRACE(c.what);
    std::fill(silenced.begin() + at, silenced.begin() + at + c.count, 0.0f);
    std::vector<float> bad = tone;
    std::fill(bad.begin() + at, bad.begin() + at + c.count, c.value);
    tuner.controls.softDisplay = 1;
    EXPECT_EQ(scoreBlocks(audio, bad), scoreBlocks(audio, silenced));
    tuner.controls.softDisplay = 0;
    EXPECT_EQ(scoreBlocks(audio, bad), scoreBlocks(audio, silenced));
    silenced = tone;
  }
}

TEST_F(BlockCapture, LargeFiniteSamplesUpToTheLimitAreKept) {
  std::vector<float> input = rampFrom(0, kBlockSize);
  input[5] = 1.0e6f;
  input[6] = -1.0e6f;
  input[7] = 32767.0f;
  runCallback(kBlockSize, input);
  for (int i = 0; i < kBlockSize; ++i) ASSERT_EQ(tuner.handoff.lastBlock[i].load(), input[i]) << i;
}

}  // namespace

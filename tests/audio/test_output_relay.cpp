// Capture and playback as two streams: the playback side plays exactly what the
// callback composed on the capture side, in order, whatever the two sides' timing.

#include <vector>

#include "audio/output_relay.hpp"
#include "audio_fixture.hpp"

namespace {

constexpr unsigned long kBuffer = kFramesPerBuffer;

// Automatic playback of a recording whose every sample differs, so any sample
// lost, repeated or reordered on the way shows.
class OutputRelay : public AudioState {
 protected:
  void SetUp() override {
    AudioState::SetUp();
    startPlayback();
    resetOutputRelay();
  }
  static void startPlayback() {
    fillRecordingWithMarkers();
    tuner.frozen = true;
    tuner.autoPlay = true;
    tuner.playColumn = 3;
  }
  // What one duplex stream would have played over `buffers` buffers, from the same state.
  std::vector<float> duplexOutput(int buffers) {
    TearDown();
    SetUp();
    std::vector<float> all;
    for (int i = 0; i < buffers; ++i) {
      const std::vector<float> out = runCallback(kBuffer);
      all.insert(all.end(), out.begin(), out.end());
    }
    TearDown();
    SetUp();
    return all;
  }
  static std::vector<float> play(unsigned long frames) {
    std::vector<float> out(frames, -99.0f);
    relayPlayback(out.data(), frames);
    return out;
  }
  static void capture(unsigned long frames) {
    const std::vector<float> silence(frames, 0.0f);
    relayCapture(silence.data(), frames);
  }
  static std::vector<float> slice(const std::vector<float>& all, std::size_t from, std::size_t count) {
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.begin() + static_cast<std::ptrdiff_t>(from + count)};
  }
};

constexpr int kCushionBuffers = static_cast<int>(kRelayCushionFrames / kBuffer);

TEST_F(OutputRelay, PlaysSilenceUntilTheCushionWaitsThenEverySampleInOrder) {
  const std::vector<float> expected = duplexOutput(kCushionBuffers + 4);
  for (int i = 0; i < kCushionBuffers - 1; ++i) capture(kBuffer);
  EXPECT_EQ(play(kBuffer), std::vector<float>(kBuffer, 0.0f));  // one buffer short of the cushion
  capture(kBuffer);
  std::vector<float> played;
  for (int i = 0; i < 4; ++i) {
    const std::vector<float> out = play(kBuffer);
    played.insert(played.end(), out.begin(), out.end());
    capture(kBuffer);
  }
  EXPECT_EQ(played, slice(expected, 0, 4 * kBuffer));
}

TEST_F(OutputRelay, CaptureBuffersOfAnySizeComposeWhatOneDuplexStreamWould) {
  const std::vector<float> expected = duplexOutput(4);
  for (unsigned long frames : {1ul, 700ul, 300ul, 1047ul}) capture(frames);  // four buffers' worth
  EXPECT_EQ(play(4 * kBuffer), expected);
}

// Running dry gives one gap of silence and a fresh cushion, never a few samples between gaps.
TEST_F(OutputRelay, AfterRunningDryItWaitsForTheCushionAgainAndLosesNothing) {
  const std::vector<float> expected = duplexOutput(3 * kCushionBuffers);
  for (int i = 0; i < kCushionBuffers; ++i) capture(kBuffer);
  const std::vector<float> first = play(kRelayCushionFrames + kBuffer);
  EXPECT_EQ(slice(first, 0, kRelayCushionFrames), slice(expected, 0, kRelayCushionFrames));
  EXPECT_EQ(slice(first, kRelayCushionFrames, kBuffer), std::vector<float>(kBuffer, 0.0f));
  for (int i = 0; i < kCushionBuffers - 1; ++i) capture(kBuffer);
  EXPECT_EQ(play(kBuffer), std::vector<float>(kBuffer, 0.0f));
  capture(kBuffer);
  EXPECT_EQ(play(kBuffer), slice(expected, kRelayCushionFrames, kBuffer));
  EXPECT_EQ(outputRelayCounts().gaps, 1u);
}

TEST_F(OutputRelay, AHeadStartAboveTheHighMarkIsDroppedOldestFirstDownToTheCushion) {
  constexpr int kAhead = 20;
  static_assert(kAhead * kBuffer > kRelayHighFrames + kBuffer);
  const std::vector<float> expected = duplexOutput(kAhead);
  for (int i = 0; i < kAhead; ++i) capture(kBuffer);
  const std::size_t kept = kRelayCushionFrames + kBuffer;
  EXPECT_EQ(play(kBuffer), slice(expected, kAhead * kBuffer - kept, kBuffer));
  EXPECT_EQ(outputRelayCounts().dropped, kAhead * kBuffer - kept);
}

}  // namespace

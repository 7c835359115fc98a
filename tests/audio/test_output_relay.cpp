// Capture and playback as two streams: the playback side plays exactly what the
// callback composed on the capture side, in order, whatever the two sides' timing.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "audio/output_relay.hpp"
#include "audio_fixture.hpp"

namespace {

constexpr unsigned long kBuffer = kFramesPerBuffer;

// Automatic playback of a recording whose every sample differs, so any sample
// lost, repeated or reordered on the way shows.
class Relay : public AudioState {
 protected:
  void SetUp() override {
    AudioState::SetUp();
    startPlayback();
    resetOutputRelay(audio.relay);
  }
  void startPlayback() {
    fillRecordingWithMarkers();
    tuner.playback.frozen = true;
    tuner.playback.autoPlay = true;
    tuner.playback.column = 3;
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
  std::vector<float> play(unsigned long frames) {
    std::vector<float> out(frames, -99.0f);
    relayPlayback(audio.relay, tuner, out.data(), frames);
    return out;
  }
  void capture(unsigned long frames) {
    const std::vector<float> silence(frames, 0.0f);
    relayCapture(audio, silence.data(), frames);
  }
  static std::vector<float> slice(const std::vector<float>& all, std::size_t from, std::size_t count) {
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.begin() + static_cast<std::ptrdiff_t>(from + count)};
  }
};

constexpr int kCushionBuffers = static_cast<int>(kRelayCushionFrames / kBuffer);

TEST_F(Relay, PlaysSilenceUntilTheCushionWaitsThenEverySampleInOrder) {
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

TEST_F(Relay, CaptureBuffersOfAnySizeComposeWhatOneDuplexStreamWould) {
  const std::vector<float> expected = duplexOutput(4);
  for (unsigned long frames : {1ul, 700ul, 300ul, 1047ul}) capture(frames);  // four buffers' worth
  EXPECT_EQ(play(4 * kBuffer), expected);
}

// Running dry gives one gap of silence and a fresh cushion, never a few samples between gaps.
TEST_F(Relay, AfterRunningDryItWaitsForTheCushionAgainAndLosesNothing) {
  const std::vector<float> expected = duplexOutput(3 * kCushionBuffers);
  for (int i = 0; i < kCushionBuffers; ++i) capture(kBuffer);
  const std::vector<float> first = play(kRelayCushionFrames + kBuffer);
  EXPECT_EQ(slice(first, 0, kRelayCushionFrames), slice(expected, 0, kRelayCushionFrames));
  EXPECT_EQ(slice(first, kRelayCushionFrames, kBuffer), std::vector<float>(kBuffer, 0.0f));
  for (int i = 0; i < kCushionBuffers - 1; ++i) capture(kBuffer);
  EXPECT_EQ(play(kBuffer), std::vector<float>(kBuffer, 0.0f));
  capture(kBuffer);
  EXPECT_EQ(play(kBuffer), slice(expected, kRelayCushionFrames, kBuffer));
  EXPECT_EQ(outputRelayCounts(audio.relay).gaps, 1u);
}

TEST_F(Relay, AHeadStartAboveTheHighMarkIsDroppedOldestFirstDownToTheCushion) {
  constexpr int kAhead = 20;
  static_assert(kAhead * kBuffer > kRelayHighFrames + kBuffer);
  const std::vector<float> expected = duplexOutput(kAhead);
  for (int i = 0; i < kAhead; ++i) capture(kBuffer);
  const std::size_t kept = kRelayCushionFrames + kBuffer;
  EXPECT_EQ(play(kBuffer), slice(expected, kAhead * kBuffer - kept, kBuffer));
  EXPECT_EQ(outputRelayCounts(audio.relay).dropped, kAhead * kBuffer - kept);
}

}  // namespace

namespace {

constexpr int kA4Key = 48;
constexpr int kCarryBuffers = static_cast<int>(kRelayCarryFrames / kBuffer);

// The reference tone held, nothing else sounding: where the relay runs dry the playback
// side carries the tone on, and must play exactly what one duplex stream would.
class ToneRelay : public AudioState {
 protected:
  void SetUp() override {
    AudioState::SetUp();
    tuner.tone.key = kA4Key;
    tuner.tone.held = true;
    resetOutputRelay(audio.relay);
  }
  std::vector<float> duplexOutput(int buffers) {
    std::vector<float> all;
    for (int i = 0; i < buffers; ++i) {
      const std::vector<float> out = runCallback(kBuffer);
      all.insert(all.end(), out.begin(), out.end());
    }
    TearDown();
    SetUp();
    return all;
  }
  void capture(int buffers, unsigned long frames = kBuffer) {
    const std::vector<float> silence(frames, 0.0f);
    for (int i = 0; i < buffers; ++i) relayCapture(audio, silence.data(), frames);
  }
  void play(int buffers) {
    for (int i = 0; i < buffers; ++i) {
      std::vector<float> out(kBuffer, -99.0f);
      relayPlayback(audio.relay, tuner, out.data(), kBuffer);
      played.insert(played.end(), out.begin(), out.end());
    }
  }
  std::vector<float> played;
};

std::vector<float> head(const std::vector<float>& all, std::size_t count) {
  return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count)};
}

TEST_F(ToneRelay, ARelayThatNeverRunsDryPlaysWhatItWasGivenAndCarriesNothing) {
  const std::vector<float> expected = duplexOutput(kCushionBuffers + 20);
  capture(kCushionBuffers);
  for (int i = 0; i < 20; ++i) {
    capture(1);
    play(1);
  }
  EXPECT_EQ(played, head(expected, played.size()));
  const RelayCounts counts = outputRelayCounts(audio.relay);
  EXPECT_EQ(counts.carried, 0u);
  EXPECT_EQ(counts.carries, 0u);
  EXPECT_EQ(counts.silent, 0u);
}

// Dry spells of one buffer to the most the relay carries, each met by a burst that
// catches up; before, during and after, every sample is the duplex stream's.
TEST_F(ToneRelay, ADrySpellCarriesTheToneOnInPhaseAndTheLateOutputPicksUpInStep) {
  for (int dry : {1, 3, kCarryBuffers}) {
    SCOPED_TRACE(dry);
    const std::vector<float> expected = duplexOutput(kCushionBuffers + dry + 10);
    played.clear();
    capture(kCushionBuffers);
    play(kCushionBuffers + dry);  // the capture side is late by `dry` buffers
    capture(dry + 2);             // and catches up in a burst
    play(2);
    for (int i = 0; i < 8; ++i) {
      capture(1);
      play(1);
    }
    ASSERT_EQ(played.size(), expected.size());
    EXPECT_EQ(played, expected);
    const RelayCounts counts = outputRelayCounts(audio.relay);
    EXPECT_EQ(counts.carried, dry * kBuffer);
    EXPECT_EQ(counts.carries, 1u);
    EXPECT_EQ(counts.silent, 0u);
    EXPECT_EQ(counts.gaps, 0u);
    EXPECT_EQ(counts.dropped, 0u);
    TearDown();
    SetUp();
  }
}

TEST_F(ToneRelay, BeyondTheLongestCarryItIsAGapAndTheToneFadesBackInStep) {
  constexpr int kDry = kCarryBuffers + 2;
  const std::vector<float> expected = duplexOutput(kCushionBuffers + kDry + 4);
  capture(kCushionBuffers);
  play(kCushionBuffers + kDry);
  capture(kDry + 4);
  play(4);
  const std::size_t carryEnd = kCushionBuffers * kBuffer + kRelayCarryFrames;
  EXPECT_EQ(head(played, carryEnd), head(expected, carryEnd));
  EXPECT_EQ(std::vector<float>(played.begin() + carryEnd, played.begin() + carryEnd + 2 * kBuffer),
            std::vector<float>(2 * kBuffer, 0.0f));
  // What came late past the carry fades in from the silence, in step.
  const auto resumed = played.end() - 4 * kBuffer;
  const std::size_t from = carryEnd;
  EXPECT_LT(std::fabs(*resumed), 0.01f);
  EXPECT_EQ(std::vector<float>(resumed + kRelayFadeFrames, played.end()),
            std::vector<float>(expected.begin() + static_cast<std::ptrdiff_t>(from + kRelayFadeFrames),
                               expected.begin() + static_cast<std::ptrdiff_t>(from + 4 * kBuffer)));
  const RelayCounts counts = outputRelayCounts(audio.relay);
  EXPECT_EQ(counts.gaps, 1u);
  EXPECT_EQ(counts.silent, 2 * kBuffer);
  EXPECT_EQ(counts.carried, kRelayCarryFrames);
}

// The playback side stays ahead of the capture side by more than the longest carry (each
// run dry of the output device's own puts it further ahead): after the one gap the relay
// waits for a fresh cushion, and the tone comes back for good.
TEST_F(ToneRelay, APlaybackSideThatStaysAheadGetsOneGapAndAFreshCushion) {
  constexpr int kLate = kCarryBuffers + 1;
  constexpr int kSteady = 40;
  const std::vector<float> expected = duplexOutput(kCushionBuffers + kSteady);
  capture(kCushionBuffers);
  play(kCushionBuffers + kLate);
  for (int i = 0; i < kSteady; ++i) {
    capture(1);
    play(1);
  }
  // The newest buffer played is the one a cushion behind the newest composed.
  const std::size_t newest = (kCushionBuffers + kSteady - kCushionBuffers) * kBuffer;
  EXPECT_EQ(std::vector<float>(played.end() - kBuffer, played.end()),
            std::vector<float>(expected.begin() + static_cast<std::ptrdiff_t>(newest),
                               expected.begin() + static_cast<std::ptrdiff_t>(newest + kBuffer)));
  EXPECT_EQ(outputRelayCounts(audio.relay).gaps, 1u);
}

// The largest step between neighbouring samples.
float steepest(const std::vector<float>& samples) {
  float most = 0.0f;
  for (std::size_t i = 1; i < samples.size(); ++i) most = std::max(most, std::fabs(samples[i] - samples[i - 1]));
  return most;
}

// The button let go (or moved to another key) after the playback side carried the tone on
// and before the capture side composed those samples: the two differ, and the composed
// output fades in, never steeper than the composed output itself.
TEST_F(ToneRelay, ARequestChangedDuringADrySpellFadesIntoTheComposedOutputWithoutAStep) {
  auto change = [this](int key) {
    if (key < 0)
      tuner.tone.held = false;
    else
      tuner.tone.key = key;
  };
  for (int key : {-1, kA4Key + 7}) {
    SCOPED_TRACE(key);
    std::vector<float> composedStream = duplexOutput(kCushionBuffers);
    change(key);
    const std::vector<float> after = duplexOutput(8);
    composedStream.insert(composedStream.end(), after.begin(), after.end());
    played.clear();
    capture(kCushionBuffers);
    play(kCushionBuffers + 2);  // two buffers carried on with A4 held
    change(key);
    capture(8);
    play(6);
    EXPECT_LE(steepest(played), steepest(composedStream));
    EXPECT_EQ(outputRelayCounts(audio.relay).carries, 1u);
    TearDown();
    SetUp();
  }
}

// Capture buffers of other sizes leave the marks where the ring runs dry all the same.
TEST_F(ToneRelay, CaptureBuffersOfAnySizeCarryTheToneOnExactly) {
  const std::vector<float> expected = duplexOutput(kCushionBuffers + 6);
  for (unsigned long frames : {1ul, 700ul, 300ul, 1047ul}) capture(1, frames);  // four buffers' worth
  play(kCushionBuffers + 2);
  capture(6);
  play(4);
  EXPECT_EQ(played, expected);
  EXPECT_EQ(outputRelayCounts(audio.relay).carries, 1u);
}

// Without the tone, or with a recording playing beside it, a dry relay plays silence and
// waits for a fresh cushion, as before.
TEST_F(ToneRelay, WithoutTheToneOrWithPlaybackBesideItADryRelayPlaysSilence) {
  for (bool withPlayback : {false, true}) {
    SCOPED_TRACE(withPlayback);
    tuner.tone.held = withPlayback;
    if (withPlayback) {
      fillRecordingWithMarkers();
      tuner.playback.frozen = true;
      tuner.playback.autoPlay = true;
    }
    played.clear();
    capture(kCushionBuffers);
    play(kCushionBuffers + 1);
    EXPECT_EQ(head(std::vector<float>(played.end() - kBuffer, played.end()), kBuffer),
              std::vector<float>(kBuffer, 0.0f));
    const RelayCounts counts = outputRelayCounts(audio.relay);
    EXPECT_EQ(counts.gaps, 1u);
    EXPECT_EQ(counts.carried, 0u);
    TearDown();
    SetUp();
  }
}

// The two sides on two threads, the capture side now ahead, now late by a few buffers
// (never beyond the high mark or the longest carry): every sample played is the
// duplex stream's, dry spells and all.
TEST_F(ToneRelay, OnTwoThreadsWithTheCaptureSideLateNowAndThenEverySampleIsTheDuplexStreams) {
  constexpr int kBuffers = 400;
  const std::vector<float> expected = duplexOutput(kBuffers);
  std::atomic<int> capturedBuffers{0}, playedBuffers{0};
  std::thread captureSide([&] {
    const std::vector<float> silence(kBuffer, 0.0f);
    for (int i = 0; i < kBuffers; ++i) {
      const bool late = i % 37 == 36;  // now and then, let the playback side run dry
      while (capturedBuffers.load() - playedBuffers.load() > (late ? -3 : kCushionBuffers + 2))
        std::this_thread::yield();
      relayCapture(audio, silence.data(), kBuffer);
      capturedBuffers.store(i + 1);
    }
  });
  while (capturedBuffers.load() < kCushionBuffers) std::this_thread::yield();
  for (int i = 0; i < kBuffers; ++i) {
    while (playedBuffers.load() - capturedBuffers.load() > 8 && capturedBuffers.load() < kBuffers)
      std::this_thread::yield();
    play(1);
    playedBuffers.store(i + 1);
  }
  captureSide.join();
  const RelayCounts counts = outputRelayCounts(audio.relay);
  EXPECT_EQ(counts.gaps, 0u);
  EXPECT_EQ(counts.dropped, 0u);
  EXPECT_GT(counts.carries, 0u);
  EXPECT_EQ(counts.silent, 0u);
  EXPECT_EQ(played, expected);
}

}  // namespace

// Devices at their own rate: the program's 44100 Hz side hears and sends what it would at
// 44100 Hz, converted without gaps, and a device at 44100 Hz gets the samples untouched.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "audio/rate_bridge.hpp"

namespace {

constexpr double kA4 = 440.0;
constexpr double kDeviceRate = 48000.0;
constexpr unsigned long kCall = 480;  // a device period of 10 ms at 48000 Hz
constexpr int kSeconds = 3;

std::vector<float> heard;  // what reached the 44100 Hz capture end
double sent = 0;           // samples the 44100 Hz playback end has composed

void hear(void*, const float* input, unsigned long count) { heard.insert(heard.end(), input, input + count); }
void sendTone(void*, float* output, unsigned long count) {
  for (unsigned long i = 0; i < count; ++i, ++sent)
    output[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * kA4 * sent / kSampleRate));
}
void sendCount(void*, float* output, unsigned long count) {
  for (unsigned long i = 0; i < count; ++i, ++sent) output[i] = static_cast<float>(sent);
}

// Rising zero crossings, interpolated: the tone's frequency at `rate`.
double frequency(const std::vector<float>& samples, double rate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i)
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      const double at = (i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0;
}

// The longest run of exact zeros after the first sound: a gap in the output.
std::size_t longestSilence(const std::vector<float>& samples) {
  std::size_t run = 0, longest = 0;
  bool started = false;
  for (float s : samples) {
    started = started || s != 0;
    run = started && s == 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

class Bridging : public ::testing::Test {
 protected:
  void SetUp() override {
    heard.clear();
    sent = 0;
  }
  void TearDown() override { closeRateBridge(bridge); }
  void open(BridgeRates rates, void (*send)(void*, float*, unsigned long)) {
    std::string reason;
    ASSERT_TRUE(openRateBridge(bridge, rates, {nullptr, hear, send}, reason)) << reason;
  }
  // Device callbacks of kCall frames for `seconds`, the helper's round after each.
  std::vector<float> play(double seconds, double rate, const std::vector<float>& input = {}) {
    std::vector<float> played;
    float out[kCall];
    for (std::size_t at = 0; at + kCall <= static_cast<std::size_t>(seconds * rate); at += kCall) {
      bridgeCapture(bridge, input.empty() ? nullptr : input.data() + at, kCall);
      bridgePlayback(bridge, out, kCall);
      played.insert(played.end(), out, out + kCall);
      pumpRateBridge(bridge);
    }
    return played;
  }
  RateBridge bridge;
};

TEST_F(Bridging, A440HzToneKeepsItsPitchBothWaysWithNoGapOrLoss) {
  open({kDeviceRate, kDeviceRate}, sendTone);
  std::vector<float> tone(kSeconds * static_cast<std::size_t>(kDeviceRate));
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * kA4 * i / kDeviceRate));
  const std::vector<float> played = play(kSeconds, kDeviceRate, tone);
  EXPECT_NEAR(frequency(played, kDeviceRate), kA4, 0.01);
  EXPECT_NEAR(frequency(heard, kSampleRate), kA4, 0.01);
  EXPECT_LT(longestSilence(played), 32u);
  // Every sample comes through but for what the converters still hold.
  EXPECT_NEAR(static_cast<double>(heard.size()), kSeconds * kSampleRate, 2 * kFramesPerBuffer);
  EXPECT_NEAR(sent * kDeviceRate / kSampleRate, kSeconds * kDeviceRate, 4 * kFramesPerBuffer);
  const BridgeCounts counts = rateBridgeCounts(bridge);
  EXPECT_EQ(counts.inputLost + counts.outputShort, 0u);
}

TEST_F(Bridging, EachSideConvertsOnlyWhereItsDeviceRateDiffers) {
  struct Case {
    BridgeRates rates;
    bool inputUntouched, outputUntouched;
  };
  for (const Case& c : {Case{{kSampleRate, kSampleRate}, true, true}, Case{{kDeviceRate, kSampleRate}, false, true},
                        Case{{kSampleRate, 96000.0}, true, false}}) {
    SetUp();
    open(c.rates, sendCount);
    std::vector<float> input(static_cast<std::size_t>(c.rates.input));
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(i % 1000) / 1000;
    const std::vector<float> played = play(1, c.rates.input, input);
    const std::vector<float> expectedIn(input.begin(), input.begin() + heard.size());
    EXPECT_EQ(heard == expectedIn, c.inputUntouched) << c.rates.input;
    // The output ring starts with its cushion of silence, then the count composed.
    bool counts = played.size() > kBridgeOutputFrames;
    for (std::size_t i = kBridgeOutputFrames; counts && i < played.size(); ++i)
      counts = played[i] == static_cast<float>(i - kBridgeOutputFrames);
    EXPECT_EQ(counts, c.outputUntouched) << c.rates.output;
    closeRateBridge(bridge);
  }
}

TEST_F(Bridging, ALateHelperCostsSilenceIsCountedAndKeepsMoreWaitingAfter) {
  open({kSampleRate, kSampleRate}, sendCount);
  float out[kCall];
  for (int i = 0; i < 4; ++i) bridgePlayback(bridge, out, kCall);  // no helper round between the calls
  EXPECT_EQ(out[kCall - 1], 0.0f);
  const BridgeCounts counts = rateBridgeCounts(bridge);
  EXPECT_EQ(counts.outputShort, 4 * kCall - kBridgeOutputFrames);
  EXPECT_EQ(counts.shortCalls, 2u);
  // Topped up by whole composed buffers to two buffers more than the least, but never past the most.
  pumpRateBridge(bridge);
  EXPECT_EQ(sent, kBridgeOutputFrames + 2 * kFramesPerBuffer);
  const double before = sent;
  for (int i = 0; i < 40; ++i) bridgePlayback(bridge, out, kCall);  // runs dry again and again
  pumpRateBridge(bridge);
  EXPECT_EQ(sent - before, kBridgeMostOutputFrames);
}

TEST_F(Bridging, ADeviceBufferAskedForInOneBurstFindsItAllWaiting) {
  // A host buffer of 86 ms refilled by back-to-back callbacks after a hiccup (WASAPI under Wine).
  constexpr unsigned long kHostBuffer = 4114;
  struct Case {
    unsigned long deviceBuffer;
    bool silent;
  };
  for (const Case& c : {Case{0, true}, Case{kHostBuffer, false}, Case{1u << 20, false}}) {
    SetUp();
    open({kDeviceRate, kDeviceRate}, sendTone);
    if (c.deviceBuffer > 0) setBridgeDeviceBuffer(bridge, c.deviceBuffer);
    pumpRateBridge(bridge);
    float out[kCall];
    unsigned long burst = 0;
    for (; burst + kCall <= kHostBuffer; burst += kCall) bridgePlayback(bridge, out, kCall);
    EXPECT_EQ(rateBridgeCounts(bridge).outputShort > 0, c.silent) << c.deviceBuffer;
    closeRateBridge(bridge);
  }
}

TEST_F(Bridging, ARateTheConverterCannotTakeIsRefusedWithTheReason) {
  std::string reason;
  EXPECT_FALSE(openRateBridge(bridge, {0.0, kSampleRate}, {nullptr, hear, sendTone}, reason));
  EXPECT_NE(reason.find("cannot convert 0 Hz"), std::string::npos) << reason;
}

TEST_F(Bridging, TheHelperThreadKeepsTheDeviceSupplied) {
  open({kDeviceRate, kDeviceRate}, sendTone);
  startRateBridge(bridge, nullptr);
  float out[kCall];
  std::vector<float> played;
  for (int call = 0; call < 50; ++call) {  // half a second of 10 ms periods
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    bridgeCapture(bridge, nullptr, kCall);
    bridgePlayback(bridge, out, kCall);
    played.insert(played.end(), out, out + kCall);
  }
  closeRateBridge(bridge);
  EXPECT_NEAR(frequency(played, kDeviceRate), kA4, 0.05);
  EXPECT_GT(heard.size(), 0u);
}

}  // namespace

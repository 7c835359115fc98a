#include "audio/rate_bridge.hpp"

#include <soxr.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "audio/sample_ring.hpp"

namespace {

constexpr std::size_t kRingFrames = 16384;      // 341 ms at 48000 Hz: far above any callback burst
constexpr std::size_t kPieceFrames = 1024;      // device input converted at a time
constexpr std::size_t kConvertedFrames = 8192;  // room for one piece converted, or a burst of libsoxr's
constexpr int kMostRounds = 16;                 // output buffers composed in one pump at most
constexpr unsigned kOneThread = 1;              // the helper converts; libsoxr starts no threads

// The deepest output kept waiting and a burst of libsoxr's still fit.
static_assert(kBridgeDeepestOutputFrames + kBridgeMostOutputFrames + 4 * kFramesPerBuffer <= kRingFrames);

}  // namespace

struct BridgeParts {
  BridgeRates rates;
  BridgeEnds ends{};
  soxr_t toProgram = nullptr;  // device rate to 44100 Hz; null when the input needs none
  soxr_t toDevice = nullptr;   // 44100 Hz to the device rate; null when the output needs none
  SampleRing<kRingFrames> input, output;
  float piece[kPieceFrames]{};
  float composed[kFramesPerBuffer]{};
  float converted[kConvertedFrames]{};
  std::atomic<unsigned long long> inputLost{0}, outputShort{0}, shortCalls{0};
  std::size_t least = kBridgeOutputFrames;  // output kept waiting at the least; set before the helper starts
  std::atomic<bool> running{false};
  std::thread helper;
};

namespace {

soxr_t makeConverter(double from, double to, std::string& reason) {
  if (from == to) return nullptr;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(kOneThread);
  soxr_error_t error = nullptr;
  soxr_t converter = soxr_create(from, to, 1, &error, &io, &quality, &runtime);
  if (error != nullptr) {
    soxr_delete(converter);
    reason = "cannot convert " + std::to_string(static_cast<int>(from)) + " Hz to " +
             std::to_string(static_cast<int>(to)) + " Hz: " + error;
    return nullptr;
  }
  return converter;
}

void freeConverters(BridgeParts& b) {
  soxr_delete(b.toProgram);
  soxr_delete(b.toDevice);
  b.toProgram = b.toDevice = nullptr;
}

// Converts all `count` samples (or passes them on with no converter), handing each piece of the
// result to `take`.
template <typename Take>
void convert(soxr_t converter, const float* samples, std::size_t count, float* room, Take take) {
  if (converter == nullptr) {
    take(samples, count);
    return;
  }
  std::size_t at = 0;
  for (int round = 0; round < kMostRounds; ++round) {
    std::size_t used = 0, made = 0;
    if (soxr_process(converter, samples + at, count - at, &used, room, kConvertedFrames, &made) != nullptr) return;
    at += used;
    if (made > 0) take(room, made);
    if (at == count && made < kConvertedFrames) return;  // all taken in, nothing more ready
  }
}

void add(std::atomic<unsigned long long>& counter, unsigned long long frames) {
  counter.store(counter.load(std::memory_order_relaxed) + frames, std::memory_order_relaxed);
}

void pumpInput(BridgeParts& b) {
  while (const std::size_t got = b.input.pop(b.piece, kPieceFrames))
    convert(b.toProgram, b.piece, got, b.converted,
            [&](const float* samples, std::size_t count) { b.ends.capture(b.ends.user, samples, count); });
}

// What the output ring is topped up to: the least, raised a buffer for each short playback call.
std::size_t outputTarget(const BridgeParts& b) {
  const unsigned long long raised = b.shortCalls.load(std::memory_order_relaxed) * kFramesPerBuffer;
  return std::min<unsigned long long>(b.least + raised, b.least - kBridgeOutputFrames + kBridgeMostOutputFrames);
}

void pumpOutput(BridgeParts& b) {
  const std::size_t target = outputTarget(b);
  for (int round = 0; round < kMostRounds && b.output.waiting() < target; ++round) {
    b.ends.playback(b.ends.user, b.composed, kFramesPerBuffer);
    convert(b.toDevice, b.composed, kFramesPerBuffer, b.converted,
            [&](const float* samples, std::size_t count) { b.output.push(samples, count); });
  }
}

void helperLoop(BridgeParts& b, void (*onStart)()) {
  if (onStart != nullptr) onStart();
  while (b.running.load(std::memory_order_acquire)) {
    pumpInput(b);
    pumpOutput(b);
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(kBridgePollMs));
  }
}

}  // namespace

RateBridge::RateBridge() = default;
RateBridge::~RateBridge() { closeRateBridge(*this); }

bool openRateBridge(RateBridge& bridge, const BridgeRates& rates, const BridgeEnds& ends, std::string& reason) {
  closeRateBridge(bridge);
  auto made = std::make_unique<BridgeParts>();
  made->rates = rates;
  made->ends = ends;
  reason.clear();
  made->toProgram = makeConverter(rates.input, kSampleRate, reason);
  if (reason.empty()) made->toDevice = makeConverter(kSampleRate, rates.output, reason);
  if (!reason.empty()) {
    freeConverters(*made);
    return false;
  }
  const float silence[kBridgeOutputFrames] = {};
  made->output.push(silence, kBridgeOutputFrames);
  bridge.parts = std::move(made);
  return true;
}

void setBridgeDeviceBuffer(RateBridge& bridge, unsigned long frames) {
  if (bridge.parts == nullptr) return;
  const unsigned long deep = std::min(frames, kBridgeDeepestOutputFrames) + kFramesPerBuffer;
  bridge.parts->least = std::max<std::size_t>(kBridgeOutputFrames, deep);
}

void startRateBridge(RateBridge& bridge, void (*onStart)()) {
  BridgeParts* parts = bridge.parts.get();
  if (parts == nullptr || parts->running.load()) return;
  parts->running.store(true, std::memory_order_release);
  parts->helper = std::thread(helperLoop, std::ref(*parts), onStart);
}

void pumpRateBridge(RateBridge& bridge) {
  pumpInput(*bridge.parts);
  pumpOutput(*bridge.parts);
}

void closeRateBridge(RateBridge& bridge) {
  BridgeParts* parts = bridge.parts.get();
  if (parts == nullptr) return;
  parts->running.store(false, std::memory_order_release);
  if (parts->helper.joinable()) parts->helper.join();
  freeConverters(*parts);
  bridge.parts.reset();
}

BridgeCounts rateBridgeCounts(const RateBridge& bridge) {
  const BridgeParts* parts = bridge.parts.get();
  if (parts == nullptr) return {};
  return {parts->inputLost.load(), parts->outputShort.load(), parts->shortCalls.load()};
}

void bridgeCapture(RateBridge& bridge, const float* input, unsigned long frameCount) {
  BridgeParts& b = *bridge.parts;
  const float silence[kFramesPerBuffer] = {};
  for (unsigned long done = 0; done < frameCount;) {
    const unsigned long count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    const std::size_t taken = b.input.push(input != nullptr ? input + done : silence, count);
    if (taken < count) add(b.inputLost, count - taken);
    done += count;
  }
}

void bridgePlayback(RateBridge& bridge, float* output, unsigned long frameCount) {
  BridgeParts& b = *bridge.parts;
  const std::size_t got = b.output.pop(output, frameCount);
  if (got == frameCount) return;
  std::fill(output + got, output + frameCount, 0.0f);
  add(b.outputShort, frameCount - got);
  add(b.shortCalls, 1);
}

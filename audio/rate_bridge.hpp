#pragma once
// Devices that run at their own rate (WASAPI in shared mode mixes at 48000 Hz on most
// machines) while everything else runs at 44100 Hz. The device callbacks only pass samples
// through two fixed rings; a helper thread converts them with libsoxr, which may allocate and
// lock while it works, and serves the relay's capture and playback ends at 44100 Hz.

#include <memory>
#include <string>

#include "core/constants.hpp"

// Each side's device rate; a side at kSampleRate passes through unconverted.
struct BridgeRates {
  double input = kSampleRate;
  double output = kSampleRate;
};

// The 44100 Hz ends the helper thread serves, each handed `user`: the relay's in the program
// (output_relay.hpp).
struct BridgeEnds {
  void* user;
  void (*capture)(void* user, const float* input, unsigned long frameCount);
  void (*playback)(void* user, float* output, unsigned long frameCount);
};

// Device frames kept waiting for the playback callback: a callback buffer and room for the
// helper's wake-ups and libsoxr's bursts. Each playback call that finds too few raises it by a
// buffer, up to kBridgeMostOutputFrames: a busy machine that starves the helper buys itself the
// latency it needs, and an idle one keeps the least.
inline constexpr unsigned long kBridgeOutputFrames = 2 * kFramesPerBuffer;
inline constexpr unsigned long kBridgeMostOutputFrames = 8 * kFramesPerBuffer;
// A device whose host buffer is deeper asks for all of it in one burst of callbacks after any
// hiccup (Wine's WASAPI: 86 ms), so the least kept waiting is that buffer and one more.
inline constexpr unsigned long kBridgeDeepestOutputFrames = 8192;
inline constexpr double kBridgePollMs = 1.0;  // the helper thread's sleep between rounds

struct BridgeCounts {
  unsigned long long inputLost = 0;   // device input frames that found the capture ring full
  unsigned long long outputShort = 0; // device output frames played as silence: the helper was late
  unsigned long long shortCalls = 0;  // playback calls with any such frames
};

// The converters, rings and helper thread while the bridge is open; made and freed by the main
// thread while no stream runs. Held in the callbacks' shared state (audio_shared.hpp).
struct BridgeParts;
struct RateBridge {
  RateBridge();
  ~RateBridge();
  std::unique_ptr<BridgeParts> parts;
};

// Main thread, while no stream runs: converters and rings made ready, the output ring primed with
// kBridgeOutputFrames of silence. False with a one-line reason when libsoxr refuses a rate.
bool openRateBridge(RateBridge& bridge, const BridgeRates& rates, const BridgeEnds& ends, std::string& reason);
// Main thread, before the helper starts: the device's host buffer in device frames, which the
// output kept waiting then covers (at most kBridgeDeepestOutputFrames).
void setBridgeDeviceBuffer(RateBridge& bridge, unsigned long frames);
// Main thread: the helper thread, which runs `onStart` first (its priority) and then pumps every
// kBridgePollMs until closed.
void startRateBridge(RateBridge& bridge, void (*onStart)());
// Helper thread (or a test in its place): converts the input waiting and tops the output up.
void pumpRateBridge(RateBridge& bridge);
// Main thread, after the streams stopped: the helper joined, the converters freed.
void closeRateBridge(RateBridge& bridge);
BridgeCounts rateBridgeCounts(const RateBridge& bridge);

// Capture callback: queues the device's input; any frame count.
void bridgeCapture(RateBridge& bridge, const float* input, unsigned long frameCount);
// Playback callback: writes every one of the frameCount samples.
void bridgePlayback(RateBridge& bridge, float* output, unsigned long frameCount);

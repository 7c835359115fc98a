#include "audio/output_relay.hpp"

#include <algorithm>

#include "audio/audio_callback.hpp"
#include "audio/sample_ring.hpp"

namespace {

constexpr std::size_t kRingFrames = 8192;  // above the backlog plus a capture burst
static_assert(kRingFrames >= kRelayBacklogFrames + 2 * kFramesPerBuffer);

SampleRing<kRingFrames> composedOutput;
float composed[kFramesPerBuffer];  // capture thread only

}  // namespace

void resetOutputRelay() { composedOutput.clear(); }

void relayCapture(const float* input, unsigned long frameCount) {
  for (unsigned long done = 0; done < frameCount;) {
    const unsigned long count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    audioCallback(input != nullptr ? input + done : nullptr, composed, count);
    composedOutput.push(composed, count);
    done += count;
  }
}

void relayPlayback(float* output, unsigned long frameCount) {
  composedOutput.dropAllBut(kRelayBacklogFrames + frameCount);
  const std::size_t played = composedOutput.pop(output, frameCount);
  std::fill(output + played, output + frameCount, 0.0f);
}

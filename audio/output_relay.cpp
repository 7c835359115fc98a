#include "audio/output_relay.hpp"

#include <algorithm>
#include <atomic>

#include "audio/audio_callback.hpp"
#include "audio/sample_ring.hpp"

namespace {

constexpr std::size_t kRingFrames = 16384;  // above the high mark plus a capture burst
static_assert(kRingFrames >= kRelayHighFrames + 4 * kFramesPerBuffer);

SampleRing<kRingFrames> composedOutput;
float composed[kFramesPerBuffer];  // capture thread only
bool priming = true;               // playback thread only: waiting for the cushion

// Written by one side each, read by the report.
std::atomic<unsigned long long> captured{0}, played{0}, silent{0}, gaps{0}, dropped{0};
constexpr auto kRelaxed = std::memory_order_relaxed;
std::array<std::atomic<unsigned long long>, kFillWindows> leastFill;  // written by the playback side

// Playback thread: what waited for a call that plays from the ring.
void noteFill(std::size_t waiting) {
  const std::size_t window = std::min<std::size_t>(played.load(kRelaxed) / kFillWindowFrames, kFillWindows - 1);
  if (waiting < leastFill[window].load(kRelaxed)) leastFill[window].store(waiting, kRelaxed);
}

void add(std::atomic<unsigned long long>& counter, unsigned long long frames) {
  counter.store(counter.load(kRelaxed) + frames, kRelaxed);
}

}  // namespace

void resetOutputRelay() {
  composedOutput.clear();
  priming = true;
  for (auto* counter : {&captured, &played, &silent, &gaps, &dropped}) counter->store(0, kRelaxed);
  for (auto& least : leastFill) least.store(kNoFill, kRelaxed);
}

RelayCounts outputRelayCounts() {
  RelayCounts counts{captured.load(kRelaxed), played.load(kRelaxed), silent.load(kRelaxed), gaps.load(kRelaxed),
                     dropped.load(kRelaxed), {}};
  for (std::size_t i = 0; i < kFillWindows; ++i) counts.leastFill[i] = leastFill[i].load(kRelaxed);
  return counts;
}

void relayCapture(const float* input, unsigned long frameCount) {
  for (unsigned long done = 0; done < frameCount;) {
    const unsigned long count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    audioCallback(input != nullptr ? input + done : nullptr, composed, count);
    add(dropped, count - composedOutput.push(composed, count));
    add(captured, count);
    done += count;
  }
}

void relayPlayback(float* output, unsigned long frameCount) {
  std::size_t waiting = composedOutput.waiting();
  if (waiting > kRelayHighFrames + frameCount) {
    add(dropped, composedOutput.dropAllBut(kRelayCushionFrames + frameCount));
    waiting = kRelayCushionFrames + frameCount;
  }
  if (priming && waiting >= kRelayCushionFrames) priming = false;
  if (!priming) noteFill(waiting);
  const std::size_t taken = priming ? 0 : composedOutput.pop(output, frameCount);
  std::fill(output + taken, output + frameCount, 0.0f);
  add(played, frameCount);
  if (taken < frameCount) {
    add(silent, frameCount - taken);
    if (!priming) add(gaps, 1);
    priming = true;
  }
}

#include "audio/output_relay.hpp"

#include <algorithm>
#include <atomic>

#include "audio/audio_callback.hpp"
#include "audio/playback.hpp"
#include "audio/sample_ring.hpp"
#include "audio/tone.hpp"

namespace {

constexpr std::size_t kRingFrames = 16384;  // above the high mark plus a capture burst
static_assert(kRingFrames >= kRelayHighFrames + 4 * kFramesPerBuffer);
// Room for the late output of the longest carry to come back in one burst, to be dropped.
static_assert(kRingFrames >= kRelayCarryFrames + kRelayHighFrames);

// Where the tone stood after a composed buffer: `at` counts every sample ever queued
// in the ring before that point.
struct ToneMark {
  std::size_t at = 0;
  ToneVoice voice;
  bool alone = false;  // the tone is all that sounds: no recorded playback
};
constexpr std::size_t kMarks = 64;  // more buffers than the sample ring holds

SampleRing<kRingFrames> composedOutput;
SampleRing<kMarks, ToneMark> toneMarks;
float composed[kFramesPerBuffer];  // capture thread only
std::size_t queued = 0;            // capture thread only: samples ever queued

// Playback thread only.
bool priming = true;      // waiting for the cushion
std::size_t taken = 0;    // samples ever taken off the ring, played or dropped
ToneMark latest;          // the newest mark at or before `taken`
ToneMark next;            // a mark read ahead of `taken`, while `nextRead`
bool nextRead = false;
ToneVoice carrying;       // the tone carried on, while `owed` > 0
std::size_t owed = 0;     // samples played ahead of the ring, to drop as they come
bool carriedOut = false;  // the carry ran past kRelayCarryFrames into silence
std::size_t fading = 0;   // samples left of the fade from the carried tone to the composed output

// Written by one side each, read by the report.
std::atomic<unsigned long long> captured{0}, played{0}, silent{0}, gaps{0}, dropped{0}, carried{0}, carries{0};
constexpr auto kRelaxed = std::memory_order_relaxed;
std::array<std::atomic<unsigned long long>, kFillWindows> leastFill;  // written by the playback side

void add(std::atomic<unsigned long long>& counter, unsigned long long frames) {
  counter.store(counter.load(kRelaxed) + frames, kRelaxed);
}

// Playback thread: what waited for a call that plays from the ring.
void noteFill(std::size_t waiting) {
  const std::size_t window = std::min<std::size_t>(played.load(kRelaxed) / kFillWindowFrames, kFillWindows - 1);
  if (waiting < leastFill[window].load(kRelaxed)) leastFill[window].store(waiting, kRelaxed);
}

// Capture thread: one buffer's output, its mark first so that the playback side
// never finds the samples without it. A buffer that does not fit whole gets no mark.
void queue(const float* samples, std::size_t count) {
  if (kRingFrames - composedOutput.waiting() >= count) {
    const ToneMark mark{queued + count, toneVoice(), playbackIdle()};
    toneMarks.push(&mark, 1);
  }
  const std::size_t pushed = composedOutput.push(samples, count);
  queued += pushed;
  add(dropped, count - pushed);
}

// Playback thread: `latest` becomes the newest mark at or before `taken`.
void readMarks() {
  for (;;) {
    if (!nextRead && toneMarks.pop(&next, 1) == 0) return;
    nextRead = true;
    if (next.at > taken) return;
    latest = next;
    nextRead = false;
  }
}

std::size_t take(float* output, std::size_t count) {
  const std::size_t got = composedOutput.pop(output, count);
  taken += got;
  return got;
}

// Playback thread: composed samples already played as the carried tone go unplayed.
bool sameVoice(const ToneVoice& a, const ToneVoice& b) {
  return a.phase == b.phase && a.note == b.note && a.level == b.level && a.lastOut == b.lastOut;
}

// Playback thread: composed samples already played as the carried tone go unplayed. Once
// caught up, the composed output goes on from there; where the request changed during the
// carry (the button let go, another key), it differs from the carried tone, and a short
// fade joins the two.
void settleOwed() {
  if (owed == 0) return;
  const std::size_t gone = composedOutput.drop(owed);
  taken += gone;
  owed -= gone;
  if (owed > 0) return;
  readMarks();
  if (carriedOut || latest.at != taken || !sameVoice(latest.voice, carrying)) fading = kRelayFadeFrames;
}

// Playback thread: the composed samples in `output` faded in over what the carry would have
// gone on with (silence when it had run out).
void fadeIn(float* output, std::size_t count) {
  static float ours[kFramesPerBuffer];  // playback thread only
  for (std::size_t done = 0; done < count && fading > 0;) {
    const std::size_t n = std::min({count - done, fading, static_cast<std::size_t>(kFramesPerBuffer)});
    if (carriedOut)
      std::fill(ours, ours + n, 0.0f);
    else
      composeToneFrom(carrying, ours, n);
    const std::size_t faded = kRelayFadeFrames - fading;
    for (std::size_t k = 0; k < n; ++k) {
      const float weight = static_cast<float>(faded + k + 1) / static_cast<float>(kRelayFadeFrames + 1);
      output[done + k] = weight * output[done + k] + (1.0f - weight) * ours[k];
    }
    fading -= n;
    done += n;
  }
}

// Playback thread, the ring run dry after `taken`: whether the tone can be carried on
// from there. A mark short of `taken` (buffers of other sizes) is brought up to it.
bool startCarrying() {
  const std::size_t behind = taken - latest.at;
  if (latest.at > taken || behind > kFramesPerBuffer || !latest.alone || latest.voice.note == kToneSilent)
    return false;
  carrying = latest.voice;
  fading = 0;
  carriedOut = false;
  static float skipped[kFramesPerBuffer];  // playback thread only
  composeToneFrom(carrying, skipped, behind);
  add(carries, 1);
  return true;
}

// Playback thread: the tone carried on into `output`; how many samples it wrote. Carried
// as far as it goes, the rest is a gap as any other: silence until the late output has
// come, the carried part of it dropped, and a fresh cushion.
std::size_t carryOn(float* output, std::size_t count) {
  const std::size_t carry = std::min(count, kRelayCarryFrames - owed);
  composeToneFrom(carrying, output, carry);
  std::fill(output + carry, output + count, 0.0f);
  owed += carry;
  add(carried, carry);
  if (carry < count) {
    add(gaps, 1);
    priming = true;
    carriedOut = true;
  }
  return carry;
}

}  // namespace

void resetOutputRelay() {
  composedOutput.clear();
  toneMarks.clear();
  queued = 0;
  priming = true;
  taken = 0;
  latest = ToneMark{};
  nextRead = false;
  owed = 0;
  carriedOut = false;
  fading = 0;
  for (auto* counter : {&captured, &played, &silent, &gaps, &dropped, &carried, &carries})
    counter->store(0, kRelaxed);
  for (auto& least : leastFill) least.store(kNoFill, kRelaxed);
}

RelayCounts outputRelayCounts() {
  RelayCounts counts{captured.load(kRelaxed), played.load(kRelaxed), silent.load(kRelaxed), gaps.load(kRelaxed),
                     dropped.load(kRelaxed),  carried.load(kRelaxed), carries.load(kRelaxed), {}};
  for (std::size_t i = 0; i < kFillWindows; ++i) counts.leastFill[i] = leastFill[i].load(kRelaxed);
  return counts;
}

void relayCapture(const float* input, unsigned long frameCount) {
  for (unsigned long done = 0; done < frameCount;) {
    const unsigned long count = std::min<unsigned long>(frameCount - done, kFramesPerBuffer);
    audioCallback(input != nullptr ? input + done : nullptr, composed, count);
    queue(composed, count);
    add(captured, count);
    done += count;
  }
}

void relayPlayback(float* output, unsigned long frameCount) {
  settleOwed();
  std::size_t waiting = composedOutput.waiting();
  if (waiting > kRelayHighFrames + frameCount) {
    const std::size_t gone = composedOutput.dropAllBut(kRelayCushionFrames + frameCount);
    taken += gone;
    add(dropped, gone);
    waiting = kRelayCushionFrames + frameCount;
  }
  if (priming && owed == 0 && waiting >= kRelayCushionFrames) priming = false;
  if (!priming) noteFill(waiting);
  const std::size_t got = priming || owed > 0 ? 0 : take(output, frameCount);
  if (fading > 0) fadeIn(output, got);
  readMarks();  // every call, so the marks never pile up
  add(played, frameCount);
  if (got == frameCount) return;
  // Dry: the tone carried on where it sounds alone, else silence and a fresh cushion.
  std::size_t quiet = frameCount - got;
  if (!priming && (owed > 0 || startCarrying())) {
    quiet -= carryOn(output + got, frameCount - got);
  } else {
    std::fill(output + got, output + frameCount, 0.0f);
    if (!priming) add(gaps, 1);
    priming = true;
  }
  add(silent, quiet);
}

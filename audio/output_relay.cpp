#include "audio/output_relay.hpp"

#include <algorithm>

#include "core/tuner_state.hpp"
#include "audio/playback.hpp"

namespace {

static_assert(kRelayRingFrames >= kRelayHighFrames + 4 * kFramesPerBuffer);
// Room for the late output of the longest carry to come back in one burst, to be dropped.
static_assert(kRelayRingFrames >= kRelayCarryFrames + kRelayHighFrames);

constexpr auto kRelaxed = std::memory_order_relaxed;

void add(std::atomic<unsigned long long>& counter, unsigned long long frames) {
  counter.store(counter.load(kRelaxed) + frames, kRelaxed);
}

// Playback thread: what waited for a call that plays from the ring.
void noteFill(OutputRelay& relay, std::size_t waiting) {
  const std::size_t window = std::min<std::size_t>(relay.played.load(kRelaxed) / kFillWindowFrames, kFillWindows - 1);
  if (waiting < relay.leastFill[window].load(kRelaxed)) relay.leastFill[window].store(waiting, kRelaxed);
}

// Capture thread: one buffer's output, its mark first so that the playback side
// never finds the samples without it. A buffer that does not fit whole gets no mark.
void queue(OutputRelay& relay, const TunerState& record, const float* samples, std::size_t count) {
  if (kRelayRingFrames - relay.composedOutput.waiting() >= count) {
    const ToneMark mark{relay.queued + count, toneVoice(record.tone), playbackIdle(record.playback, record.history)};
    relay.toneMarks.push(&mark, 1);
  }
  const std::size_t pushed = relay.composedOutput.push(samples, count);
  relay.queued += pushed;
  add(relay.dropped, count - pushed);
}

// Playback thread: `latest` becomes the newest mark at or before `taken`.
void readMarks(OutputRelay& relay) {
  for (;;) {
    if (!relay.nextRead && relay.toneMarks.pop(&relay.next, 1) == 0) return;
    relay.nextRead = true;
    if (relay.next.at > relay.taken) return;
    relay.latest = relay.next;
    relay.nextRead = false;
  }
}

std::size_t take(OutputRelay& relay, float* output, std::size_t count) {
  const std::size_t got = relay.composedOutput.pop(output, count);
  relay.taken += got;
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
void settleOwed(OutputRelay& relay) {
  if (relay.owed == 0) return;
  const std::size_t gone = relay.composedOutput.drop(relay.owed);
  relay.taken += gone;
  relay.owed -= gone;
  if (relay.owed > 0) return;
  readMarks(relay);
  if (relay.carriedOut || relay.latest.at != relay.taken || !sameVoice(relay.latest.voice, relay.carrying))
    relay.fading = kRelayFadeFrames;
}

// Playback thread: the composed samples in `output` faded in over what the carry would have
// gone on with (silence when it had run out).
void fadeIn(OutputRelay& relay, const TunerState& record, float* output, std::size_t count) {
  float* ours = relay.ours;
  for (std::size_t done = 0; done < count && relay.fading > 0;) {
    const std::size_t n = std::min({count - done, relay.fading, static_cast<std::size_t>(kFramesPerBuffer)});
    if (relay.carriedOut)
      std::fill(ours, ours + n, 0.0f);
    else
      composeToneFrom(record, relay.carrying, ours, n);
    const std::size_t faded = kRelayFadeFrames - relay.fading;
    for (std::size_t k = 0; k < n; ++k) {
      const float weight = static_cast<float>(faded + k + 1) / static_cast<float>(kRelayFadeFrames + 1);
      output[done + k] = weight * output[done + k] + (1.0f - weight) * ours[k];
    }
    relay.fading -= n;
    done += n;
  }
}

// Playback thread, the ring run dry after `taken`: whether the tone can be carried on
// from there. A mark short of `taken` (buffers of other sizes) is brought up to it.
bool startCarrying(OutputRelay& relay, const TunerState& record) {
  const std::size_t behind = relay.taken - relay.latest.at;
  if (relay.latest.at > relay.taken || behind > kFramesPerBuffer || !relay.latest.alone ||
      relay.latest.voice.note == kToneSilent)
    return false;
  relay.carrying = relay.latest.voice;
  relay.fading = 0;
  relay.carriedOut = false;
  composeToneFrom(record, relay.carrying, relay.skipped, behind);
  add(relay.carries, 1);
  return true;
}

// Playback thread: the tone carried on into `output`; how many samples it wrote. Carried
// as far as it goes, the rest is a gap as any other: silence until the late output has
// come, the carried part of it dropped, and a fresh cushion.
std::size_t carryOn(OutputRelay& relay, const TunerState& record, float* output, std::size_t count) {
  const std::size_t carry = std::min(count, kRelayCarryFrames - relay.owed);
  composeToneFrom(record, relay.carrying, output, carry);
  std::fill(output + carry, output + count, 0.0f);
  relay.owed += carry;
  add(relay.carried, carry);
  if (carry < count) {
    add(relay.gaps, 1);
    relay.priming = true;
    relay.carriedOut = true;
  }
  return carry;
}

}  // namespace

void resetOutputRelay(OutputRelay& relay) {
  relay.composedOutput.clear();
  relay.toneMarks.clear();
  relay.queued = 0;
  relay.priming = true;
  relay.taken = 0;
  relay.latest = ToneMark{};
  relay.nextRead = false;
  relay.owed = 0;
  relay.carriedOut = false;
  relay.fading = 0;
  for (auto* counter : {&relay.captured, &relay.played, &relay.silent, &relay.gaps, &relay.dropped, &relay.carried,
                        &relay.carries})
    counter->store(0, kRelaxed);
  for (auto& least : relay.leastFill) least.store(kNoFill, kRelaxed);
}

RelayCounts outputRelayCounts(const OutputRelay& relay) {
  RelayCounts counts{relay.captured.load(kRelaxed), relay.played.load(kRelaxed),  relay.silent.load(kRelaxed),
                     relay.gaps.load(kRelaxed),     relay.dropped.load(kRelaxed), relay.carried.load(kRelaxed),
                     relay.carries.load(kRelaxed),  {}};
  for (std::size_t i = 0; i < kFillWindows; ++i) counts.leastFill[i] = relay.leastFill[i].load(kRelaxed);
  return counts;
}

void queueComposed(OutputRelay& relay, const TunerState& record, const float* samples, std::size_t count) {
  queue(relay, record, samples, count);
  add(relay.captured, count);
}

void relayPlayback(OutputRelay& relay, const TunerState& record, float* output, unsigned long frameCount) {
  settleOwed(relay);
  std::size_t waiting = relay.composedOutput.waiting();
  if (waiting > kRelayHighFrames + frameCount) {
    const std::size_t gone = relay.composedOutput.dropAllBut(kRelayCushionFrames + frameCount);
    relay.taken += gone;
    add(relay.dropped, gone);
    waiting = kRelayCushionFrames + frameCount;
  }
  if (relay.priming && relay.owed == 0 && waiting >= kRelayCushionFrames) relay.priming = false;
  if (!relay.priming) noteFill(relay, waiting);
  const std::size_t got = relay.priming || relay.owed > 0 ? 0 : take(relay, output, frameCount);
  if (relay.fading > 0) fadeIn(relay, record, output, got);
  readMarks(relay);  // every call, so the marks never pile up
  add(relay.played, frameCount);
  if (got == frameCount) return;
  // Dry: the tone carried on where it sounds alone, else silence and a fresh cushion.
  std::size_t quiet = frameCount - got;
  if (!relay.priming && (relay.owed > 0 || startCarrying(relay, record))) {
    quiet -= carryOn(relay, record, output + got, frameCount - got);
  } else {
    std::fill(output + got, output + frameCount, 0.0f);
    if (!relay.priming) add(relay.gaps, 1);
    relay.priming = true;
  }
  add(relay.silent, quiet);
}

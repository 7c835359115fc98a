#include "analysis/attack_frames.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// An onset's frame has at least this many times the RMS of the frame two before (+1.5 dB).
constexpr double kOnsetRise = 1.1885022274370185;
constexpr double kOnsetShareOfLargest = 0.5;  // the attack is the first rise of this share of the largest
// A frame this many times quieter than the one two after it (-24 dB) is silence before an attack.
constexpr double kSilenceBelow = 16.0;
// The onset sample is where the sound first passes the peak before it by this share of its rise.
constexpr double kOnsetShare = 0.25;
constexpr int kFramesPerBlock = kBlockSize / kOnsetFrame;
// A rise is sought first from here, over this block and the one before: a frame's rise reaches two frames back.
constexpr int kRecentFrames = kOnsetFrames - 2 * kFramesPerBlock + 2;
// An attack is sought between windows up to this many frames long (a period of A1 is 6.3 frames),
// which reach back into the oldest block.
constexpr int kLongestAttackWindow = (kRecentFrames - 1) / 2;

// The rise in RMS over two frames ending with frame `g` (a step inside a frame spreads its rise
// over that frame and the next); zero unless it is steep enough for an onset.
double riseAt(const AttackFrames& frames, int g) {
  return frames.rms[g] >= kOnsetRise * frames.rms[g - 2] ? frames.rms[g] - frames.rms[g - 2] : 0.0;
}

double largestRise(const AttackFrames& frames, int from, int to) {
  double largest = 0.0;
  for (int g = from; g < to; ++g) largest = std::max(largest, riseAt(frames, g));
  return largest;
}

// The first frame from `from` to `to` ending a rise of at least half the largest there: notes
// sounding together beat, and their beats rise after the attack that started them. -1 when
// nothing rose.
int risingFrame(const AttackFrames& frames, int from, int to) {
  const double largest = largestRise(frames, from, to);
  if (!(largest > 0.0)) return -1;
  int g = from;
  while (riseAt(frames, g) < kOnsetShareOfLargest * largest) ++g;
  while (g + 1 < to && riseAt(frames, g + 1) > riseAt(frames, g)) ++g;  // the top of that rise
  return g;
}

double peakOf(const float* samples) {
  double peak = 0.0;
  for (int i = 0; i < kOnsetFrame; ++i) peak = std::max(peak, static_cast<double>(std::fabs(samples[i])));
  return peak;
}

// The onset of the attack rising to frame `rising`: in that frame or the one before it, the first
// sample that passes the peak of the frame before both by a share of the rise.
long long onsetAt(const AttackFrames& frames, int rising, long long firstSample) {
  const long long recentStart = firstSample + kBlockSize - static_cast<long long>(kOnsetFrames) * kOnsetFrame;
  const float* frame = frames.recent + rising * kOnsetFrame;
  const double before = peakOf(frame - 2 * kOnsetFrame);  // the rising frame is the third or later
  const double threshold = before + kOnsetShare * (peakOf(frame) - before);
  for (int i = (rising - 1) * kOnsetFrame; i < (rising + 1) * kOnsetFrame; ++i)
    if (std::fabs(frames.recent[i]) > threshold) return recentStart + i;
  return recentStart + static_cast<long long>(rising) * kOnsetFrame;
}

// The last frame from `from` to `to` whose sound rose out of silence (the frame two before it
// far quieter), -1 when none did: an attack, whatever the waveform of a low note does after it.
int riseFromSilence(const AttackFrames& frames, int from, int to) {
  for (int g = to - 1; g >= from; --g)
    if (frames.rms[g] > 0.0 && frames.rms[g - 2] * kSilenceBelow <= frames.rms[g]) return g;
  return -1;
}

}  // namespace

void forgetFrames(AttackFrames& frames) {
  for (double& rms : frames.rms) rms = 0.0;
  for (double& rms : frames.edgeRms) rms = 0.0;
  for (float& sample : frames.recent) sample = 0.0f;
}

void addFrames(AttackFrames& frames, const float* block) {
  constexpr int kKeptSamples = (kOnsetFrames - kFramesPerBlock) * kOnsetFrame;
  constexpr int kKeptFrames = kOnsetFrames - kFramesPerBlock;
  double previous = frames.recent[kOnsetFrames * kOnsetFrame - 1];
  std::memmove(frames.recent, frames.recent + kBlockSize, sizeof(float) * kKeptSamples);
  std::memcpy(frames.recent + kKeptSamples, block, sizeof(float) * kBlockSize);
  std::memmove(frames.rms, frames.rms + kFramesPerBlock, sizeof(double) * kKeptFrames);
  std::memmove(frames.edgeRms, frames.edgeRms + kFramesPerBlock, sizeof(double) * kKeptFrames);
  for (int f = 0; f < kFramesPerBlock; ++f) {
    double sum = 0.0, edges = 0.0;
    for (int i = f * kOnsetFrame; i < (f + 1) * kOnsetFrame; ++i) {
      sum += static_cast<double>(block[i]) * block[i];
      const double step = block[i] - previous;
      edges += step * step;
      previous = block[i];
    }
    frames.rms[kKeptFrames + f] = std::sqrt(sum / kOnsetFrame);
    frames.edgeRms[kKeptFrames + f] = std::sqrt(edges / kOnsetFrame);
  }
}

Onsets findOnsets(const AttackFrames& frames, long long firstSample) {
  const int rising = risingFrame(frames, kRecentFrames, kOnsetFrames);
  Onsets onsets{rising < 0 ? firstSample : onsetAt(frames, rising, firstSample), 0};
  onsets.early = onsets.recent;
  const int fromSilence = riseFromSilence(frames, 2, kRecentFrames);
  if (fromSilence >= 0 && riseFromSilence(frames, kRecentFrames, kOnsetFrames) < 0)
    onsets.early = onsetAt(frames, fromSilence, firstSample);
  else if (largestRise(frames, 2, kRecentFrames) > largestRise(frames, kRecentFrames, kOnsetFrames))
    onsets.early = onsetAt(frames, risingFrame(frames, 2, kRecentFrames), firstSample);
  return onsets;
}

double steepestRise(const AttackFrames& frames, int window) {
  const double* rms = frames.edgeRms;
  double steepest = 0.0;
  for (int g = kRecentFrames; g < kOnsetFrames; ++g) {
    double now = 0.0, before = 0.0;
    for (int k = 0; k < window; ++k) {
      now += rms[g - k] * rms[g - k];
      before += rms[g - window - 1 - k] * rms[g - window - 1 - k];
    }
    if (before > 0.0) steepest = std::max(steepest, std::sqrt(now / before));
  }
  return steepest;
}

int framesInPeriod(double hz) {
  const int frames = static_cast<int>(std::ceil(kSampleRate / hz / kOnsetFrame));
  return std::clamp(frames, 1, kLongestAttackWindow);
}


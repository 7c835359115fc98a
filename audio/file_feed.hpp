#pragma once
// A sound file in place of the input device. A reader thread fills a lock-free
// ring ahead of the audio thread; the audio thread takes one sample per frame,
// captures it as it would a microphone's and starts the output from it, so the
// user hears the file under the tone, playback and volume.
//
// While the view is frozen the file waits: nothing is taken or captured, the
// output is the tone and playback alone. An empty ring before the end of the
// file is an underrun and plays as silence; after the end every frame is silence.

#include <atomic>
#include <cstddef>

#include "core/constants.hpp"
#include "audio/sample_ring.hpp"

inline constexpr std::size_t kFeedRingFrames = std::size_t{1} << 16;  // 1.5 s ahead at 44100 Hz

struct FeedCounts {
  unsigned long long fed = 0;       // file samples captured
  unsigned long long underrun = 0;  // frames of silence while the file had not ended
  unsigned long long paused = 0;    // frames composed while frozen
};

struct FileFeed {
  SampleRing<kFeedRingFrames> ahead;
  std::atomic<bool> ended{false};
  float frames[kFramesPerBuffer] = {};  // audio thread only
  // Written by the audio thread only.
  std::atomic<unsigned long long> fed{0}, underrun{0}, paused{0};
};

// Only while neither side runs: an empty ring, the file not ended, counts zero.
void resetFileFeed(FileFeed& feed);
// Reader thread: room left in the ring.
std::size_t fileFeedRoom(const FileFeed& feed);
// Reader thread: appends samples; returns how many fitted.
std::size_t pushFileSamples(FileFeed& feed, const float* samples, std::size_t count);
// Reader thread, after its last push: every later empty frame is the end, not an underrun.
void markFileEnded(FileFeed& feed);
// Audio thread: the next `count` frames of the file (at most kFramesPerBuffer) in `feed.frames`,
// silence where the ring ran short; counted as fed or underrun.
const float* takeFileFrames(FileFeed& feed, unsigned long count);
// Audio thread: `count` frames composed while frozen, the file waiting.
void notePausedFrames(FileFeed& feed, unsigned long count);
// Either thread: a snapshot.
FeedCounts fileFeedCounts(const FileFeed& feed);
// Either thread: the file has ended and every sample of it was taken.
bool fileFeedDone(const FileFeed& feed);
// Either thread: the reader has pushed its last samples (some may still wait in the ring).
bool fileFeedEnded(const FileFeed& feed);

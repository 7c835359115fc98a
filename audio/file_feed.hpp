#pragma once
// A sound file in place of the input device. A reader thread fills a lock-free
// ring ahead of the audio thread; the audio thread takes one sample per frame,
// captures it as it would a microphone's and starts the output from it, so the
// user hears the file under the tone, playback and volume.
//
// While the view is frozen the file waits: nothing is taken or captured, the
// output is the tone and playback alone. An empty ring before the end of the
// file is an underrun and plays as silence; after the end every frame is silence.

#include <cstddef>

inline constexpr std::size_t kFeedRingFrames = std::size_t{1} << 16;  // 1.5 s ahead at 44100 Hz

struct FeedCounts {
  unsigned long long fed = 0;       // file samples captured
  unsigned long long underrun = 0;  // frames of silence while the file had not ended
  unsigned long long paused = 0;    // frames composed while frozen
};

// Only while neither side runs: an empty ring, the file not ended, counts zero.
void resetFileFeed();
// Reader thread: room left in the ring.
std::size_t fileFeedRoom();
// Reader thread: appends samples; returns how many fitted.
std::size_t pushFileSamples(const float* samples, std::size_t count);
// Reader thread, after its last push: every later empty frame is the end, not an underrun.
void markFileEnded();
// Audio thread: `frameCount` frames of the file through the callback; a null output is not written.
void feedFromFile(float* output, unsigned long frameCount);
// Either thread: a snapshot.
FeedCounts fileFeedCounts();
// Either thread: the file has ended and every sample of it was taken.
bool fileFeedDone();
// Either thread: the reader has pushed its last samples (some may still wait in the ring).
bool fileFeedEnded();

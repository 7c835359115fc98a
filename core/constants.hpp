#pragma once
// Sizes and rates fixed for the whole program.

inline constexpr int kBlockSize = 2048;        // samples per analysis block (46.4 ms)
inline constexpr int kBlockCapacity = 8192;    // room in the capture and transform buffers
inline constexpr int kHistoryColumns = 200;    // blocks kept, about 9.3 s
inline constexpr int kNoteRows = 72;           // semitone rows, 55 Hz to 3322 Hz
inline constexpr int kNoteRowOffset = 12;      // row i is note table entry i + 12
inline constexpr int kNoteCount = 120;         // note table entries from 27.5 Hz
inline constexpr int kPitchClasses = 12;
inline constexpr double kStandardPitch = 440.0; // Hz, A4 of the note table as built
inline constexpr double kSampleRate = 44100.0; // Hz, both directions
// Far above full scale (1.0) yet small enough that no score, level or spectrum value can
// overflow at any gain; a sample beyond it, or NaN or infinite, is taken as silence.
inline constexpr float kLoudestInput = 1.0e6f;
inline constexpr int kFramesPerBuffer = 512;   // frames per audio callback (11.6 ms)
inline constexpr int kFftWorkAreaSize = 66;    // 2 + sqrt(4096), room up to 16384 doubles
inline constexpr int kFftTwiddleCapacity = kBlockCapacity / 4;
inline constexpr int kFrameSleepMs = 5;        // pause after a frame step while the picture may move
inline constexpr int kIdlePauseMs = 50;        // longest pause while nothing moves: the loop waits for work

inline constexpr int kPictureWidth = 640;
inline constexpr int kPictureHeight = 480;
inline constexpr int kMostWindowScale = 8;     // screen pixels per picture pixel, at most, each way

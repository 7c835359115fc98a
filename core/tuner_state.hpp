#pragma once
// The record of one run, in parts split where the threads split it: app/ creates one for each
// run and passes it, or the parts a function needs, down by reference; no folder below app/
// keeps one of its own. The core folder is the bottom layer: it includes nothing from any other
// folder.
//
// Fields both threads touch are atomics, used with relaxed order; the block handoff flag
// `handoff.spectrumReady` is stored with release by the audio thread and loaded with acquire by
// the frame step, so the finished `lastBlock` and `spectrum` are visible once the flag is seen.
// Every other field belongs to one thread. Arrays the audio thread publishes are arrays of
// atomics: each element is untorn, and a frame may read an array while the next block rewrites
// it, which costs nothing worse than a mix of two adjacent blocks.

#include <atomic>
#include <cstdint>

#include "core/analysis_state.hpp"
#include "core/bell.hpp"
#include "core/constants.hpp"
#include "core/detector_choice.hpp"
#include "core/note_naming.hpp"
#include "core/temperament_choice.hpp"
#include "core/theme_choice.hpp"

// What the player sets: written by the frame step; gain and volume are read by the callback.
struct Controls {
  std::atomic<float> inputGain{1.0f};
  float gainSlider = 1.0f;
  std::atomic<float> outputVolume{0.25f};
  int softDisplay = 0;
  // Automatic gain (key A): while on, the frame step sets `inputGain` and the slider from the input's level.
  bool autoGain = false;
  bool autoGainLatch = false;  // A was down at the previous frame step
  AutoGain autoGainState;
  // The detector that scores the rows (key D, --detector).
  Detector detector = Detector::Design;
  bool detectorLatch = false;  // D was down at the previous frame step
  // Semitones from the concert note to the note a transposing instrument's player reads
  // (--transpose, key T): only the names change, never a row, a score or a MIDI key.
  int transposition = 0;
  bool transposeLatch = false;  // T was down at the previous frame step
  NoteNaming naming;            // --names, --flats: how every note is named; rows and scores stay
  Theme theme = Theme::Design;  // --theme: the colours the picture and the roll are drawn in
};

// The audio thread's own working storage for the block it is filling and transforming.
struct CaptureWork {
  double block[kBlockCapacity] = {};
  int fill = 0;
  alignas(64) double transform[kBlockCapacity] = {};
  int fftWorkArea[kFftWorkAreaSize] = {};
  double fftTwiddles[kFftTwiddleCapacity] = {};
};

// What the callback publishes for each block (raw samples and magnitude spectrum), and what the
// frame step has taken of it.
struct BlockHandoff {
  std::atomic<float> lastBlock[kBlockCapacity];
  std::atomic<double> spectrum[kBlockSize];
  std::atomic<bool> spectrumReady{false};
  std::atomic<float> blockGain{1.0f};  // the factor the published block was analysed with
  std::atomic<std::uint32_t> blocksPublished{0};  // counts blocks, so a frame step can tell one was passed by
  std::uint32_t blocksTaken = 0;                  // the count of the last block scored: the main thread's
  Bell bell;  // rung by the callback as it publishes a block, for a frame loop that waits
};

// What the analysis keeps: the main thread's, but for the recorded samples that playback reads.
struct Histories {
  std::atomic<int> column{0};
  float scores[kHistoryColumns * kNoteRows] = {};
  std::atomic<float>* recordedSamples = nullptr;
  float noteLevel[kNoteRows] = {};
  NoteTrack noteTrack[kNoteRows] = {};
  PitchReading pitchReading;  // the precise detector's reading of the last scored block
};

// The frozen view and its playback, shared with the callback; the markers are the main thread's.
struct Playback {
  std::atomic<bool> frozen{false};
  std::atomic<bool> scrubbing{false};
  std::atomic<bool> autoPlay{false};
  std::atomic<int> column{0};
  std::atomic<int> sample{0};
  std::atomic<int> repeat{0};
  int markA = 0;
  int markB = 0;
  bool markersShown = false;
};

// The reference tone: the request comes from the frame step, the rest is the callback's.
struct ToneState {
  std::atomic<bool> held{false};
  std::atomic<int> key{0};
  std::atomic<double> phase{0.0};
  int note = -1;
  float level = 0.05f;
  float lastOut = 0.0f;
};

// The pointer as the last frame step saw it: main thread only.
struct PointerState {
  int x = 0;
  int y = 0;
  bool leftDown = false;
  bool rightDown = false;
  bool leftClicked = false;
};

// Filled before the stream starts, read-only afterwards.
struct NoteTable {
  double referencePitch = kStandardPitch;  // Hz of A4; the table is scaled by it / 440
  TemperamentChoice tuning;                // the table's temperament; A4 stays at referencePitch
  double frequency[kNoteCount] = {};
  int keyColour[kPitchClasses] = {};
};

// The frame loop's own flags: main thread only.
struct ShellFlags {
  bool keyLatch = false;
  bool clearPending = true;
  bool quitting = false;
};

struct TunerState {
  static constexpr int blockSize = kBlockSize;

  Controls controls;
  CaptureWork capture;
  BlockHandoff handoff;
  Histories history;
  Playback playback;
  ToneState tone;
  PointerState pointer;
  NoteTable notes;
  ShellFlags shell;
};

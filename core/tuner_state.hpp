#pragma once
// The record that the main thread and the audio thread share: app/ creates one for each
// run and passes it down by reference; no folder below app/ keeps one of its own. The core
// folder is the bottom layer: it includes nothing from any other folder.
//
// Fields both threads touch are atomics, used with relaxed order; the block
// handoff flag `spectrumReady` is stored with release by the audio thread and
// loaded with acquire by the frame step, so the finished `lastBlock` and
// `spectrum` are visible once the flag is seen. Every other field belongs to
// one thread. Arrays the audio thread publishes are arrays of atomics: each
// element is untorn, and a frame may read an array while the next block
// rewrites it, which costs nothing worse than a mix of two adjacent blocks.

#include <atomic>
#include <cstdint>

#include "core/analysis_state.hpp"
#include "core/bell.hpp"
#include "core/constants.hpp"
#include "core/detector_choice.hpp"
#include "core/note_naming.hpp"
#include "core/temperament_choice.hpp"
#include "core/theme_choice.hpp"

struct TunerState {
  static constexpr int blockSize = kBlockSize;

  // Controls: written by the frame step, gain and volume read by the callback.
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
  PitchReading pitchReading;   // the precise detector's reading of the last scored block
  // Semitones from the concert note to the note a transposing instrument's player reads
  // (--transpose, key T): only the names change, never a row, a score or a MIDI key.
  int transposition = 0;
  bool transposeLatch = false;  // T was down at the previous frame step
  NoteNaming naming;            // --names, --flats: how every note is named; rows and scores stay
  Theme theme = Theme::Design;  // --theme: the colours the picture and the roll are drawn in

  // Capture and transform: the audio thread's own working storage.
  double captureBlock[kBlockCapacity] = {};
  int captureFill = 0;
  alignas(64) double transformBuffer[kBlockCapacity] = {};
  int fftWorkArea[kFftWorkAreaSize] = {};
  double fftTwiddles[kFftTwiddleCapacity] = {};

  // Block handoff: raw block and magnitude spectrum published by the callback.
  std::atomic<float> lastBlock[kBlockCapacity];
  std::atomic<double> spectrum[kBlockSize];
  std::atomic<bool> spectrumReady{false};
  std::atomic<float> blockGain{1.0f};  // the factor the published block was analysed with
  std::atomic<std::uint32_t> blocksPublished{0};  // counts blocks, so a frame step can tell one was passed by
  std::uint32_t blocksTaken = 0;                  // the count of the last block scored: the main thread's
  Bell bell;  // rung by the callback as it publishes a block, for a frame loop that waits

  // Histories: scores are the main thread's; recorded samples are read by playback.
  std::atomic<int> historyColumn{0};
  float scoreHistory[kHistoryColumns * kNoteRows] = {};
  std::atomic<float>* recordedSamples = nullptr;
  float noteLevel[kNoteRows] = {};
  NoteTrack noteTrack[kNoteRows] = {};

  // View state and playback, shared with the callback.
  std::atomic<bool> frozen{false};
  std::atomic<bool> scrubbing{false};
  std::atomic<bool> autoPlay{false};
  std::atomic<int> playColumn{0};
  std::atomic<int> playSample{0};
  std::atomic<int> playRepeat{0};

  // Reference tone: the request comes from the frame step, the rest is the callback's.
  std::atomic<bool> toneHeld{false};
  std::atomic<int> toneKey{0};
  std::atomic<double> tonePhase{0.0};
  int toneNote = -1;
  float toneLevel = 0.05f;
  float toneLastOut = 0.0f;

  // Markers and pointer: main thread only.
  int markA = 0;
  int markB = 0;
  bool markersShown = false;
  int mouseX = 0;
  int mouseY = 0;
  bool leftDown = false;
  bool rightDown = false;
  bool leftClicked = false;

  // Note table: filled before the stream starts, read-only afterwards.
  double referencePitch = kStandardPitch;  // Hz of A4; the table is scaled by it / 440
  TemperamentChoice tuning;                // the table's temperament; A4 stays at referencePitch
  double noteFrequency[kNoteCount] = {};
  int keyColour[kPitchClasses] = {};

  // Shell.
  bool keyLatch = false;
  bool clearPending = true;
  bool quitting = false;
};

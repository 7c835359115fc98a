#pragma once
// Turns the precise detector's lit rows, block by block, into notes: note-on with its
// onset sample, velocity and cents, and note-off. Pure and causal: it reads only what it
// is given and its own state, allocates nothing, and decides a note one block after the
// block that first shows it (the block that confirms it is no blip). Events come as they are
// decided, which is not always in order of time: note_order.hpp puts them in order.

#include "analysis/attack_frames.hpp"
#include "core/analysis_state.hpp"
#include "core/constants.hpp"

inline constexpr int kMidiKeyOfRow0 = 33;  // row 0 is A1, MIDI key 33
// Rows above a note where its 1st to 16th harmonics fall, rounded as a piano's stretched partials round.
inline constexpr int kHarmonicRows[] = {0, 12, 19, 24, 28, 31, 34, 36, 38, 40, 42, 43, 44, 46, 47, 48};
inline constexpr int kLevelHarmonics = 4;  // a note's level is the power of its first four
// Samples: an event decided after the block at `firstSample` lies no earlier than this before it
// (a note shown again a block after the detector lost it keeps its first onset, two blocks before).
inline constexpr long long kLatestNoteDecision = (kOnsetBlocks + 1) * kBlockSize + kOnsetLeadFrames * kOnsetFrame;
// Events one call can give: an off and an on per row, and an end per row after a gap; with room to spare.
inline constexpr int kMostNoteEvents = 6 * kNoteRows;

struct NoteEvent {
  long long sample;  // input sample index of the onset or the end
  int row;           // 0 .. 71
  bool on;
  int velocity;      // 1 .. 127 on a note-on, 0 on a note-off
  double cents;      // from the row's tuned pitch, on a note-on
};

struct NoteEvents {
  NoteEvent events[kMostNoteEvents];  // each row's in order: its end before its next onset
  int count = 0;
};

struct NoteTrackerInput {
  const float* scores;          // the precise detector's 72 scores of this block
  const PitchReading* reading;  // its reading of this block
  const float* block;           // the block's kBlockSize raw samples, before any gain
  const double* rowFrequency;   // 72 tuned frequencies, row 0 first
  long long firstSample;        // input sample index of block[0]
  bool afterGap;                // the detector forgot its past: every note ends before this block
};

// Idle; Lit: shown by one block, to be confirmed by the next; Held: a note sounding; Dark: a
// note whose row the last block left unlit, ended unless the next block lights it again; Tail: a
// note released (its power fell steeply) whose row still rings, no note until struck again.
enum class RowPhase : unsigned char { Idle, Lit, Held, Dark, Tail };

struct RowNote {
  RowPhase phase = RowPhase::Idle;
  bool restruck = false;     // held, and the last block showed a new attack, to be confirmed by this one
  long long onset = 0;       // of the note held, or of the one still to be confirmed
  long long newOnset = 0;    // of the attack still to be confirmed on a held row
  long long end = 0;         // of the last note on the row, or where a dark note ends
  double litPower = 0.0;     // near the pitch, in the last block that lit a held note
  double peakPower = 0.0;    // near the pitch, the most since the held note's onset
  double level = 0.0;        // power of the partials when first shown
  double fullLevel = 0.0;    // the same as if the note had sounded through all that block: for a
                             // note-on sent before the next block confirms the note
  double cents = 0.0;
  bool centsRead = false;    // the reading named this row while it was still to be confirmed
  long long blipGone = -1;   // the first sample of the block that left a shown note unconfirmed
  bool falling = false;      // held, and the last block fell as a release does, to be confirmed by this one
  double fallFrom = 0.0;     // near the pitch, in the block before that fall
};

struct NoteTrackerState {
  double window[kBlockSize];  // periodic Hann
  alignas(64) double transform[2 * kBlockSize];
  int fftWorkArea[kFftWorkAreaSize];
  double fftTwiddles[kBlockSize / 2];
  double bandPower[kNoteRows];      // this block's power near each row's pitch
  double lastBandPower[kNoteRows];  // the block before's; zero after a gap
  double olderBandPower[kNoteRows]; // the block before that's; zero after a gap
  double heardPower[kNoteRows];     // the most while lit lately, fading; zero after a gap
  AttackFrames frames;              // silent after a gap
  RowNote rows[kNoteRows];
  long long endOfLast;  // the sample after the last block seen; -1 before the first
};

// The velocity of a note whose partials have `power` (a row's `level`), 1 .. 127.
int noteVelocity(double power);
// The order of events in time: an end before an onset at the same sample, then by row.
bool noteEventBefore(const NoteEvent& a, const NoteEvent& b);
// Before the first block.
void resetNoteTracker(NoteTrackerState& state);
// One block: `out` gets the events decided with it, each row's in order, and none earlier than
// `firstSample - kLatestNoteDecision` of the block before.
void trackNotes(const NoteTrackerInput& input, NoteTrackerState& state, NoteEvents& out);
// At the end of the input: every held note ends after the last block seen.
void finishNotes(NoteTrackerState& state, NoteEvents& out);

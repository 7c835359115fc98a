#pragma once
// The note tracker's events in order of time, for a file: an onset is decided up to two blocks
// after the sample it names, so each event waits until no later decision can come before it.

#include "analysis/note_tracker.hpp"

// The events of the last blocks still waiting: those of the blocks a decision may reach back over, and one more.
inline constexpr int kMostWaitingNoteEvents = (kOnsetBlocks + 1) * kMostNoteEvents;

struct NoteOrder {
  NoteEvent waiting[kMostWaitingNoteEvents];  // in order
  int count = 0;
};

// Adds the events the tracker decided with one block.
void holdNoteEvents(NoteOrder& order, const NoteEvents& decided);
// How many of the first waiting events are settled once the block at `firstSample` is tracked.
int settledNoteEvents(const NoteOrder& order, long long firstSample);
// The first `count` waiting events are taken.
void dropNoteEvents(NoteOrder& order, int count);

#pragma once
// The fixed scale: 120 semitones from 27.5 Hz, the key colour of each pitch class and the rows' names.

#include <string>

#include "analysis/transposition.hpp"
#include "core/constants.hpp"
#include "core/note_naming.hpp"
#include "core/tuner_state.hpp"

inline constexpr float kLowestNote = 27.5f;            // Hz, entry 0 (the A of the lowest octave)
inline constexpr float kSemitoneRatio = 1.0594631f;    // stored ratio, slightly above 2^(1/12)
inline constexpr int kWhiteKey = 0xFFFFFF;
inline constexpr int kBlackKey = 0x000000;
// The key colour of each pitch class counted from A: A, A#, B, C, C#, D, D#, E, F, F#, G, G#.
inline constexpr int kKeyColours[kPitchClasses] = {kWhiteKey, kBlackKey, kWhiteKey, kWhiteKey, kBlackKey, kWhiteKey,
                                                   kBlackKey, kWhiteKey, kWhiteKey, kBlackKey, kWhiteKey, kBlackKey};
inline constexpr double kLowestReferencePitch = 400.0;   // Hz, A4 the table can be tuned to
inline constexpr double kHighestReferencePitch = 480.0;

// Fills the table's `frequency` (scaled to its `referencePitch`, in the temperament of its
// `tuning`) and `keyColour`.
void buildNoteTable(NoteTable& notes);

// "A1", "A#1", ... "G#7": the name of note row `row` (0 .. 71), English by default, else as
// `naming` spells it ("Sib1", "H1", "Do#4"); octaves change at C (Do) in every system. A transposed
// name may lie up to kMostTransposition rows past either end: "A-2" for row -36, "G#10" for row 107.
std::string noteRowName(int row, NoteNaming naming = {});
// The same into `name`, without allocating: for the picture and the per-block outputs.
inline constexpr int kNoteNameSize = 7;  // the longest names, "Sol#-1" and "Sol#10", with their terminating zero
void noteRowNameInto(int row, char (&name)[kNoteNameSize], NoteNaming naming = {});

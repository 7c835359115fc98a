#pragma once
// Transposing instruments: how many semitones a player's written note lies above the concert
// note that sounds, by instrument name or as a number, and the live key's cycle through them.

#include <string_view>

#include "core/constants.hpp"

// Three octaves either way: every band and orchestral instrument from the glockenspiel (-24)
// to the E-flat contrabass saxophone (+33), and every octave number stays two characters.
inline constexpr int kMostTransposition = 36;  // semitones

// "Bb", "Eb", "F", "A", "G", "C" (concert), or a whole number of semitones with an optional
// sign, -36 .. +36: the shift from concert to written pitch.
bool transpositionNamed(std::string_view text, int& semitones);

// The transposition after `semitones` on the live key: concert, Bb, Eb, F, then concert again;
// any other shift goes back to concert.
int nextCommonTransposition(int semitones);

// What the toolbar calls the shift: "Bb", "Eb", "F", "A", "G" for the instruments' shifts,
// else the signed number ("+14", "-12"); "C" at concert pitch. At most 3 characters and a zero.
inline constexpr int kTranspositionLabelSize = 4;
void transpositionLabelInto(int semitones, char (&label)[kTranspositionLabelSize]);

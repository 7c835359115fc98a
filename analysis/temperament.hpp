#pragma once
// The temperaments the note table can be tuned in, each as 12 deviations from equal
// temperament, and the names the command line gives them and their keys.

#include <string_view>

#include "core/constants.hpp"
#include "core/temperament_choice.hpp"

// Cents from equal temperament of the note `step` semitones above the key (0 .. 11).
double temperamentCents(Temperament temperament, int step);

// "equal", "just", ...: the name of each temperament on the command line.
const char* temperamentName(Temperament temperament);
bool temperamentNamed(std::string_view name, Temperament& out);

// "C", "C#", "Db", ... "B" (either case, one sharp or flat): semitones above C, 0 .. 11.
bool keyNamed(std::string_view name, int& semitonesAboveC);

// Moves each of the `kNoteCount` equal-tempered entries (entry 0 an A) to its place in
// `choice`, every A staying where it is. Equal temperament is left alone by the caller.
void temperNoteTable(const TemperamentChoice& choice, double* noteFrequency);

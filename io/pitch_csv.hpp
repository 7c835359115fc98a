#pragma once
// The pitch output: the precise detector's reading of every scored block, one line each.

#include <cstdio>

#include "core/analysis_state.hpp"
#include "core/note_naming.hpp"

void writePitchHeader(std::FILE* file);
// The note is named as written for `transposition` in `naming`; a block where nothing
// sounds leaves the reading's fields empty.
void writePitchRow(std::FILE* file, long long step, int column, const PitchReading& reading, int transposition,
                   NoteNaming naming);

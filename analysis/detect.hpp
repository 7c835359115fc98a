#pragma once
// Scores the 72 note rows of the newest block into the next column of the score history.

// Start-up: zeroes the score history and the row tracks, sets every band level to 1.
void resetNoteDetection();
// Main thread, once per consumed block: writes column `historyColumn`, then advances it.
void detectNotes();

// The two clean-up rules for row `row` of column `col`, run by detectNotes once the row's own
// score is stored, and declared here so that their boundaries can be tested one row at a time: against the row below (row >= 1; `score` is the row's score clamped to 1) and
// against the row an octave below (row >= 12).
void applyNeighbourRule(int col, int row, double score);
void applyOctaveRule(int col, int row);

#pragma once
// Scores the 72 note rows of the newest block into the next column of the score history.

// Start-up: zeroes the score history and the row tracks, sets every band level to 1.
void resetNoteDetection();
// Main thread, once per consumed block: writes column `historyColumn`, then advances it.
void detectNotes();

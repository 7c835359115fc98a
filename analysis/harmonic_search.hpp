#pragma once
// Names the notes of one frame from its partials: harmonic sums over candidate
// fundamentals, the strongest taken first and its partials cancelled before the next.

#include "analysis/precise_sizes.hpp"
#include "analysis/spectral_peaks.hpp"

struct FoundNote {
  int row;           // 0 .. 71
  double frequency;  // Hz, fitted to its partials
  double salience;   // weighted sum of its partials' strengths
};

struct NoteSearch {
  int count = 0;                     // notes found, strongest first
  FoundNote notes[kMostNotes];
  float evidence[kNoteRows];         // every row's best salience before any cancelling, 0 .. 1 of the strongest
  double firstShare = 0.0;           // share of the frame's partial strength the first note explains
};

struct SearchCandidate {
  double frequency;
  double salience;
  int row;
  bool taken;  // named, or out of the running for this block
  bool fresh;  // salience worked out since the last cancelling
};

// Working storage of one search, kept with the detector's state.
struct SearchWork {
  double strength[kMostPeaks];  // 0 .. 1, what each peak still lends to a note
  double residual[kMostPeaks];  // amplitude left once found notes took their share
  int candidateCount = 0;
  SearchCandidate candidates[kMostPeaks];
};

// `rowFrequency` holds the 72 tuned row frequencies; `held` marks the rows found in the
// previous block, which need less to stay lit.
void searchNotes(const PeakList& peaks, const double* rowFrequency, const bool* held, SearchWork& work,
                 NoteSearch& out);

#pragma once
// The detector's window spans two blocks; a note that sounded in the older one and has
// stopped in the newer one is already over. Compares each found note's partials in the
// two halves and drops those that faded.

#include "analysis/harmonic_search.hpp"
#include "analysis/precise_sizes.hpp"

struct HalvesWork {
  double window[kBlockSize];  // periodic Hann over one block
  alignas(64) double transform[2 * kBlockSize];
};

// Fills the half-window; before the first use.
void prepareHalves(HalvesWork& work);

// `recent` holds kPreciseWindow samples, oldest first; `fftWorkArea` and `fftTwiddles`
// are tables that serve transforms of kBlockSize points. Removes from `found` the notes
// whose partials in the newer half are far below those in the older half.
void dropFadedNotes(const float* recent, HalvesWork& work, int* fftWorkArea, double* fftTwiddles, NoteSearch& found);

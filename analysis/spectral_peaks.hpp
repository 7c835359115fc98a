#pragma once
// The partials of one Hann-windowed frame: local maxima that stand clear of the local
// noise floor and of stronger neighbours' side lobes, with their exact frequency.

#include "analysis/precise_sizes.hpp"

struct SpectralPeak {
  double frequency;  // Hz, from the two highest bins of the Hann main lobe
  double amplitude;  // the sinusoid's amplitude, full scale 1
  double overFloor;  // dB above the local noise floor
};

struct PeakList {
  int count = 0;
  double strongest = 0.0;  // amplitude of the strongest peak
  SpectralPeak peaks[kMostPeaks];
  // For each bin, the first peak at or above the bin's frequency (count when none): where a
  // search for the peak nearest to a frequency starts.
  short firstFrom[kPreciseBins + 1];
};

// Work space for one frame's magnitudes, kept so that nothing is allocated per block.
struct PeakWork {
  double magnitude[kPreciseBins];
  double logMagnitude[kPreciseBins];
  double floorAt[kPreciseBins / 4];  // the noise floor's logarithm every few bins
};

// `spectrum` holds the frame's transform as interleaved complex values (natural order)
// of a periodic Hann window of kPreciseWindow points; `windowSum` is that window's sum.
// Fills `out` in ascending frequency.
void findSpectralPeaks(const double* spectrum, double windowSum, PeakWork& work, PeakList& out);

// Where a sinusoid lies between bins k and k + 1 of a periodic Hann window, from the ratio
// of their magnitudes (upper over lower): 0 at bin k, 1 at k + 1. Exact for one sinusoid.
double hannOffset(double upperOverLower);
// The Hann main lobe's height at `offset` bins from its centre, 1 at the centre.
double hannLobe(double offset);

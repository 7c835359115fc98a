#pragma once
// Magnitude spectrum of one block, and reading it at fractional positions.

#include <atomic>

#include "core/tuner_state.hpp"

// Audio thread: transforms the (gained) block with the capture's FFT storage and publishes its
// magnitudes into `handoff.spectrum`, each bin's magnitude in two adjacent entries.
void computeSpectrum(CaptureWork& work, BlockHandoff& handoff, const double* samples, int count);
// Main thread: the published spectrum at position x (entries), raised-cosine blended. The
// defining read: detection goes through the resolved reads below, which give exactly this.
double spectrumAt(const BlockHandoff& handoff, double x);

// A read position resolved once, for positions that never change: the entries it
// blends and the blend weight. Reading it gives exactly spectrumAt at that position.
struct SpectrumRead {
  int index;      // first entry blended; with `alone`, the one entry returned
  bool alone;     // a clamped position: entry `index` unblended
  double weight;  // raised-cosine weight of entry index + 1
};
SpectrumRead resolveSpectrumRead(double x);
// Main thread: the spectrum `spectrum` (kBlockSize entries laid out as the published one) at
// each of `count` resolved positions.
void readSpectrumEach(const std::atomic<double>* spectrum, const SpectrumRead* reads, double* values, int count);

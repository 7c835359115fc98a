#include "analysis/fading_notes.hpp"

#include <cmath>

#include "analysis/fft.hpp"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kBinHz = kSampleRate / kBlockSize;
constexpr int kMeasuredPartials = 8;
// A note whose partials lost more than this between the halves (-12 dB in energy) has ended;
// one that lost more than kFadingShare (-3 dB) and is much weaker than the strongest note is
// the release of the note before it.
constexpr double kFadedShare = 0.063095734448019;
constexpr double kFadingShare = 0.5;
constexpr double kReleaseSalience = 0.5;  // of the strongest note's

// Both halves in one complex transform: the older as the real part, the newer as the imaginary.
void transformHalves(const float* recent, HalvesWork& work, int* fftWorkArea, double* fftTwiddles) {
  for (int i = 0; i < kBlockSize; ++i) {
    work.transform[2 * i] = recent[i] * work.window[i];
    work.transform[2 * i + 1] = recent[kBlockSize + i] * work.window[i];
  }
  complexFft(2 * kBlockSize, -1, work.transform, fftWorkArea, fftTwiddles);
}

// Energy of bin k in the older (real input) and the newer (imaginary input) half, unpacked
// from the shared transform Z: older = (Z[k] + conj Z[N-k]) / 2, newer = (Z[k] - conj Z[N-k]) / 2i.
void binEnergies(const HalvesWork& work, int k, double& older, double& newer) {
  const int mirror = (kBlockSize - k) % kBlockSize;
  const double zr = work.transform[2 * k], zi = work.transform[2 * k + 1];
  const double mr = work.transform[2 * mirror], mi = work.transform[2 * mirror + 1];
  const double oldRe = 0.5 * (zr + mr), oldIm = 0.5 * (zi - mi);
  const double newRe = 0.5 * (zi + mi), newIm = -0.5 * (zr - mr);
  older = oldRe * oldRe + oldIm * oldIm;
  newer = newRe * newRe + newIm * newIm;
}

// The note's partial energy in each half: at each harmonic, the strongest of the bins around it.
void noteEnergies(const HalvesWork& work, double f0, double& older, double& newer) {
  older = newer = 0.0;
  for (int h = 1; h <= kMeasuredPartials && h * f0 < kPreciseMaxPartialHz; ++h) {
    const int centre = static_cast<int>(std::lround(h * f0 / kBinHz));
    double mostOld = 0.0, mostNew = 0.0;
    for (int k = centre - 1; k <= centre + 1; ++k) {
      double o = 0.0, n = 0.0;
      if (k > 0) binEnergies(work, k, o, n);
      mostOld = o > mostOld ? o : mostOld;
      mostNew = n > mostNew ? n : mostNew;
    }
    older += mostOld;
    newer += mostNew;
  }
}

}  // namespace

void prepareHalves(HalvesWork& work) {
  for (int i = 0; i < kBlockSize; ++i) work.window[i] = 0.5 - 0.5 * std::cos(kTwoPi * i / kBlockSize);
}

void dropFadedNotes(const float* recent, HalvesWork& work, int* fftWorkArea, double* fftTwiddles, NoteSearch& found) {
  if (found.count == 0) return;
  transformHalves(recent, work, fftWorkArea, fftTwiddles);
  int kept = 0;
  for (int i = 0; i < found.count; ++i) {
    double older = 0.0, newer = 0.0;
    noteEnergies(work, found.notes[i].frequency, older, newer);
    if (newer < kFadedShare * older) continue;
    if (newer < kFadingShare * older && found.notes[i].salience < kReleaseSalience * found.notes[0].salience) continue;
    found.notes[kept++] = found.notes[i];
  }
  found.count = kept;
}

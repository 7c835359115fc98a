#include "analysis/harmonic_search.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double kCentsPerUnit = 1731.2340490667560;  // cents of a ratio 1 + x, per x, for small x
constexpr double kHalfSemitone = 1.0293022366434921;  // 2^(1/24)
constexpr double kPeakBinHz = kSampleRate / kPreciseWindow;
constexpr int kMostHarmonics = 16;  // partials a note's salience counts
constexpr int kMostFollowed = 160;  // partials a found note takes from the spectrum, up to the highest looked at
// How far a partial may lie from h times the fundamental, in cents: wider up the series
// (a string's partials run sharp), never more than a third of the way to the next harmonic.
constexpr double kMatchBaseCents = 22.0;
constexpr double kMatchCentsPerHarmonic = 2.0;
constexpr double kMatchSpanShare = 0.3;
// Partial weights fall as 1/sqrt(h): a fundamental an octave too low gets 0.71 of the right one.
// A partial half-way between two harmonics counts against the candidate: it is the
// odd partial of a fundamental an octave below.
constexpr double kBetweenPenalty = 0.7;
// Strength of a partial: how far above the noise floor (from the detection threshold up to
// full strength) and how near the frame's strongest partial (full to kRelativeRangeDb below).
constexpr double kFloorStartDb = 13.0;
constexpr double kFloorFullDb = 40.0;
constexpr double kRelativeRangeDb = 50.0;
// Candidates: the strongest peaks, each as harmonics 1 .. kCandidateDivisors of a fundamental.
constexpr int kCandidatePeaks = 12;
constexpr int kCandidateDivisors = 6;
constexpr int kFitHarmonics = 4;           // fundamentals fitted to these partials only: higher ones run sharp
constexpr double kFitMatch = 0.5;          // partials matched at least this well are fitted
constexpr double kSameCandidateCents = 15.0;  // fundamentals closer than this are one candidate
constexpr double kCancelMatch = 0.2;       // partials matched at least this well are taken
// A partial is taken down to this many times the note's envelope around it: what stands out
// further is left for another note that shares it.
constexpr double kEnvelopeHeadroom = 2.0;
constexpr int kAnchoredHarmonics = 3;      // the first harmonics are looked for at h x f0 exactly
constexpr double kNoFundamentalShare = 0.5;  // the salience kept by a series missing its first partial
// A series whose fundamental is missing keeps its whole salience when its partials 2 to 5 and 7
// sound: a low piano or cello note early on, whose fundamental builds up late. Two or three sines
// (C4 and G4 as partials 2 and 3 of C3) are not such a series, nor a major triad (partials 4, 5
// and 6 of the note two octaves under its root), which has no seventh.
// The penalty for partials half-way between harmonics counts in full only when the octave below
// shows more than one such partial or a fundamental of its own; a lone one (the fifth of a
// pure-sine chord) is more likely a note of its own.
constexpr double kLoneBetweenShare = 0.2;
// Even partials over odd ones, in energy among the first kBalanceHarmonics: above kEvenOnly
// (+20 dB) the note is the octave above.
constexpr int kBalanceHarmonics = 10;
constexpr double kEvenOnly = 100.0;
// From kHighLeadHz (C6) up, a series whose second partial is kHighLeadRatio (+6 dB) over its
// first is the octave above's.
constexpr double kHighLeadHz = 1046.5;
constexpr double kHighLeadRatio = 2.0;
constexpr double kCountedStrength = 0.1;
// A lone untouched partial within this share of the strongest (-6 dB) is a note; weaker, it is
// more likely a partial of a note whose fundamental is weak.
constexpr double kToneShare = 0.5;  // a partial this strong counts towards a second note's
// A note needs this salience (a lone pure tone well above the floor has 1) and, after the
// first, this share of the first's; a row lit in the previous block needs kHeldShare of both.
constexpr double kLeastSalience = 0.45;
constexpr double kLeastShare = 0.25;
constexpr double kHeldShare = 0.6;
// The semitone beside or the octave of a note already found must be stronger to count.
constexpr double kNeighbourShare = 0.6;
constexpr double kOctaveShare = 0.35;
// A note beside another needs a partial among its first kBesideHarmonics within kBesideShare
// (-20 dB) of the frame's strongest, from kHighLeadHz up within kHighBesideShare (-12 dB): a
// decaying high note sets strings and the room ringing at a fifth, a seventh or an octave below.
constexpr int kBesideHarmonics = 4;
constexpr double kBesideShare = 0.1;
constexpr double kHighBesideShare = 0.25;
// The octave above a found note is named with it when its even partials 4 .. 2 x kOctaveLastPair
// stand this many dB over their odd neighbours on average (kOctaveHeldDb when it was lit in the
// previous block); partials are floored at kOctaveQuiet of the strongest (-60 dB).
constexpr int kOctaveLastPair = 8;
constexpr double kOctaveEvidenceDb = 4.0;
constexpr double kOctaveHeldDb = 2.0;
constexpr double kOctaveQuiet = 0.001;
constexpr int kOctaveLeastPairs = 3;  // even partials weighed at least: a short series tells too little
constexpr double kPureQuiet = 0.01;  // a pair of tones has nothing above its second partial within -40 dB
constexpr int kOctaveHighestRow = 27;  // C4
constexpr double kOctaveSalienceShare = 0.5;  // of the lower note's

double clamp01(double x) { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }

double matchWidth(int h) {
  return std::min(kMatchBaseCents + kMatchCentsPerHarmonic * h, kMatchSpanShare * kCentsPerUnit / h);
}

double partialStrength(const SpectralPeak& peak, double strongest) {
  const double aboveFloor = clamp01((peak.overFloor - kFloorStartDb) / (kFloorFullDb - kFloorStartDb));
  const double belowTop = 20.0 * std::log10(peak.amplitude / strongest);
  return std::min(aboveFloor, clamp01(1.0 + belowTop / kRelativeRangeDb));
}

// Index of the peak nearest to `hz`, -1 when there are none.
int nearestPeak(const PeakList& peaks, double hz) {
  if (peaks.count == 0) return -1;
  const int bin = static_cast<int>(hz / kPeakBinHz);
  int above = peaks.firstFrom[bin < 0 ? 0 : (bin > kPreciseBins ? kPreciseBins : bin)];
  while (above < peaks.count && peaks.peaks[above].frequency < hz) ++above;
  if (above == peaks.count) return peaks.count - 1;
  if (above == 0) return 0;
  return hz - peaks.peaks[above - 1].frequency < peaks.peaks[above].frequency - hz ? above - 1 : above;
}

// How well peak `index` stands for a partial at `hz` with match width `width` cents: 1 .. 0.
double matchAt(const PeakList& peaks, int index, double hz, double width) {
  if (index < 0) return 0.0;
  const double cents = kCentsPerUnit * (peaks.peaks[index].frequency / hz - 1.0);
  const double x = cents / width;
  return x * x < 1.0 ? 1.0 - x * x : 0.0;
}

// The partials of the series on `f0`: for each harmonic h the nearest peak and how well it
// matches, following the series as it stretches (a string's partials run progressively sharp):
// past the third harmonic, each is looked for where the last good match puts the fundamental.
struct Series {
  int last = 0;                          // highest harmonic looked at
  int on[kMostFollowed + 1];            // peak nearest to harmonic h, -1 if none
  double match[kMostFollowed + 1];      // 0 .. 1
  int between[kMostFollowed + 1];       // peak nearest to harmonic h - 1/2
  double betweenMatch[kMostFollowed + 1];
};

// With `between`, the peaks half-way between harmonics are looked up too (for the salience).
void followSeries(const PeakList& peaks, double f0, Series& series, int most, bool between = false) {
  double reference = f0;
  series.last = 0;
  double previous = 0.0, beforePrevious = 0.0;  // partials h - 1 and h - 2 where they matched well
  for (int h = 1; h <= most; ++h) {
    double expected = h * reference;
    double width = matchWidth(h);
    if (previous > 0.0 && beforePrevious > 0.0 && h > kAnchoredHarmonics) {
      // Two good matches in a row: the next partial lies one spacing further on.
      const double spacing = previous - beforePrevious;
      expected = previous + spacing;
      width = std::min(width, kMatchSpanShare * kCentsPerUnit * spacing / expected);
    }
    if (expected > kPreciseMaxPartialHz) break;
    const int on = nearestPeak(peaks, expected);
    series.on[h] = on;
    series.match[h] = matchAt(peaks, on, expected, width);
    if (between) {
      const double half = expected - 0.5 * expected / h;
      series.between[h] = nearestPeak(peaks, half);
      series.betweenMatch[h] = matchAt(peaks, series.between[h], half, width);
    }
    series.last = h;
    const bool good = series.match[h] >= kFitMatch;
    if (h >= kAnchoredHarmonics && good) reference = peaks.peaks[on].frequency / h;
    beforePrevious = previous;
    previous = good ? peaks.peaks[on].frequency : 0.0;
  }
}

// Partial weights: 1 / sqrt(h).
constexpr auto kHarmonicWeight = [] {
  std::array<double, kMostHarmonics + 1> w{};
  for (int h = 1; h <= kMostHarmonics; ++h) {
    double root = h;  // Newton's square root, for a table built at compile time
    for (int i = 0; i < 32; ++i) root = 0.5 * (root + h / root);
    w[h] = 1.0 / root;
  }
  return w;
}();

bool heard(const SearchWork& work, const Series& series, int h) {
  return h <= series.last && series.on[h] >= 0 && series.match[h] >= kFitMatch && work.strength[series.on[h]] > 0.0;
}

// `belowSounds`: a peak sits at half the fundamental (the octave below has a fundamental).
double salienceOf(const SearchWork& work, const Series& series, bool belowSounds) {
  double sum = 0.0, penalty = 0.0;
  int betweens = 0;
  for (int h = 1; h <= series.last; ++h) {
    const double weight = kHarmonicWeight[h];
    if (series.on[h] >= 0) sum += weight * work.strength[series.on[h]] * series.match[h];
    if (series.between[h] >= 0) {
      const double lost = kBetweenPenalty * weight * work.strength[series.between[h]] * series.betweenMatch[h];
      penalty += lost;
      betweens += lost > 0.0 && series.betweenMatch[h] >= kFitMatch;
    }
  }
  sum -= betweens >= 2 || belowSounds ? penalty : kLoneBetweenShare * penalty;
  // A fundamental with nothing at its own frequency is more likely an octave under the notes,
  // unless the partials above it are a full series.
  const bool sounding = series.last >= 1 && series.on[1] >= 0 && series.match[1] > 0.0 && work.strength[series.on[1]] > 0.0;
  if (sounding) return sum;
  const bool rich = heard(work, series, 2) && heard(work, series, 3) && heard(work, series, 4) &&
                    heard(work, series, 5) && heard(work, series, 7);
  return rich ? sum : sum * kNoFundamentalShare;
}

double salienceAt(const PeakList& peaks, const SearchWork& work, double f0) {
  Series series;
  followSeries(peaks, f0, series, kMostHarmonics, true);
  const double half = 0.5 * f0;
  const int below = nearestPeak(peaks, half);
  const bool belowSounds = below >= 0 && matchAt(peaks, below, half, matchWidth(1)) > 0.0 && work.strength[below] > 0.0;
  return salienceOf(work, series, belowSounds);
}

// The fundamental that best fits the partials matched near `f0` (least squares on h x f0).
double fitFundamental(const PeakList& peaks, const SearchWork& work, double f0) {
  Series series;
  followSeries(peaks, f0, series, kFitHarmonics);
  double weighted = 0.0, norm = 0.0;
  for (int h = 1; h <= series.last; ++h) {
    if (series.match[h] < kFitMatch) continue;
    const double w = work.strength[series.on[h]] * series.match[h];
    weighted += w * h * peaks.peaks[series.on[h]].frequency;
    norm += w * h * h;
  }
  return norm > 0.0 ? weighted / norm : f0;
}

int rowOf(double f0, const double* rowFrequency) {
  return static_cast<int>(std::lround(12.0 * std::log2(f0 / rowFrequency[0])));
}

bool isCandidate(const SearchWork& work, double f0) {
  for (int i = 0; i < work.candidateCount; ++i)
    if (std::fabs(kCentsPerUnit * (f0 / work.candidates[i].frequency - 1.0)) <= kSameCandidateCents) return true;
  return false;
}

void addCandidate(SearchWork& work, double f0, double salience, int row) {
  if (work.candidateCount < kMostPeaks) work.candidates[work.candidateCount++] = {f0, salience, row, false, true};
}

void gatherCandidates(const PeakList& peaks, const double* rowFrequency, SearchWork& work) {
  work.candidateCount = 0;
  int order[kMostPeaks];
  for (int i = 0; i < peaks.count; ++i) order[i] = i;
  const int top = std::min(kCandidatePeaks, peaks.count);
  std::partial_sort(order, order + top, order + peaks.count,
                    [&](int a, int b) { return work.strength[a] > work.strength[b]; });
  const double lowest = rowFrequency[0] / kHalfSemitone, highest = rowFrequency[kNoteRows - 1] * kHalfSemitone;
  for (int i = 0; i < top; ++i) {
    if (work.strength[order[i]] <= 0.0) break;
    for (int h = 1; h <= kCandidateDivisors; ++h) {
      const double heard = peaks.peaks[order[i]].frequency / h;
      // The partial's own fundamental, and the one fitted to the partials around it.
      for (const double f0 : {heard, fitFundamental(peaks, work, heard)}) {
        if (f0 < lowest || f0 > highest || isCandidate(work, f0)) continue;
        const double salience = salienceAt(peaks, work, f0);
        if (salience > 0.0) addCandidate(work, f0, salience, rowOf(f0, rowFrequency));
      }
    }
  }
}

void takeShare(SearchWork& work, int p, double envelope) {
  const double before = work.residual[p];
  work.residual[p] = std::max(0.0, before - std::min(before, envelope));
  work.strength[p] = before > 0.0 ? work.strength[p] * work.residual[p] / before : 0.0;
}

// Takes a found note's share of its partials: each partial down to what the note's
// spectral envelope (the mean over an octave around it) predicts, so that a partial another
// note shares keeps that note's part.
void cancelPartials(const PeakList& peaks, SearchWork& work, double f0) {
  Series series;
  followSeries(peaks, f0, series, kMostFollowed);
  double amplitude[kMostFollowed + 1];
  for (int h = 1; h <= series.last; ++h)
    amplitude[h] = series.match[h] >= kCancelMatch ? work.residual[series.on[h]] : 0.0;
  for (int h = 1; h <= series.last; ++h) {
    if (amplitude[h] <= 0.0) continue;
    const int from = static_cast<int>(std::ceil(h / std::sqrt(2.0)));
    const int to = std::min(series.last, static_cast<int>(std::floor(h * std::sqrt(2.0))));
    double sum = 0.0;
    for (int j = from; j <= to; ++j) sum += amplitude[j];
    const double envelope = kEnvelopeHeadroom * sum / (to - from + 1);
    // Every peak within the match of the harmonic is its: vibrato splits a partial in several.
    const double centre = peaks.peaks[series.on[h]].frequency;
    const double reach = centre * matchWidth(h) / kCentsPerUnit;
    for (int p = series.on[h]; p >= 0 && peaks.peaks[p].frequency >= centre - reach; --p) takeShare(work, p, envelope);
    for (int p = series.on[h] + 1; p < peaks.count && peaks.peaks[p].frequency <= centre + reach; ++p)
      takeShare(work, p, envelope);
  }
}

bool rowFound(const NoteSearch& out, int row) {
  for (int i = 0; i < out.count; ++i)
    if (out.notes[i].row == row) return true;
  return false;
}

// Energy of the even partials over that of the odd ones, among the first few.
double evenOverOdd(const PeakList& peaks, const SearchWork& work, double f0) {
  Series series;
  followSeries(peaks, f0, series, kBalanceHarmonics);
  double even = 0.0, odd = 0.0;
  for (int h = 1; h <= series.last; ++h) {
    if (series.match[h] < kFitMatch) continue;
    const double a = work.residual[series.on[h]];
    (h % 2 == 0 ? even : odd) += a * a;
  }
  return odd > 0.0 ? even / odd : (even > 0.0 ? kEvenOnly * 2.0 : 0.0);
}

// Whether the series on `f0` is high and its second partial stands well over its first: a high
// string's fundamental leads its partials, so a stronger "second partial" is the note itself
// and the weak "fundamental" a resonance an octave below (a decaying piano F#7 over F#6).
bool highOctaveAbove(const PeakList& peaks, const SearchWork& work, double f0) {
  if (f0 < kHighLeadHz) return false;
  Series series;
  followSeries(peaks, f0, series, 2);
  if (series.last < 2 || series.match[2] < kFitMatch) return false;
  const double first = series.match[1] >= kFitMatch ? work.residual[series.on[1]] : 0.0;
  return work.residual[series.on[2]] >= kHighLeadRatio * first;
}

// Beside a note already found, a lone partial is more likely hum or a resonance than a second note.
bool hasSeveralPartials(const PeakList& peaks, const SearchWork& work, double f0) {
  if (2.0 * f0 > kPreciseMaxPartialHz) return true;  // its second partial is not looked at
  Series series;
  followSeries(peaks, f0, series, kBalanceHarmonics);
  int partials = 0;
  for (int h = 1; h <= series.last; ++h)
    partials += series.match[h] >= kFitMatch && work.strength[series.on[h]] >= kCountedStrength;
  return partials >= 2;
}

// A strong partial that no found note has taken any of is a pure tone of its own (a sine, an organ
// flute, whistling): it may be named beside other notes with no second partial.
bool untouchedTone(const PeakList& peaks, const SearchWork& work, double f0) {
  const int p = nearestPeak(peaks, f0);
  return p >= 0 && matchAt(peaks, p, f0, matchWidth(1)) >= kFitMatch && work.residual[p] >= peaks.peaks[p].amplitude &&
         peaks.peaks[p].amplitude >= kToneShare * peaks.strongest;
}

// Whether a note's loudest partial among its first few reaches `share` of the frame's strongest.
bool loudEnough(const PeakList& peaks, double f0, double share) {
  Series series;
  followSeries(peaks, f0, series, kBesideHarmonics);
  for (int h = 1; h <= series.last; ++h)
    if (series.match[h] >= kFitMatch && peaks.peaks[series.on[h]].amplitude >= share * peaks.strongest) return true;
  return false;
}

bool nearFound(const NoteSearch& out, int row, int distance) {
  for (int i = 0; i < out.count; ++i)
    if (std::abs(out.notes[i].row - row) == distance) return true;
  return false;
}

bool passes(const PeakList& peaks, const SearchWork& work, const SearchCandidate& c, const bool* held,
            const NoteSearch& out) {
  if (c.row < 0 || c.row >= kNoteRows || rowFound(out, c.row)) return false;
  const double first = out.count > 0 ? out.notes[0].salience : 0.0;
  const double ease = held[c.row] ? kHeldShare : 1.0;
  double share = kLeastShare;
  if (nearFound(out, c.row, 1)) share = kNeighbourShare;
  else if (nearFound(out, c.row, 12)) share = kOctaveShare;
  if (c.salience < kLeastSalience * ease || c.salience < share * ease * first) return false;
  if (out.count == 0) return true;
  // Beside a louder note, faint partials are its strings' and the room's resonances, not a note.
  if (!loudEnough(peaks, c.frequency, c.frequency >= kHighLeadHz ? kHighBesideShare : kBesideShare)) return false;
  return hasSeveralPartials(peaks, work, c.frequency) || untouchedTone(peaks, work, c.frequency);
}

// The candidate that may be named next, or -1. Cancelling only ever lowers a salience, so a
// candidate's last one bounds its present one: only the leaders need working out again, and
// one that fails a test now fails it for the rest of the block.
int bestCandidate(const PeakList& peaks, SearchWork& work, const bool* held, const NoteSearch& out) {
  for (;;) {
    int top = -1;
    for (int i = 0; i < work.candidateCount; ++i) {
      const SearchCandidate& c = work.candidates[i];
      if (!c.taken && (top < 0 || c.salience > work.candidates[top].salience)) top = i;
    }
    if (top < 0) return -1;
    SearchCandidate& c = work.candidates[top];
    if (!c.fresh) {
      c.salience = salienceAt(peaks, work, c.frequency);
      c.fresh = true;
      continue;  // still the leader only if no other bound is higher
    }
    if (passes(peaks, work, c, held, out)) return top;
    c.taken = true;
  }
}

// Whether `hz` is a partial of a found note other than note `self`: a partial two notes share
// tells nothing of either. Notes whole octaves below are left aside: their partials fall on odd
// and even partials of `self` alike.
bool sharedPartial(const NoteSearch& out, int self, double hz) {
  for (int i = 0; i < out.count; ++i) {
    const int below = out.notes[self].row - out.notes[i].row;
    if (i == self || (below > 0 && below % 12 == 0)) continue;
    const double h = std::round(hz / out.notes[i].frequency);
    if (h >= 1.0 && std::fabs(kCentsPerUnit * (hz / (h * out.notes[i].frequency) - 1.0)) <= matchWidth(static_cast<int>(h)))
      return true;
  }
  return false;
}

// How far the even partials 4 .. 2 x kOctaveLastPair of found note `self` stand above their odd
// neighbours, in dB on average (those another found note shares left out): near 0 for one note,
// several dB when the octave above sounds with it and adds its partials to every even one.
// `pure` tells whether the series is a pair of tones: its first two partials, both strong, and
// nothing above them.
double evenExcessDb(const PeakList& peaks, const NoteSearch& out, int self, bool& pure) {
  const double f0 = out.notes[self].frequency;
  Series series;
  followSeries(peaks, f0, series, 2 * kOctaveLastPair + 1);
  const double quiet = peaks.strongest * kOctaveQuiet;
  double level[2 * kOctaveLastPair + 2];
  bool upper = false;
  for (int h = 1; h <= 2 * kOctaveLastPair + 1; ++h) {
    const bool on = h <= series.last && series.match[h] >= kFitMatch;
    level[h] = on ? std::max(peaks.peaks[series.on[h]].amplitude, quiet) : 0.0;
    if (h >= 3 && on) upper |= peaks.peaks[series.on[h]].amplitude >= kPureQuiet * peaks.strongest;
  }
  pure = level[1] > 0.0 && level[2] >= kToneShare * peaks.strongest && !upper;
  double sum = 0.0;
  int pairs = 0;
  for (int k = 2; k <= kOctaveLastPair; ++k) {
    const double below = level[2 * k - 1], above = level[2 * k + 1];
    if ((below <= 0.0 && above <= 0.0) || sharedPartial(out, self, 2 * k * f0)) continue;
    const double odd = below > 0.0 && above > 0.0 ? std::sqrt(below * above) : std::max(below, above);
    sum += 20.0 * std::log10(std::max(level[2 * k], quiet) / odd);
    ++pairs;
  }
  return pairs >= kOctaveLeastPairs ? sum / pairs : 0.0;
}

// Names the octave above each found note that sounds with it, doubling its even partials (C3
// with C4, the doubled octaves of an open guitar chord). The partials' evidence is weighed only
// under C4: higher up a lone note's even partials often stand out as far.
void addOctaves(const PeakList& peaks, const bool* held, NoteSearch& out) {
  const int found = out.count;
  for (int i = 0; i < found && out.count < kMostNotes; ++i) {
    const FoundNote note = out.notes[i];
    const int row = note.row + 12;
    if (row >= kNoteRows || rowFound(out, row)) continue;
    bool pure = false;
    const double excess = evenExcessDb(peaks, out, i, pure);
    const bool doubled = note.row < kOctaveHighestRow && excess >= (held[row] ? kOctaveHeldDb : kOctaveEvidenceDb);
    if (pure || doubled) out.notes[out.count++] = {row, 2.0 * note.frequency, kOctaveSalienceShare * note.salience};
  }
}

double totalStrength(const PeakList& peaks, const SearchWork& work) {
  double sum = 0.0;
  for (int i = 0; i < peaks.count; ++i) sum += work.strength[i];
  return sum;
}

}  // namespace

void searchNotes(const PeakList& peaks, const double* rowFrequency, const bool* held, SearchWork& work,
                 NoteSearch& out) {
  out.count = 0;
  out.firstShare = 0.0;
  for (float& e : out.evidence) e = 0.0f;
  for (int i = 0; i < peaks.count; ++i) {
    work.residual[i] = peaks.peaks[i].amplitude;
    work.strength[i] = partialStrength(peaks.peaks[i], peaks.strongest);
  }
  gatherCandidates(peaks, rowFrequency, work);
  double top = 0.0;
  for (int i = 0; i < work.candidateCount; ++i) top = std::max(top, work.candidates[i].salience);
  if (top <= 0.0) return;
  for (int i = 0; i < work.candidateCount; ++i) {
    const SearchCandidate& c = work.candidates[i];
    if (c.row >= 0 && c.row < kNoteRows)
      out.evidence[c.row] = std::max(out.evidence[c.row], static_cast<float>(c.salience / top));
  }
  while (out.count < kMostNotes) {
    const int best = bestCandidate(peaks, work, held, out);
    if (best < 0) break;
    SearchCandidate& c = work.candidates[best];
    c.taken = true;
    FoundNote note{c.row, c.frequency, c.salience};
    // A series whose odd partials are all but missing is the octave above's.
    // A note lit in the previous block keeps its row through a moment of strong second partial
    // (a violin's vibrato); a resonance below a lit note does not.
    const auto highLead = [&](const FoundNote& n) {
      const bool kept = held[n.row] && (n.row + 12 >= kNoteRows || !held[n.row + 12]);
      return !kept && highOctaveAbove(peaks, work, n.frequency);
    };
    for (int up = 0; up < 2 && (evenOverOdd(peaks, work, note.frequency) > kEvenOnly || highLead(note)); ++up) {
      const double f0 = fitFundamental(peaks, work, 2.0 * note.frequency);
      const int row = rowOf(f0, rowFrequency);
      if (row < 0 || row >= kNoteRows || rowFound(out, row)) break;
      note = {row, f0, std::max(salienceAt(peaks, work, f0), note.salience)};
    }
    out.notes[out.count++] = note;
    const double before = totalStrength(peaks, work);
    cancelPartials(peaks, work, note.frequency);
    for (int i = 0; i < work.candidateCount; ++i) work.candidates[i].fresh = false;
    if (out.count == 1 && before > 0.0) out.firstShare = 1.0 - totalStrength(peaks, work) / before;
  }
  addOctaves(peaks, held, out);
}

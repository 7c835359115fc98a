#include "analysis/note_tracker.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/fft.hpp"
#include "analysis/round_half_even.hpp"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr float kNamed = 0.5f;  // a score at or above this names the row's note
// A held note is struck again when the power near its pitch rises this much from one block
// to the next (+3 dB): a held, bowed or blown note swells far slower.
constexpr double kRestrikeRise = 2.0;
// ... and only once it has fallen this much below its peak (-1.5 dB): a bowed or blown note
// rises over several blocks as it starts, and that is one attack.
constexpr double kRestrikeFall = 1.4142135623730951;
// ... and only with an attack in the sound: the RMS rising this much over two 2.9 ms frames
// (+1.9 dB), as a hammer, a pick or a tongue makes it and a tremolo's or a bow's swell does not.
constexpr double kRestrikeAttack = 1.25;
// A held note is released where the power near its pitch falls this much from one block to the
// next (-9 dB): a damper, a lifted bow or finger, a stopped breath. Left to ring, a note decays
// far slower; what rings on after such a fall is its tail, not a note.
constexpr double kReleaseFall = 8.0;
// What a row heard while lit fades this much a block (-0.5 dB, 11 dB a second), slower than the
// tail of a high note falls: that tail beats and flickers far below its strike, and its
// flickers must not start notes.
constexpr double kHeardFade = 0.8912509381337456;
// An onset's frame has at least this many times the RMS of the frame two before (+1.5 dB).
constexpr double kOnsetRise = 1.1885022274370185;
constexpr double kOnsetShareOfLargest = 0.5;  // the attack is the first rise of this share of the largest
// The onset sample is where the sound first passes the peak before it by this share of its rise.
constexpr double kOnsetShare = 0.25;
constexpr double kHalfSemitone = 1.0293022366434921;  // 2^(1/24)
constexpr int kFramesPerBlock = kBlockSize / kOnsetFrame;
// Velocity is linear in the level of the note's partials: 1 at -60 dBFS, 127 at 0 dBFS, the
// span a quiet to a loud take of an instrument covers.
constexpr double kSoftestDbfs = -60.0;
constexpr double kLoudestDbfs = 0.0;
constexpr int kMostVelocity = 127;
// Partials whose power makes a note's level, as rows above it: 1st to 4th harmonic.
constexpr int kPartialRows[] = {0, 12, 19, 24};
constexpr double kBinHz = kSampleRate / kBlockSize;

// A note that starts late in the block that first shows it brings only the window's tail into
// the power measured; the full level is inferred from the share of the window it sounded in,
// at most this much louder (15 dB: an onset three quarters into the block, where the rows first light).
constexpr double kLeastWindowShare = 0.03125;

// A sine of amplitude A under the periodic Hann window puts 3 A^2 N^2 / 32 into its bins.
double amplitudeSquared(double power) { return power * 32.0 / (3.0 * kBlockSize * kBlockSize); }

void measureBands(const NoteTrackerInput& input, NoteTrackerState& state) {
  for (int i = 0; i < kBlockSize; ++i) {
    state.transform[2 * i] = input.block[i] * state.window[i];
    state.transform[2 * i + 1] = 0.0;
  }
  complexFft(2 * kBlockSize, -1, state.transform, state.fftWorkArea, state.fftTwiddles);
  for (int row = 0; row < kNoteRows; ++row) {
    const double hz = input.rowFrequency[row];
    const int nearest = static_cast<int>(hz / kBinHz + 0.5);
    int low = static_cast<int>(hz / kHalfSemitone / kBinHz);
    int high = static_cast<int>(std::ceil(hz * kHalfSemitone / kBinHz));
    if (low > nearest - 1) low = nearest - 1;  // at least the window's main lobe
    if (high < nearest + 1) high = nearest + 1;
    if (low < 1) low = 1;
    if (high > kBlockSize / 2 - 1) high = kBlockSize / 2 - 1;
    double power = 0.0;
    for (int bin = low; bin <= high; ++bin)
      power += state.transform[2 * bin] * state.transform[2 * bin] + state.transform[2 * bin + 1] * state.transform[2 * bin + 1];
    state.bandPower[row] = power;
  }
}

void measureFrames(const float* block, NoteTrackerState& state) {
  std::memmove(state.recent, state.recent + kBlockSize, sizeof(float) * kBlockSize);
  std::memcpy(state.recent + kBlockSize, block, sizeof(float) * kBlockSize);
  std::memmove(state.frameRms, state.frameRms + kFramesPerBlock, sizeof(double) * kFramesPerBlock);
  for (int f = 0; f < kFramesPerBlock; ++f) {
    double sum = 0.0;
    for (int i = f * kOnsetFrame; i < (f + 1) * kOnsetFrame; ++i) sum += static_cast<double>(block[i]) * block[i];
    state.frameRms[kFramesPerBlock + f] = std::sqrt(sum / kOnsetFrame);
  }
}

// The first frame ending a rise in RMS over two frames (a step inside a frame spreads its rise
// over that frame and the next) of at least half the largest in the last two blocks: notes
// sounding together beat, and their beats rise after the attack that started them. -1 when
// nothing rose.
int risingFrame(const NoteTrackerState& state) {
  double rise[kOnsetFrames] = {};
  double largest = 0.0;
  for (int g = 2; g < kOnsetFrames; ++g) {
    if (state.frameRms[g] >= kOnsetRise * state.frameRms[g - 2]) rise[g] = state.frameRms[g] - state.frameRms[g - 2];
    largest = std::max(largest, rise[g]);
  }
  if (!(largest > 0.0)) return -1;
  int g = 2;
  while (rise[g] < kOnsetShareOfLargest * largest) ++g;
  while (g + 1 < kOnsetFrames && rise[g + 1] > rise[g]) ++g;  // the top of that rise
  return g;
}

double peakOf(const float* samples) {
  double peak = 0.0;
  for (int i = 0; i < kOnsetFrame; ++i) peak = std::max(peak, static_cast<double>(std::fabs(samples[i])));
  return peak;
}

// The onset of this block's attack: in the rising frame or the one before it, the first sample
// that passes the peak of the frame before both by a share of the rise; the block's start when
// nothing rose.
long long findOnset(const NoteTrackerState& state, long long firstSample) {
  const int rising = risingFrame(state);
  if (rising < 0) return firstSample;
  const long long recentStart = firstSample - kBlockSize;
  const float* frame = state.recent + rising * kOnsetFrame;
  const double before = peakOf(frame - 2 * kOnsetFrame);  // the rising frame is the third or later
  const double threshold = before + kOnsetShare * (peakOf(frame) - before);
  for (int i = (rising - 1) * kOnsetFrame; i < (rising + 1) * kOnsetFrame; ++i)
    if (std::fabs(state.recent[i]) > threshold) return recentStart + i;
  return recentStart + static_cast<long long>(rising) * kOnsetFrame;
}

double partialsPower(const NoteTrackerState& state, int row) {
  double power = 0.0;
  for (int above : kPartialRows)
    if (row + above < kNoteRows) power += state.bandPower[row + above];
  return power;
}

int velocityOf(double power) {
  const double squared = amplitudeSquared(power);
  if (!(squared > 0.0)) return 1;
  const double dbfs = 10.0 * std::log10(squared);
  const double scaled = 1.0 + roundHalfEven((dbfs - kSoftestDbfs) * (kMostVelocity - 1) / (kLoudestDbfs - kSoftestDbfs));
  if (!(scaled >= 1.0)) return 1;
  return scaled > kMostVelocity ? kMostVelocity : static_cast<int>(scaled);
}

void push(NoteTrackerState& state, const NoteEvent& event) {
  if (state.pendingCount < kMostNoteEvents) state.pending[state.pendingCount++] = event;  // room for every call's worth
}

bool before(const NoteEvent& a, const NoteEvent& b) {
  if (a.sample != b.sample) return a.sample < b.sample;
  if (a.on != b.on) return !a.on;
  return a.row < b.row;
}

// Hands over, in order, the pending events before `horizon`: no later block can give one earlier.
void release(NoteTrackerState& state, long long horizon, NoteEvents& out) {
  for (int i = 1; i < state.pendingCount; ++i) {
    const NoteEvent event = state.pending[i];
    int j = i;
    for (; j > 0 && before(event, state.pending[j - 1]); --j) state.pending[j] = state.pending[j - 1];
    state.pending[j] = event;
  }
  int given = 0;
  while (given < state.pendingCount && out.count < kMostNoteEvents && state.pending[given].sample < horizon) out.events[out.count++] = state.pending[given++];
  std::memmove(state.pending, state.pending + given, sizeof(NoteEvent) * (state.pendingCount - given));
  state.pendingCount -= given;
}

NoteEvent endOf(int row, long long at) { return NoteEvent{at, row, false, 0, 0.0}; }

void endEveryNote(NoteTrackerState& state, long long at) {
  for (int row = 0; row < kNoteRows; ++row) {
    const RowNote& note = state.rows[row];
    if (note.phase == RowPhase::Held) push(state, endOf(row, at));
    if (note.phase == RowPhase::Dark) push(state, endOf(row, note.end));
    state.rows[row] = RowNote{};
  }
}

void forgetPast(NoteTrackerState& state) {
  for (double& power : state.lastBandPower) power = 0.0;
  for (double& power : state.heardPower) power = 0.0;
  for (double& rms : state.frameRms) rms = 0.0;
  for (float& sample : state.recent) sample = 0.0f;
}

// The cents of a note still to be confirmed: the reading's, whenever it names the row.
void readCents(RowNote& note, int row, const PitchReading& reading) {
  if (reading.row != row) return;
  note.cents = reading.cents;
  note.centsRead = true;
}

NoteEvent onsetOf(const RowNote& note, int row, long long at, double power) {
  return NoteEvent{at, row, true, velocityOf(note.level > power ? note.level : power), note.centsRead ? note.cents : 0.0};
}

// The steepest rise of the RMS over two frames in this block and the one before, as a ratio.
double steepestRise(const NoteTrackerState& state) {
  double steepest = 0.0;
  for (int g = 2; g < kOnsetFrames; ++g)
    if (state.frameRms[g - 2] > 0.0) steepest = std::max(steepest, state.frameRms[g] / state.frameRms[g - 2]);
  return steepest;
}

// A new note on a row comes within a release's fall of what the row heard lately.
bool standsOut(const NoteTrackerState& state, int row) {
  return state.bandPower[row] * kReleaseFall > state.heardPower[row];
}

bool rose(const NoteTrackerState& state, int row) {
  return state.lastBandPower[row] > 0.0 && state.bandPower[row] >= kRestrikeRise * state.lastBandPower[row];
}

// A dark note lit again was struck again when its power rose from its last lit block, in this
// block or in the dark one (the detector may miss the very block of an attack).
bool roseSinceLit(const NoteTrackerState& state, const RowNote& note, int row) {
  const double now = std::max(state.bandPower[row], state.lastBandPower[row]);
  return note.litPower > 0.0 && now >= kRestrikeRise * note.litPower;
}

bool fellSinceLit(const NoteTrackerState& state, const RowNote& note, int row) {
  return note.litPower > 0.0 && state.bandPower[row] * kReleaseFall <= note.litPower;
}

// The dark block fell as a damper makes it fall, and an attack lit the row again: a key struck
// again just after it was let go, not a block the detector missed inside one note.
bool struckAfterRelease(const NoteTrackerState& state, const RowNote& note, int row) {
  return note.litPower > 0.0 && state.lastBandPower[row] * kReleaseFall <= note.litPower &&
         steepestRise(state) >= kRestrikeAttack;
}

// A dark note lit again was struck again when it rose or an attack followed its release, and it
// came back within a release's fall of its peak, in this block or the dark one: a tail's beat
// rising out of a dark block is far below its strike.
bool struckAgainAfterDark(const NoteTrackerState& state, const RowNote& note, int row) {
  const bool backNearPeak = std::max(state.bandPower[row], state.lastBandPower[row]) * kReleaseFall > note.peakPower;
  return (roseSinceLit(state, note, row) || struckAfterRelease(state, note, row)) && backNearPeak;
}

// The share of the squared window's energy from sample `from` of the block on.
double windowShareFrom(const NoteTrackerState& state, long long from) {
  if (from <= 0) return 1.0;
  double after = 0.0, all = 0.0;
  for (int i = 0; i < kBlockSize; ++i) {
    const double energy = state.window[i] * state.window[i];
    all += energy;
    if (i >= from) after += energy;
  }
  return std::max(after / all, kLeastWindowShare);
}

// Where in the block a note stopped that kept `share` of its power: where the squared window's
// energy before that sample is `share` of its whole.
long long releasedAt(const NoteTrackerState& state, double share) {
  double all = 0.0;
  for (int i = 0; i < kBlockSize; ++i) all += state.window[i] * state.window[i];
  double before = 0.0;
  int i = 0;
  for (; i < kBlockSize && before < share * all; ++i) before += state.window[i] * state.window[i];
  return i;
}

// A row first lit: a note to be confirmed by the next block, starting no earlier than the last one's end.
void showNote(const NoteTrackerInput& input, const NoteTrackerState& state, RowNote& note, int row, long long onset) {
  const long long end = note.end;
  note = RowNote{};
  note.phase = RowPhase::Lit;
  note.onset = onset > end ? onset : end;
  note.end = end;
  note.level = partialsPower(state, row);
  note.fullLevel = note.level / windowShareFrom(state, note.onset - input.firstSample);
  readCents(note, row, *input.reading);
}

void stepHeld(const NoteTrackerInput& input, NoteTrackerState& state, RowNote& note, int row, long long onset) {
  const long long first = input.firstSample;
  const double last = state.lastBandPower[row];
  note.litPower = last;
  if (!(input.scores[row] >= kNamed)) {
    note.phase = RowPhase::Dark;  // it may be a block the detector missed
    note.end = first;
    note.restruck = false;
  } else if (last > 0.0 && state.bandPower[row] * kReleaseFall <= last) {
    note.end = first + releasedAt(state, state.bandPower[row] / last);
    push(state, endOf(row, note.end));
    note.phase = RowPhase::Tail;
    note.restruck = false;
  } else if (note.restruck) {
    readCents(note, row, *input.reading);
    push(state, endOf(row, note.newOnset));
    push(state, onsetOf(note, row, note.newOnset, partialsPower(state, row)));
    note.onset = note.newOnset;
    note.restruck = false;
    note.peakPower = last;
  } else if (note.onset < first - kBlockSize && rose(state, row) && last * kRestrikeFall <= note.peakPower &&
             standsOut(state, row) && steepestRise(state) >= kRestrikeAttack) {
    note.restruck = true;
    note.newOnset = onset;
    note.level = partialsPower(state, row);
    note.centsRead = false;
    readCents(note, row, *input.reading);
  }
  note.peakPower = std::max(note.peakPower, state.bandPower[row]);
}

void stepRow(const NoteTrackerInput& input, NoteTrackerState& state, int row, long long onset) {
  RowNote& note = state.rows[row];
  const bool lit = input.scores[row] >= kNamed;
  switch (note.phase) {
    case RowPhase::Idle:
      if (lit && standsOut(state, row)) showNote(input, state, note, row, onset);
      break;
    case RowPhase::Lit:
      if (!lit) {
        note.phase = RowPhase::Idle;  // one block is a blip, not a note
        break;
      }
      readCents(note, row, *input.reading);
      push(state, onsetOf(note, row, note.onset, partialsPower(state, row)));
      note.phase = RowPhase::Held;
      note.peakPower = std::max(state.lastBandPower[row], state.bandPower[row]);
      break;
    case RowPhase::Held:
      stepHeld(input, state, note, row, onset);
      break;
    case RowPhase::Tail:
      if (!lit) {
        note.phase = RowPhase::Idle;
      } else if (rose(state, row) && state.bandPower[row] * kReleaseFall > note.peakPower && steepestRise(state) >= kRestrikeAttack) {
        showNote(input, state, note, row, onset);  // struck again while the tail rang, not a neighbour's attack leaking in
      }
      break;
    case RowPhase::Dark:
      if (lit && fellSinceLit(state, note, row)) {
        push(state, endOf(row, note.end));  // released in the dark block: what is lit now is its tail
        note.phase = RowPhase::Tail;
        break;
      }
      if (lit && !struckAgainAfterDark(state, note, row)) {
        note.phase = RowPhase::Held;  // one dark block inside a note that goes on
        break;
      }
      push(state, endOf(row, note.end));
      note.phase = RowPhase::Idle;
      if (lit) showNote(input, state, note, row, onset);  // struck again after a dark block
      break;
  }
}

// Only what lit the row counts: a neighbour's note leaks into a low row's band, and must not
// hold back the row's own next note.
void hear(const NoteTrackerInput& input, NoteTrackerState& state, int row) {
  state.heardPower[row] *= kHeardFade;
  if (input.scores[row] >= kNamed) state.heardPower[row] = std::max(state.heardPower[row], state.bandPower[row]);
}

bool anyNote(const NoteTrackerInput& input, const NoteTrackerState& state) {
  for (int row = 0; row < kNoteRows; ++row)
    if (input.scores[row] >= kNamed || state.rows[row].phase != RowPhase::Idle) return true;
  return false;
}

}  // namespace

int noteVelocity(double power) { return velocityOf(power); }

void resetNoteTracker(NoteTrackerState& state) {
  for (int i = 0; i < kBlockSize; ++i) state.window[i] = 0.5 - 0.5 * std::cos(kTwoPi * i / kBlockSize);
  std::memset(state.fftWorkArea, 0, sizeof state.fftWorkArea);
  for (double& power : state.bandPower) power = 0.0;
  forgetPast(state);
  for (RowNote& note : state.rows) note = RowNote{};
  state.pendingCount = 0;
  state.endOfLast = -1;
}

void trackNotes(const NoteTrackerInput& input, NoteTrackerState& state, NoteEvents& out) {
  out.count = 0;
  if (input.afterGap && state.endOfLast >= 0) {
    endEveryNote(state, state.endOfLast);
    release(state, state.endOfLast + 1, out);
    forgetPast(state);
  }
  measureFrames(input.block, state);
  if (anyNote(input, state)) {
    measureBands(input, state);
  } else {
    for (double& power : state.bandPower) power = 0.0;
  }
  const long long onset = findOnset(state, input.firstSample);
  for (int row = 0; row < kNoteRows; ++row) stepRow(input, state, row, onset);
  std::memcpy(state.lastBandPower, state.bandPower, sizeof state.bandPower);
  for (int row = 0; row < kNoteRows; ++row) hear(input, state, row);
  state.endOfLast = input.firstSample + kBlockSize;
  release(state, input.firstSample, out);
}

void finishNotes(NoteTrackerState& state, NoteEvents& out) {
  out.count = 0;
  if (state.endOfLast < 0) return;
  endEveryNote(state, state.endOfLast);
  release(state, state.endOfLast + 1, out);
  forgetPast(state);
}

#include "analysis/note_tracker.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

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
// ... and only with an attack in the sound: the highs of its steps from sample to sample (the
// click of a hammer, a pick or a tongue) rising this much (+4 dB) between windows a period of the
// note long, as a chord's beats, a tremolo and a bow's swell do not.
constexpr double kRestrikeAttack = 1.5848931924611136;
// A held note is released where the power near its pitch falls this much from one block to the
// next (-9 dB): a damper, a lifted bow or finger, a stopped breath. Left to ring, a note decays
// far slower; what rings on after such a fall is its tail, not a note.
constexpr double kReleaseFall = 8.0;
// What a row heard while lit fades this much a block (-0.5 dB, 11 dB a second), slower than the
// tail of a high note falls: that tail beats and flickers far below its strike, and its
// flickers must not start notes.
constexpr double kHeardFade = 0.8912509381337456;
// A new note's partials have at least this share of the most any row heard lately (-20 dB): fainter,
// it is the room's rumble or noise named in a loud note's decay; a player's soft note beside a
// loud one stands far closer.
constexpr double kFaintestBesideLoudest = 100.0;
constexpr double kHalfSemitone = 1.0293022366434921;  // 2^(1/24)
// Velocity is linear in the level of the note's partials: 1 at -60 dBFS, 127 at 0 dBFS, the
// span a quiet to a loud take of an instrument covers.
constexpr double kSoftestDbfs = -60.0;
constexpr double kLoudestDbfs = 0.0;
constexpr int kMostVelocity = 127;
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

// What one block tells every row.
struct BlockEvidence {
  Onsets onsets;
  double loudestHeard;  // the most any row heard lately
};

BlockEvidence weighBlock(const NoteTrackerState& state, long long firstSample) {
  BlockEvidence block{findOnsets(state.frames, firstSample), 0.0};
  for (double heard : state.heardPower) block.loudestHeard = std::max(block.loudestHeard, heard);
  return block;
}

double partialsPower(const NoteTrackerState& state, int row) {
  double power = 0.0;
  for (int h = 0; h < kLevelHarmonics; ++h)
    if (row + kHarmonicRows[h] < kNoteRows) power += state.bandPower[row + kHarmonicRows[h]];
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

void push(NoteEvents& out, const NoteEvent& event) {
  if (out.count < kMostNoteEvents) out.events[out.count++] = event;  // room for every call's worth
}

NoteEvent endOf(int row, long long at) { return NoteEvent{at, row, false, 0, 0.0}; }

void endEveryNote(NoteTrackerState& state, long long at, NoteEvents& out) {
  for (int row = 0; row < kNoteRows; ++row) {
    const RowNote& note = state.rows[row];
    if (note.phase == RowPhase::Held) push(out, endOf(row, note.falling ? note.end : at));
    if (note.phase == RowPhase::Dark) push(out, endOf(row, note.end));
    state.rows[row] = RowNote{};
  }
}

void forgetPast(NoteTrackerState& state) {
  for (double& power : state.lastBandPower) power = 0.0;
  for (double& power : state.olderBandPower) power = 0.0;
  for (double& power : state.heardPower) power = 0.0;
  forgetFrames(state.frames);
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

// The sound rose as a strike, a pluck or a tongue makes it, in this block or the one before.
bool attacked(const NoteTrackerInput& input, const NoteTrackerState& state, int row) {
  return steepestRise(state.frames, framesInPeriod(input.rowFrequency[row])) >= kRestrikeAttack;
}

// A new note on a row comes within a release's fall of what the row heard lately.
bool standsOut(const NoteTrackerState& state, int row) {
  return state.bandPower[row] * kReleaseFall > state.heardPower[row];
}

// The row's power rose less than a strike's from the block before: the note sounded there
// already, and the detector named it a block late.
bool soundedBefore(const NoteTrackerState& state, int row) {
  return state.lastBandPower[row] > 0.0 && state.lastBandPower[row] * kRestrikeRise > state.bandPower[row];
}

bool sounding(RowPhase phase) { return phase == RowPhase::Held || phase == RowPhase::Dark || phase == RowPhase::Tail; }

// A row lit at a partial of a note sounding since before every block an onset is sought in, whose
// power held over those blocks: that note's partial, named while the detector lost the note, not a
// new note. A note struck with it, an octave above, and named late began with it.
bool partialOfASoundingNote(const NoteTrackerState& state, int row, long long firstSample) {
  const double now = state.bandPower[row], last = state.lastBandPower[row], older = state.olderBandPower[row];
  if (!(older > 0.0 && older * kRestrikeRise > last && last * kRestrikeRise > now)) return false;
  for (int h = 1; h < static_cast<int>(std::size(kHarmonicRows)); ++h) {
    if (row - kHarmonicRows[h] < 0) break;
    const RowNote& lower = state.rows[row - kHarmonicRows[h]];
    if (sounding(lower.phase) && lower.onset < firstSample - (kOnsetBlocks - 1) * kBlockSize) return true;
  }
  return false;
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
bool struckAfterRelease(const NoteTrackerInput& input, const NoteTrackerState& state, const RowNote& note, int row) {
  return note.litPower > 0.0 && state.lastBandPower[row] * kReleaseFall <= note.litPower &&
         attacked(input, state, row);
}

// A dark note lit again was struck again when it rose or an attack followed its release, and it
// came back within a release's fall of its peak, in this block or the dark one: a tail's beat
// rising out of a dark block is far below its strike.
bool struckAgainAfterDark(const NoteTrackerInput& input, const NoteTrackerState& state, const RowNote& note, int row) {
  const bool backNearPeak = std::max(state.bandPower[row], state.lastBandPower[row]) * kReleaseFall > note.peakPower;
  return (roseSinceLit(state, note, row) || struckAfterRelease(input, state, note, row)) && backNearPeak;
}

// An attack brought a released note back within a release's fall of its peak: struck again, not
// a neighbour's attack leaking into its tail.
bool struckInTail(const NoteTrackerInput& input, const NoteTrackerState& state, const RowNote& note, int row) {
  return state.bandPower[row] * kReleaseFall > note.peakPower && attacked(input, state, row);
}

// A second dark block is waited out while the row's power holds and nothing was struck: the
// detector lost the note for a while (a low note's partials named instead); a note let go falls.
bool heldThroughDark(const NoteTrackerInput& input, const NoteTrackerState& state, const RowNote& note, int row) {
  return input.firstSample - note.end == kBlockSize && !fellSinceLit(state, note, row) &&
         !attacked(input, state, row);
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

// A row first lit: a note to be confirmed by the next block, starting no earlier than the last
// one's end. Shown again just after the detector lost it for a block, at the power it had, it is
// the note shown before, from that onset.
void showNote(const NoteTrackerInput& input, const NoteTrackerState& state, RowNote& note, int row, long long onset) {
  const long long end = note.end;
  if (note.blipGone == input.firstSample - kBlockSize && soundedBefore(state, row)) onset = std::min(onset, note.onset);
  note = RowNote{};
  note.phase = RowPhase::Lit;
  note.onset = onset > end ? onset : end;
  note.end = end;
  note.level = partialsPower(state, row);
  note.fullLevel = note.level / windowShareFrom(state, note.onset - input.firstSample);
  readCents(note, row, *input.reading);
}

// The block after a held note fell as a release does: it was let go unless its power came back
// with no strike (strings beating against each other dip a note deeply for a block).
bool endsAfterFall(const NoteTrackerInput& input, NoteTrackerState& state, RowNote& note, int row, long long onset,
                   NoteEvents& out) {
  note.falling = false;
  const bool back = input.scores[row] >= kNamed && state.bandPower[row] * kReleaseFall > note.fallFrom;
  const bool struck = back && struckInTail(input, state, note, row);
  if (back && !struck) return false;
  push(out, endOf(row, note.end));
  note.phase = RowPhase::Tail;
  if (struck) showNote(input, state, note, row, onset);  // struck again just after it was let go
  return true;
}

void stepHeld(const NoteTrackerInput& input, NoteTrackerState& state, RowNote& note, int row, long long onset,
              NoteEvents& out) {
  const long long first = input.firstSample;
  const double last = state.lastBandPower[row];
  if (note.falling && endsAfterFall(input, state, note, row, onset, out)) return;
  note.litPower = last;
  if (!(input.scores[row] >= kNamed)) {
    note.phase = RowPhase::Dark;  // it may be a block the detector missed
    note.end = first;
    note.restruck = false;
  } else if (last > 0.0 && state.bandPower[row] * kReleaseFall <= last) {
    note.end = first + releasedAt(state, state.bandPower[row] / last);
    note.falling = true;
    note.fallFrom = last;
    note.restruck = false;
  } else if (note.restruck) {
    readCents(note, row, *input.reading);
    push(out, endOf(row, note.newOnset));
    push(out, onsetOf(note, row, note.newOnset, partialsPower(state, row)));
    note.onset = note.newOnset;
    note.restruck = false;
    note.peakPower = last;
  } else if (note.onset < first - kBlockSize && rose(state, row) && last * kRestrikeFall <= note.peakPower &&
             standsOut(state, row) && attacked(input, state, row)) {
    note.restruck = true;
    note.newOnset = onset;
    note.level = partialsPower(state, row);
    note.centsRead = false;
    readCents(note, row, *input.reading);
  }
  note.peakPower = std::max(note.peakPower, state.bandPower[row]);
}

// A row first lit is a new note when it stands out from what it and every other row heard
// lately and is no partial of a note sounding.
bool newNote(const NoteTrackerInput& input, const NoteTrackerState& state, int row, const BlockEvidence& block) {
  return standsOut(state, row) && partialsPower(state, row) * kFaintestBesideLoudest >= block.loudestHeard &&
         !partialOfASoundingNote(state, row, input.firstSample);
}

void stepRow(const NoteTrackerInput& input, NoteTrackerState& state, int row, const BlockEvidence& block, NoteEvents& out) {
  RowNote& note = state.rows[row];
  const bool lit = input.scores[row] >= kNamed;
  const long long onset = block.onsets.recent;
  switch (note.phase) {
    case RowPhase::Idle:
      if (lit && newNote(input, state, row, block)) showNote(input, state, note, row, soundedBefore(state, row) ? block.onsets.early : onset);
      break;
    case RowPhase::Lit:
      if (!lit) {
        note.phase = RowPhase::Idle;  // one block is a blip, not a note
        note.blipGone = input.firstSample;
        break;
      }
      readCents(note, row, *input.reading);
      push(out, onsetOf(note, row, note.onset, partialsPower(state, row)));
      note.phase = RowPhase::Held;
      note.peakPower = std::max(state.lastBandPower[row], state.bandPower[row]);
      break;
    case RowPhase::Held:
      stepHeld(input, state, note, row, onset, out);
      break;
    case RowPhase::Tail:
      if (!lit) {
        note.phase = RowPhase::Idle;
      } else if (rose(state, row) && struckInTail(input, state, note, row)) {
        showNote(input, state, note, row, onset);  // struck again while the tail rang, not a neighbour's attack leaking in
      }
      break;
    case RowPhase::Dark:
      if (lit && fellSinceLit(state, note, row)) {
        push(out, endOf(row, note.end));  // released in the dark block: what is lit now is its tail
        note.phase = RowPhase::Tail;
        break;
      }
      if (lit && !struckAgainAfterDark(input, state, note, row)) {
        note.phase = RowPhase::Held;  // dark blocks inside a note that goes on
        break;
      }
      if (!lit && heldThroughDark(input, state, note, row)) break;
      push(out, endOf(row, note.end));
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

}  // namespace

int noteVelocity(double power) { return velocityOf(power); }

bool noteEventBefore(const NoteEvent& a, const NoteEvent& b) {
  if (a.sample != b.sample) return a.sample < b.sample;
  if (a.on != b.on) return !a.on;
  return a.row < b.row;
}

void resetNoteTracker(NoteTrackerState& state) {
  for (int i = 0; i < kBlockSize; ++i) state.window[i] = 0.5 - 0.5 * std::cos(kTwoPi * i / kBlockSize);
  std::memset(state.fftWorkArea, 0, sizeof state.fftWorkArea);
  for (double& power : state.bandPower) power = 0.0;
  forgetPast(state);
  for (RowNote& note : state.rows) note = RowNote{};
  state.endOfLast = -1;
}

void trackNotes(const NoteTrackerInput& input, NoteTrackerState& state, NoteEvents& out) {
  out.count = 0;
  if (input.afterGap && state.endOfLast >= 0) {
    endEveryNote(state, state.endOfLast, out);
    forgetPast(state);
  }
  addFrames(state.frames, input.block);
  measureBands(input, state);  // every block: a note named late is told by the block before
  const BlockEvidence block = weighBlock(state, input.firstSample);
  for (int row = 0; row < kNoteRows; ++row) stepRow(input, state, row, block, out);
  std::memcpy(state.olderBandPower, state.lastBandPower, sizeof state.lastBandPower);
  std::memcpy(state.lastBandPower, state.bandPower, sizeof state.bandPower);
  for (int row = 0; row < kNoteRows; ++row) hear(input, state, row);
  state.endOfLast = input.firstSample + kBlockSize;
}

void finishNotes(NoteTrackerState& state, NoteEvents& out) {
  out.count = 0;
  if (state.endOfLast < 0) return;
  endEveryNote(state, state.endOfLast, out);
  forgetPast(state);
}

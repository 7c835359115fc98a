#include "app/replay_outputs.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include "analysis/detect.hpp"
#include "analysis/note_table.hpp"
#include "app/headless_host.hpp"
#include "app/shell.hpp"
#include "core/tuner_state.hpp"
#include "io/midi_file.hpp"
#include "io/pitch_csv.hpp"
#include "io/png_file.hpp"
#include "platform/regular_file.hpp"
#include "view/palette.hpp"

namespace {

constexpr std::size_t kOutputBufferBytes = 1 << 16;

// An output's steps; a null step does nothing for that output.
struct OutputRow {
  const char* option;                  // as messages and the distinctness check name it
  std::string HeadlessOptions::*path;  // empty: not asked for
  bool readsPitch;                     // reads the notes of the outputs' own precise detector
  bool (*open)(ReplayOutputs&, OutputSlot&, const std::string& path, const HeadlessOptions&, std::string&);
  bool (*start)(ReplayOutputs&, OutputSlot&, std::string&);
  bool (*takeBlock)(ReplayOutputs&, OutputSlot&, long long step, int column, const std::string& input, std::string&);
  // What is written when the run has ended, before the stream closes; the reason without the target.
  bool (*write)(ReplayOutputs&, OutputSlot&, const HeadlessHost&, std::string&);
  bool (*close)(ReplayOutputs&, OutputSlot&, std::string&);  // false with one line naming the target
};

bool openStream(ReplayOutputs&, OutputSlot& slot, const std::string& path, const HeadlessOptions&, std::string& reason) {
  const int fd = createOutput(path, slot.file, reason);
  if (fd < 0) return false;
  slot.stream.reset(streamOnFile(fd, "wb"));
  if (!slot.stream) {
    reason = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  // The scores of an hour come to tens of megabytes: write them in large pieces.
  std::setvbuf(slot.stream.get(), nullptr, _IOFBF, kOutputBufferBytes);
  return true;
}

bool openSound(ReplayOutputs& out, OutputSlot& slot, const std::string& path, const HeadlessOptions&,
               std::string& reason) {
  const int fd = createOutput(path, slot.file, reason);
  return fd >= 0 && out.sound.open(fd, path, reason);
}

bool openRoll(ReplayOutputs& out, OutputSlot& slot, const std::string& path, const HeadlessOptions& options,
              std::string& reason) {
  out.rollScale = options.rollScale;
  return openStream(out, slot, path, options, reason);
}

bool openMidi(ReplayOutputs& out, OutputSlot& slot, const std::string& path, const HeadlessOptions& options,
              std::string& reason) {
  out.notes = std::make_unique<NotesFile>();
  return openStream(out, slot, path, options, reason);
}

bool startScores(ReplayOutputs&, OutputSlot& slot, std::string&) {
  ScoresCsv::writeHeader(slot.stream.get());
  return true;
}

bool startPitch(ReplayOutputs&, OutputSlot& slot, std::string&) {
  writePitchHeader(slot.stream.get());
  return true;
}

bool startMidi(ReplayOutputs& out, OutputSlot& slot, std::string& reason) {
  if (startNotesFile(slot.stream.get(), *out.notes, reason)) return true;
  reason = slot.file.target + ": " + reason;
  return false;
}

bool scoresTakeBlock(ReplayOutputs& out, OutputSlot& slot, long long step, int column, const std::string&,
                     std::string&) {
  out.scores.writeRow(slot.stream.get(), step, column, out.record->history.scores + column * kNoteRows);
  return true;
}

// Keeps a scored block for the roll; false when the roll already holds all a picture may show.
bool rollTakeBlock(ReplayOutputs& out, OutputSlot&, long long, int column, const std::string& input,
                   std::string& reason) {
  if (out.rollScores.blocks() >= mostRollBlocks(out.rollScale)) {
    reason = "--roll: " + input + " scores more than the " + std::to_string(mostRollBlocks(out.rollScale)) +
             " blocks a roll may show at " + std::to_string(out.rollScale) +
             " pixels per block; use fewer --steps or a smaller --roll-scale";
    return false;
  }
  out.rollScores.add(out.record->history.scores + column * kNoteRows);
  return true;
}

bool pitchTakeBlock(ReplayOutputs& out, OutputSlot& slot, long long step, int column, const std::string&,
                    std::string&) {
  const TunerState& tuner = *out.record;
  writePitchRow(slot.stream.get(), step, column, noteDetection.kept.reading, tuner.controls.transposition, tuner.controls.naming);
  return true;
}

// The block the frame step of `step` scored starts where the buffers fed before it complete their last block.
long long scoredBlockStart(long long step) {
  return (step * kFramesPerBuffer / kBlockSize - 1) * kBlockSize;
}

// The notes of the block just scored, as the outputs' precise detector read it, whichever detector scored the rows.
bool midiTakeBlock(ReplayOutputs& out, OutputSlot&, long long step, int, const std::string&, std::string&) {
  const KeptReading& kept = noteDetection.kept;
  addNotesBlock(*out.notes, NoteTrackerInput{kept.scores, &kept.reading, kept.block, out.record->notes.frequency + kNoteRowOffset,
                                             scoredBlockStart(step), kept.afterGap});
  return true;
}

bool writePicture(ReplayOutputs&, OutputSlot& slot, const HeadlessHost& host, std::string& reason) {
  return writePicturePng(slot.stream.get(), host.shownPicture(), reason);
}

bool writeRoll(ReplayOutputs& out, OutputSlot& slot, const HeadlessHost&, std::string& reason) {
  const TunerState& tuner = *out.record;
  return out.rollScores.writePng(slot.stream.get(), out.rollScale, reason, tuner.controls.transposition, tuner.controls.naming,
                                themePalette(tuner.controls.theme));
}

bool writeMidi(ReplayOutputs& out, OutputSlot&, const HeadlessHost&, std::string& reason) {
  return finishNotesFile(*out.notes, reason);
}

// Flushes and closes the slot's stream; false with the target's write error.
bool closeStream(ReplayOutputs&, OutputSlot& slot, std::string& reason) {
  bool ok = std::ferror(slot.stream.get()) == 0;
  ok = (std::fclose(slot.stream.release()) == 0) && ok;
  if (!ok) reason = slot.file.target + ": write error: " + std::strerror(errno);
  return ok;
}

bool closeSound(ReplayOutputs& out, OutputSlot&, std::string& reason) { return out.sound.close(reason); }

// In the order the distinctness check names them and failures are reported.
constexpr OutputRow kOutputRows[kOutputKinds] = {
    {"--scores", &HeadlessOptions::scoresPath, false, openStream, startScores, scoresTakeBlock, nullptr, closeStream},
    {"--picture", &HeadlessOptions::picturePath, false, openStream, nullptr, nullptr, writePicture, closeStream},
    {"--output", &HeadlessOptions::outputPath, false, openSound, nullptr, nullptr, nullptr, closeSound},
    {"--roll", &HeadlessOptions::rollPath, false, openRoll, nullptr, rollTakeBlock, writeRoll, closeStream},
    {"--pitch", &HeadlessOptions::pitchPath, true, openStream, startPitch, pitchTakeBlock, nullptr, closeStream},
    {"--midi", &HeadlessOptions::midiPath, true, openMidi, startMidi, midiTakeBlock, writeMidi, closeStream},
};

// The output's last writing and its close; false with one line naming the target.
bool finishOutput(const OutputRow& row, ReplayOutputs& out, OutputSlot& slot, const HeadlessHost& host,
                  std::string& reason) {
  if (row.write && !row.write(out, slot, host, reason)) {
    reason = slot.file.target + ": " + reason;
    return false;
  }
  return row.close(out, slot, reason);
}

// One line for every output that failed: the first one's reason, the others named after it.
std::string failedOutputsLine(const std::vector<std::pair<std::string, std::string>>& failures) {
  std::string line = failures.front().second;
  for (std::size_t i = 1; i < failures.size(); ++i)
    line += (i == 1 ? "; " : ", ") + failures[i].first + (i + 1 == failures.size() ? " failed too" : "");
  return line;
}

}  // namespace

void ReplayOutputs::discard() {
  for (OutputSlot& slot : slots) slot.stream.reset();
  std::string ignored;
  sound.close(ignored);
  for (OutputSlot& slot : slots) discardOutput(slot.file);
}

std::vector<NamedFile> namedOutputs(const HeadlessOptions& options) {
  std::vector<NamedFile> named;
  for (const OutputRow& row : kOutputRows) named.push_back({row.option, options.*row.path, true});
  return named;
}

bool openOutputs(const HeadlessOptions& options, ReplayOutputs& out, std::string& reason) {
  for (int kind = 0; kind < kOutputKinds; ++kind) {
    const OutputRow& row = kOutputRows[kind];
    OutputSlot& slot = out.slots[kind];
    slot.asked = !(options.*row.path).empty();
    if (slot.asked && !row.open(out, slot, options.*row.path, options, reason)) return false;
  }
  return true;
}

bool startOutputs(ReplayOutputs& out, std::string& reason) {
  for (int kind = 0; kind < kOutputKinds; ++kind)
    if (out.slots[kind].asked && kOutputRows[kind].start && !kOutputRows[kind].start(out, out.slots[kind], reason))
      return false;
  return true;
}

bool outputsReadPitch(const ReplayOutputs& out) {
  for (int kind = 0; kind < kOutputKinds; ++kind)
    if (out.slots[kind].asked && kOutputRows[kind].readsPitch) return true;
  return false;
}

bool outputsTakeBlock(ReplayOutputs& out, long long step, int column, const std::string& input, std::string& reason) {
  for (int kind = 0; kind < kOutputKinds; ++kind) {
    const OutputRow& row = kOutputRows[kind];
    if (out.slots[kind].asked && row.takeBlock && !row.takeBlock(out, out.slots[kind], step, column, input, reason))
      return false;
  }
  return true;
}

void outputsTakeSound(ReplayOutputs& out, const float* samples, int count) {
  if (out.sound.isOpen()) out.sound.write(samples, count);
}

bool finishOutputs(const HeadlessHost& host, ReplayOutputs& out, std::string& problem) {
  std::vector<std::pair<std::string, std::string>> failures;  // the target, the reason
  std::string reason;
  for (int kind = 0; kind < kOutputKinds; ++kind) {
    OutputSlot& slot = out.slots[kind];
    if (slot.asked && !finishOutput(kOutputRows[kind], out, slot, host, reason))
      failures.emplace_back(slot.file.target, reason);
  }
  if (failures.empty()) {
    for (OutputSlot& slot : out.slots)
      if (!commitOutput(slot.file, reason)) failures.emplace_back(slot.file.target, reason);
  }
  if (failures.empty()) return true;
  out.discard();
  problem = failedOutputsLine(failures);
  return false;
}

#include "app/replay.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/detect.hpp"
#include "analysis/note_table.hpp"
#include "app/data_paths.hpp"
#include "app/headless_host.hpp"
#include "app/progress.hpp"
#include "io/output_files.hpp"
#include "platform/file_names.hpp"
#include "platform/process.hpp"
#include "platform/regular_file.hpp"
#include "platform/stop_signals.hpp"
#include "platform/terminal.hpp"
#include "app/replay_events.hpp"
#include "io/roll_output.hpp"
#include "app/shell.hpp"
#include "io/notes_file.hpp"
#include "io/png_file.hpp"
#include "io/sound_input.hpp"
#include "io/sound_output.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "view/font.hpp"
#include "view/palette.hpp"

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The events file, read as the run reaches the steps of its events.
struct EventsFile {
  std::ifstream stream;
  std::optional<ReplayEventReader> reader;
  ReplayEvent next;      // the next event to apply
  bool pending = false;  // false once the file has no more
};

// The run's steps while the input has not yet shown where it ends.
constexpr long long kStepsUntilTheInputEnds = std::numeric_limits<long long>::max();

struct ReplayInputs {
  MonoSoundReader input;
  EventsFile events;
  long long steps = 0;
  bool followsInput = false;  // the steps are those of the input's length, learnt at its end
  long long foreseenSteps = 0;  // the steps asked for, or those of a header the file bears out; 0: not known
};

struct ReplayOutputs {
  FilePtr scores{nullptr, std::fclose};
  FilePtr picture{nullptr, std::fclose};
  FloatWavWriter sound;
  FilePtr roll{nullptr, std::fclose};
  RollScores rollScores;
  int rollScale = 1;
  FilePtr pitch{nullptr, std::fclose};
  FilePtr midi{nullptr, std::fclose};
  std::unique_ptr<NotesFile> notes;  // the tracker's state is large: kept off the stack
  OutputFile scoresFile, pictureFile, soundFile, rollFile, pitchFile, midiFile;

  void discard() {
    scores.reset();
    picture.reset();
    roll.reset();
    pitch.reset();
    midi.reset();
    std::string ignored;
    sound.close(ignored);
    for (OutputFile* file : {&scoresFile, &pictureFile, &soundFile, &rollFile, &pitchFile, &midiFile})
      discardOutput(*file);
  }
};

constexpr std::size_t kOutputBufferBytes = 1 << 16;

FilePtr openForWriting(const std::string& path, OutputFile& file, std::string& reason) {
  int fd = createOutput(path, file, reason);
  if (fd < 0) return FilePtr(nullptr, std::fclose);
  FilePtr stream(streamOnFile(fd, "wb"), std::fclose);
  if (!stream) {
    reason = path + ": cannot write: " + std::strerror(errno);
    return stream;
  }
  // The scores of an hour come to tens of megabytes: write them in large pieces.
  std::setvbuf(stream.get(), nullptr, _IOFBF, kOutputBufferBytes);
  return stream;
}

// Takes the next event from the file, if any; false with "FILE:LINE: what" in `reason`.
bool advanceEvents(EventsFile& events, std::string& reason) {
  events.pending = false;
  if (!events.reader) return true;
  const ReplayEventReader::Got got = events.reader->next(events.next, reason);
  events.pending = got == ReplayEventReader::Got::Event;
  return got != ReplayEventReader::Got::Error;
}

// The whole file is read once before the run, an event at a time, so that a mistake on any line
// refuses the run before it starts; the run reads it again as it reaches the steps.
bool openEvents(const std::string& path, EventsFile& events, std::string& reason) {
  int fd = openInputFile(path, reason);
  if (fd < 0) return false;
  closeFile(fd);
  events.stream.open(nativePath(path), std::ios::binary);
  if (!events.stream) {
    reason = path + ": cannot read: " + std::strerror(errno);
    return false;
  }
  ReplayEventReader check(events.stream, path);
  for (ReplayEventReader::Got got = ReplayEventReader::Got::Event; got != ReplayEventReader::Got::End;) {
    got = check.next(events.next, reason);
    if (got == ReplayEventReader::Got::Error || takenStopSignal() != 0) return false;  // a long file may be stopped
  }
  events.stream.clear();
  if (!events.stream.seekg(0)) {
    reason = path + ": cannot read it again from its start";
    return false;
  }
  events.reader.emplace(events.stream, path);
  return advanceEvents(events, reason);
}

bool openOutputs(const HeadlessOptions& options, ReplayOutputs& out, std::string& reason) {
  if (!options.scoresPath.empty()) {
    out.scores = openForWriting(options.scoresPath, out.scoresFile, reason);
    if (!out.scores) return false;
  }
  if (!options.picturePath.empty()) {
    out.picture = openForWriting(options.picturePath, out.pictureFile, reason);
    if (!out.picture) return false;
  }
  if (!options.outputPath.empty()) {
    int fd = createOutput(options.outputPath, out.soundFile, reason);
    if (fd < 0 || !out.sound.open(fd, options.outputPath, reason)) return false;
  }
  if (!options.rollPath.empty()) {
    out.roll = openForWriting(options.rollPath, out.rollFile, reason);
    if (!out.roll) return false;
    out.rollScale = options.rollScale;
  }
  if (!options.pitchPath.empty()) {
    out.pitch = openForWriting(options.pitchPath, out.pitchFile, reason);
    if (!out.pitch) return false;
  }
  if (!options.midiPath.empty()) {
    out.midi = openForWriting(options.midiPath, out.midiFile, reason);
    if (!out.midi) return false;
    out.notes = std::make_unique<NotesFile>();
  }
  return true;
}

// The steps the roll is checked and reserved for before the run, and progress is shown against:
// those asked for, or those of the input's length where the file really holds what its header
// claims. 0 where it does not: the run counts the blocks it keeps instead.
long long stepsForeseen(const HeadlessOptions& options, const MonoSoundReader& input) {
  if (options.steps >= 0) return options.steps;
  const long long claimed = input.frames();  // at 44100 Hz; the file is asked at its own rate
  if (claimed <= 0 || !soundFileHoldsFrame(options.input, input.fileFrames() - 1)) return 0;
  return defaultReplaySteps(static_cast<std::size_t>(claimed));
}

// Everything that can be wrong with the request is found here, before start-up; the outputs are
// opened last. The length is foreseen for the roll, and for progress where `watched`. Returns the
// exit status, kExitSuccess when the run can go ahead.
int prepare(const HeadlessOptions& options, bool watched, ReplayInputs& in, ReplayOutputs& out, std::string& reason) {
  const std::vector<NamedFile> named = {
      {"INPUT", options.input, false},           {"--events", options.eventsPath, false},
      {"--scores", options.scoresPath, true},    {"--picture", options.picturePath, true},
      {"--output", options.outputPath, true},    {"--roll", options.rollPath, true},
      {"--pitch", options.pitchPath, true},      {"--midi", options.midiPath, true},
      {"the font", findFontPath(), false},
  };
  if (!checkOutputsDistinct(named, reason)) return kExitUsage;
  if (!options.eventsPath.empty() && !openEvents(options.eventsPath, in.events, reason)) return kExitUsage;
  if (!in.input.open(options.input, reason)) return kExitUsage;
  in.input.convertAhead();  // the analysis keeps this thread busy: another converts
  in.followsInput = options.steps < 0;
  in.steps = in.followsInput ? kStepsUntilTheInputEnds : options.steps;
  if (!options.rollPath.empty() || watched) in.foreseenSteps = stepsForeseen(options, in.input);
  if (!options.rollPath.empty() && !checkRollFits(in.foreseenSteps, options.rollScale, reason)) return kExitUsage;
  if (openOutputs(options, out, reason)) return kExitSuccess;
  out.discard();
  return kExitWriteFailed;
}

void writeScoresHeader(std::FILE* file) {
  std::fputs("step,column", file);
  for (int row = 0; row < kNoteRows; ++row) std::fprintf(file, ",%s", noteRowName(row).c_str());
  std::fputc('\n', file);
}

// Nine significant digits read back as the same float. to_chars with a precision writes
// what printf's %.9g writes, at a fraction of the cost.
constexpr int kScoreDigits = 9;
constexpr std::size_t kLongestField = 32;  // a comma and a number, with room to spare

// Most rows keep their score from one block to the next (a quiet row sits at its floor),
// so each row remembers the text of its last score.
struct ScoreText {
  std::uint32_t bits = 0;
  bool known = false;
  std::uint8_t length = 0;
  char text[kLongestField];
};
ScoreText scoreTexts[kNoteRows];

char* writeScore(char* out, char* end, int row, float score) {
  ScoreText& memo = scoreTexts[row];
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(score);
  if (!memo.known || memo.bits != bits) {
    const char* written = std::to_chars(memo.text, memo.text + sizeof memo.text, static_cast<double>(score),
                                        std::chars_format::general, kScoreDigits).ptr;
    memo.bits = bits;
    memo.known = true;
    memo.length = static_cast<std::uint8_t>(written - memo.text);
  }
  const std::size_t room = static_cast<std::size_t>(end - out);
  const std::size_t length = memo.length < room ? memo.length : room;
  std::memcpy(out, memo.text, length);
  return out + length;
}

void writeScoresRow(std::FILE* file, long long step, int column) {
  char line[2 * kLongestField + kNoteRows * kLongestField + 1];
  char* const end = line + sizeof line - 1;  // room for the newline
  char* out = std::to_chars(line, end, step).ptr;
  *out++ = ',';
  out = std::to_chars(out, end, column).ptr;
  const float* scores = tuner.scoreHistory + column * kNoteRows;
  for (int row = 0; row < kNoteRows && out < end; ++row) {
    *out++ = ',';
    out = writeScore(out, end, row, scores[row]);
  }
  *out++ = '\n';
  std::fwrite(line, 1, static_cast<std::size_t>(out - line), file);
}

// The precise reading of one scored block; a block where nothing sounds leaves the fields empty.
void writePitchRow(std::FILE* file, long long step, int column) {
  const PitchReading& reading = keptReading().reading;
  if (reading.row < 0) {
    std::fprintf(file, "%lld,%d,,,,\n", step, column);
    return;
  }
  // Rounded first, so that a hair below zero reads +0.0 rather than -0.0.
  const double cents = std::round(reading.cents * 10.0) / 10.0;
  char name[kNoteNameSize];
  noteRowNameInto(reading.row + tuner.transposition, name, tuner.naming);  // the written name; the row stays concert
  std::fprintf(file, "%lld,%d,%s,%.2f,%+.1f,%.3f\n", step, column, name, reading.frequency, cents == 0.0 ? 0.0 : cents,
               reading.confidence);
}

// The block the frame step of `step` scored starts where the buffers fed before it complete their last block.
long long scoredBlockStart(long long step) {
  return (step * kFramesPerBuffer / kBlockSize - 1) * kBlockSize;
}

// The notes of the block just scored, as the outputs' precise detector read it, whichever detector scored the rows.
void addNotes(ReplayOutputs& out, long long step) {
  const KeptReading& kept = keptReading();
  addNotesBlock(*out.notes, NoteTrackerInput{kept.scores, &kept.reading, kept.block, tuner.noteFrequency + kNoteRowOffset,
                                             scoredBlockStart(step), kept.afterGap});
}

void applyEvent(HeadlessHost& host, const ReplayEvent& event) {
  switch (event.kind) {
    case ReplayEvent::KeyDown: host.keys().set(event.keyCode, true); break;
    case ReplayEvent::KeyUp: host.keys().set(event.keyCode, false); break;
    case ReplayEvent::Window: dispatchEvent(host, event.window); break;
  }
}

// Feeds one buffer of input (zeros past the end) through the callback and keeps its output. Where
// the run lasts as long as the input, the end of the input sets its steps.
bool audioStep(ReplayInputs& in, ReplayOutputs& out, std::string& reason) {
  float input[kFramesPerBuffer];  // the reader fills all of it, with silence past the end
  float output[kFramesPerBuffer];
  if (!in.input.read(input, kFramesPerBuffer, reason)) return false;
  if (in.followsInput && in.input.ended()) in.steps = defaultReplaySteps(static_cast<std::size_t>(in.input.samplesRead()));
  audioCallback(input, output, kFramesPerBuffer);
  if (out.sound.isOpen()) out.sound.write(output, kFramesPerBuffer);
  return true;
}

// Keeps a scored block for the roll; false when the roll already holds all a picture may show.
bool keepRollBlock(ReplayOutputs& out, const std::string& input, int column, std::string& reason) {
  if (out.rollScores.blocks() >= mostRollBlocks(out.rollScale)) {
    reason = "--roll: " + input + " scores more than the " + std::to_string(mostRollBlocks(out.rollScale)) +
             " blocks a roll may show at " + std::to_string(out.rollScale) +
             " pixels per block; use fewer --steps or a smaller --roll-scale";
    return false;
  }
  out.rollScores.add(tuner.scoreHistory + column * kNoteRows);
  return true;
}

enum class RunEnd { Completed, Stopped, Failed };

// The steps to show progress against: the run's own once they are known, else those foreseen.
long long expectedSteps(const ReplayInputs& in) {
  return in.steps != kStepsUntilTheInputEnds ? in.steps : in.foreseenSteps;
}

RunEnd runSteps(HeadlessHost& host, ReplayInputs& in, ReplayOutputs& out, const std::string& input,
                ProgressLine& progress, std::string& reason) {
  for (long long step = 0; step < in.steps; ++step) {
    if (takenStopSignal() != 0) return RunEnd::Stopped;
    progress.update(step, expectedSteps(in));
    while (in.events.pending && in.events.next.step == step) {
      applyEvent(host, in.events.next);
      if (!advanceEvents(in.events, reason)) return RunEnd::Failed;
    }
    int column = tuner.historyColumn.load(std::memory_order_relaxed);
    if (!loopTurn(host)) break;
    const bool scored = tuner.historyColumn.load(std::memory_order_relaxed) != column;
    if (out.scores && scored) writeScoresRow(out.scores.get(), step, column);
    if (out.pitch && scored) writePitchRow(out.pitch.get(), step, column);
    if (out.midi && scored) addNotes(out, step);
    if (out.roll && scored && !keepRollBlock(out, input, column, reason)) return RunEnd::Failed;
    if (!audioStep(in, out, reason)) return RunEnd::Failed;
  }
  return RunEnd::Completed;
}

bool finishFile(FilePtr& file, const OutputFile& target, std::string& reason) {
  bool ok = std::ferror(file.get()) == 0;
  ok = (std::fclose(file.release()) == 0) && ok;
  if (!ok) reason = target.target + ": write error: " + std::strerror(errno);
  return ok;
}

// One line for every output that failed: the first one's reason, the others named after it.
std::string failedOutputsLine(const std::vector<std::pair<std::string, std::string>>& failures) {
  std::string line = failures.front().second;
  for (std::size_t i = 1; i < failures.size(); ++i)
    line += (i == 1 ? "; " : ", ") + failures[i].first + (i + 1 == failures.size() ? " failed too" : "");
  return line;
}

// Finishes every output; only when all are whole do they replace their targets. False with
// one line saying what went wrong, however many outputs it went wrong for.
bool writeOutputs(const HeadlessHost& host, ReplayOutputs& out, std::string& problem) {
  std::vector<std::pair<std::string, std::string>> failures;  // the target, the reason
  std::string reason;
  auto fail = [&](const OutputFile& file, const std::string& what) { failures.emplace_back(file.target, what); };
  if (out.scores && !finishFile(out.scores, out.scoresFile, reason)) fail(out.scoresFile, reason);
  if (out.picture) {
    if (!writePicturePng(out.picture.get(), host.shownPicture(), reason))
      fail(out.pictureFile, out.pictureFile.target + ": " + reason);
    else if (!finishFile(out.picture, out.pictureFile, reason))
      fail(out.pictureFile, reason);
  }
  if (!out.sound.close(reason)) fail(out.soundFile, reason);
  if (out.roll) {
    if (!out.rollScores.writePng(out.roll.get(), out.rollScale, reason, tuner.transposition, tuner.naming,
                                 themePalette(tuner.theme)))
      fail(out.rollFile, out.rollFile.target + ": " + reason);
    else if (!finishFile(out.roll, out.rollFile, reason))
      fail(out.rollFile, reason);
  }
  if (out.pitch && !finishFile(out.pitch, out.pitchFile, reason)) fail(out.pitchFile, reason);
  if (out.midi) {
    if (!finishNotesFile(*out.notes, reason))
      fail(out.midiFile, out.midiFile.target + ": " + reason);
    else if (!finishFile(out.midi, out.midiFile, reason))
      fail(out.midiFile, reason);
  }
  if (failures.empty()) {
    for (OutputFile* file : {&out.scoresFile, &out.pictureFile, &out.soundFile, &out.rollFile, &out.pitchFile,
                             &out.midiFile})
      if (!commitOutput(*file, reason)) fail(*file, reason);
  }
  if (failures.empty()) return true;
  out.discard();
  problem = failedOutputsLine(failures);
  return false;
}

}  // namespace

long long defaultReplaySteps(std::size_t inputSamples) {
  return static_cast<long long>((inputSamples + kFramesPerBuffer - 1) / kFramesPerBuffer) + 1;
}

int runHeadless(const HeadlessOptions& options, std::FILE* errors) {
  auto say = [errors](const std::string& what) { std::fprintf(errors, "sonavel: %s\n", what.c_str()); };
  StopSignals signals;  // before anything is written: a stop at any point ends the run as one at a step
  auto stopped = [&](ReplayOutputs& out) {
    out.discard();
    const int signal = takenStopSignal();
    say("stopped by " + stopSignalName(signal) + "; no output written");
    return kExitSignalBase + signal;
  };
  const bool watched = isTerminal(errors);
  ReplayInputs in;
  ReplayOutputs out;
  std::string reason;
  const int refused = prepare(options, watched, in, out, reason);
  if (takenStopSignal() != 0) return stopped(out);
  if (refused != kExitSuccess) {
    say(reason);
    return refused;
  }
  // Scripts and tests see the same lines at any rate; a person at a terminal is told.
  if (in.input.fileRate() != kReplaySampleRate && watched)
    say(conversionLine(options.input, in.input.fileRate()));
  if (out.scores) writeScoresHeader(out.scores.get());
  if (out.pitch) std::fputs("step,column,note,hz,cents,confidence\n", out.pitch.get());
  if (out.midi && !startNotesFile(out.midi.get(), *out.notes, reason)) {
    out.discard();
    say(out.midiFile.target + ": " + reason);
    return kExitWriteFailed;
  }

  HeadlessHost host;
  Notices notices;
  if (startUp(host, reason, notices) != StartResult::Running) {
    out.discard();
    say("cannot start: " + reason);
    return kExitCannotStart;
  }
  for (const std::string& notice : notices) say(notice);
  keepPitchReading(out.pitch || out.midi);
  if (out.roll) {
    out.rollScores.reserveFor(in.foreseenSteps);
    out.rollScores.keepFont(font);
  }
  ProgressLine progress(errors, watched);
  RunEnd end = runSteps(host, in, out, options.input, progress, reason);
  progress.finish();
  if (!tuner.quitting) shutDown(host);
  if (takenStopSignal() != 0) return stopped(out);
  if (end == RunEnd::Failed) {
    out.discard();
    say(reason + "; no output written");
    return kExitUsage;
  }
  if (writeOutputs(host, out, reason)) return kExitSuccess;
  if (takenStopSignal() != 0) return stopped(out);  // a write the signal broke off
  say(reason);
  return kExitWriteFailed;
}

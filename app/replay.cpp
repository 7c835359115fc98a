#include "app/replay.hpp"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "analysis/note_table.hpp"
#include "app/headless_host.hpp"
#include "io/output_files.hpp"
#include "platform/regular_file.hpp"
#include "app/replay_events.hpp"
#include "io/roll_output.hpp"
#include "app/shell.hpp"
#include "io/png_file.hpp"
#include "io/sound_input.hpp"
#include "io/sound_output.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "view/font.hpp"

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

constexpr int kProgressCheckSteps = 256;
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

struct ReplayInputs {
  MonoSoundReader input;
  std::vector<ReplayEvent> events;
  long long steps = 0;
};

struct ReplayOutputs {
  FilePtr scores{nullptr, std::fclose};
  FilePtr picture{nullptr, std::fclose};
  FloatWavWriter sound;
  FilePtr roll{nullptr, std::fclose};
  RollScores rollScores;
  int rollScale = 1;
  OutputFile scoresFile, pictureFile, soundFile, rollFile;

  void discard() {
    scores.reset();
    picture.reset();
    roll.reset();
    std::string ignored;
    sound.close(ignored);
    for (OutputFile* file : {&scoresFile, &pictureFile, &soundFile, &rollFile}) discardOutput(*file);
  }
};

// The signal that asked a run to stop, 0 while none has.
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void noteStopSignal(int signal) { stopSignal = signal; }

// SIGINT and SIGTERM end the run at the next step instead of killing it mid-write.
class StopSignals {
 public:
  StopSignals() {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kCount; ++i) sigaction(kSignals[i], &action, &saved_[i]);
  }
  ~StopSignals() {
    for (int i = 0; i < kCount; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  static constexpr int kCount = 2;
  static constexpr int kSignals[kCount] = {SIGINT, SIGTERM};
  struct sigaction saved_[kCount] {};
};

constexpr std::size_t kOutputBufferBytes = 1 << 16;

FilePtr openForWriting(const std::string& path, OutputFile& file, std::string& reason) {
  int fd = createOutput(path, file, reason);
  if (fd < 0) return FilePtr(nullptr, std::fclose);
  FilePtr stream(::fdopen(fd, "wb"), std::fclose);
  if (!stream) {
    reason = path + ": cannot write: " + std::strerror(errno);
    ::close(fd);
    return stream;
  }
  // The scores of an hour come to tens of megabytes: write them in large pieces.
  std::setvbuf(stream.get(), nullptr, _IOFBF, kOutputBufferBytes);
  return stream;
}

bool readEvents(const std::string& path, std::vector<ReplayEvent>& events, std::string& reason) {
  int fd = openInputFile(path, reason);
  if (fd < 0) return false;
  ::close(fd);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    reason = path + ": cannot read: " + std::strerror(errno);
    return false;
  }
  return parseReplayEvents(in, path, events, reason);
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
  return true;
}

// Everything that can be wrong with the request is found here, before start-up.
bool prepare(const HeadlessOptions& options, ReplayInputs& in, ReplayOutputs& out, std::string& reason) {
  const std::vector<NamedFile> named = {
      {"INPUT", options.input, false},           {"--events", options.eventsPath, false},
      {"--scores", options.scoresPath, true},    {"--picture", options.picturePath, true},
      {"--output", options.outputPath, true},    {"--roll", options.rollPath, true},
  };
  if (!checkOutputsDistinct(named, reason)) return false;
  if (!options.eventsPath.empty() && !readEvents(options.eventsPath, in.events, reason)) return false;
  if (!in.input.open(options.input, reason)) return false;
  in.input.convertAhead();  // the analysis keeps this thread busy: another converts
  in.steps = options.steps >= 0 ? options.steps : defaultReplaySteps(static_cast<std::size_t>(in.input.frames()));
  if (!options.rollPath.empty() && !checkRollFits(in.steps, options.rollScale, reason)) return false;
  if (openOutputs(options, out, reason)) return true;
  out.discard();
  return false;
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

// Shows how far a long replay has come, only where someone watches stderr.
class Progress {
 public:
  Progress(std::FILE* errors, long long total)
      : errors_(errors), total_(total), shown_(isatty(fileno(errors)) != 0), last_(Clock::now()) {}

  void update(long long step) {
    if (!shown_ || step % kProgressCheckSteps != 0) return;
    auto now = Clock::now();
    if (now - last_ < kProgressInterval) return;
    last_ = now;
    printed_ = true;
    std::fprintf(errors_, "\rsonavel: step %lld of %lld (%lld%%)", step, total_, step * 100 / total_);
    std::fflush(errors_);
  }
  void finish() {
    if (printed_) std::fputc('\n', errors_);
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::FILE* errors_;
  long long total_;
  bool shown_;
  bool printed_ = false;
  Clock::time_point last_;
};

void applyEvent(HeadlessHost& host, const ReplayEvent& event) {
  switch (event.kind) {
    case ReplayEvent::KeyDown: host.keys().set(event.keyCode, true); break;
    case ReplayEvent::KeyUp: host.keys().set(event.keyCode, false); break;
    case ReplayEvent::Window: dispatchEvent(host, event.window); break;
  }
}

// Feeds one buffer of input (zeros past the end) through the callback and keeps its output.
bool audioStep(ReplayInputs& in, long long step, ReplayOutputs& out, std::string& reason) {
  float input[kFramesPerBuffer];  // the reader fills all of it, with silence past the end
  float output[kFramesPerBuffer];
  if (step * kFramesPerBuffer >= in.input.frames())
    std::fill(input, input + kFramesPerBuffer, 0.0f);
  else if (!in.input.read(input, kFramesPerBuffer, reason))
    return false;
  audioCallback(input, output, kFramesPerBuffer);
  if (out.sound.isOpen()) out.sound.write(output, kFramesPerBuffer);
  return true;
}

enum class RunEnd { Completed, Stopped, ReadFailed };

RunEnd runSteps(HeadlessHost& host, ReplayInputs& in, ReplayOutputs& out, Progress& progress, std::string& reason) {
  std::size_t nextEvent = 0;
  RunEnd end = RunEnd::Completed;
  for (long long step = 0; step < in.steps; ++step) {
    if (stopSignal != 0) {
      end = RunEnd::Stopped;
      break;
    }
    progress.update(step);
    while (nextEvent < in.events.size() && in.events[nextEvent].step == step) applyEvent(host, in.events[nextEvent++]);
    int column = tuner.historyColumn.load(std::memory_order_relaxed);
    if (!loopTurn(host)) break;
    const bool scored = tuner.historyColumn.load(std::memory_order_relaxed) != column;
    if (out.scores && scored) writeScoresRow(out.scores.get(), step, column);
    if (out.roll && scored) out.rollScores.add(tuner.scoreHistory + column * kNoteRows);
    if (!audioStep(in, step, out, reason)) {
      end = RunEnd::ReadFailed;
      break;
    }
  }
  return end;
}

bool finishFile(FilePtr& file, const OutputFile& target, std::string& reason) {
  bool ok = std::ferror(file.get()) == 0;
  ok = (std::fclose(file.release()) == 0) && ok;
  if (!ok) reason = target.target + ": write error: " + std::strerror(errno);
  return ok;
}

// Finishes every output; only when all are whole do they replace their targets. False with
// what went wrong in `problems`, a line each.
bool writeOutputs(const HeadlessHost& host, ReplayOutputs& out, std::vector<std::string>& problems) {
  bool ok = true;
  std::string reason;
  auto fail = [&](const std::string& what) {
    problems.push_back(what);
    ok = false;
  };
  if (out.scores && !finishFile(out.scores, out.scoresFile, reason)) fail(reason);
  if (out.picture) {
    if (!writePicturePng(out.picture.get(), host.shownPicture(), reason))
      fail(out.pictureFile.target + ": " + reason);
    else if (!finishFile(out.picture, out.pictureFile, reason))
      fail(reason);
  }
  if (!out.sound.close(reason)) fail(reason);
  if (out.roll) {
    if (!out.rollScores.writePng(out.roll.get(), out.rollScale, reason))
      fail(out.rollFile.target + ": " + reason);
    else if (!finishFile(out.roll, out.rollFile, reason))
      fail(reason);
  }
  if (!ok) {
    out.discard();
    return false;
  }
  for (OutputFile* file : {&out.scoresFile, &out.pictureFile, &out.soundFile, &out.rollFile})
    if (!commitOutput(*file, reason)) fail(reason);
  return ok;
}

std::string signalName(int signal) { return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal"; }

}  // namespace

long long defaultReplaySteps(std::size_t inputSamples) {
  return static_cast<long long>((inputSamples + kFramesPerBuffer - 1) / kFramesPerBuffer) + 1;
}

int runHeadless(const HeadlessOptions& options, std::FILE* errors) {
  auto say = [errors](const std::string& what) { std::fprintf(errors, "sonavel: %s\n", what.c_str()); };
  StopSignals signals;
  ReplayInputs in;
  ReplayOutputs out;
  std::string reason;
  if (!prepare(options, in, out, reason)) {
    say(reason);
    return kExitUsage;
  }
  // Scripts and tests see the same lines at any rate; a person at a terminal is told.
  if (in.input.fileRate() != kReplaySampleRate && isatty(fileno(errors)) != 0)
    say(conversionLine(options.input, in.input.fileRate()));
  if (out.scores) writeScoresHeader(out.scores.get());

  HeadlessHost host;
  Notices notices;
  if (startUp(host, reason, notices) != StartResult::Running) {
    out.discard();
    say("cannot start: " + reason);
    return kExitCannotStart;
  }
  for (const std::string& notice : notices) say(notice);
  if (out.roll) {
    out.rollScores.reserveFor(in.steps);
    out.rollScores.keepFont(font);
  }
  Progress progress(errors, std::max(in.steps, 1LL));
  RunEnd end = runSteps(host, in, out, progress, reason);
  progress.finish();
  if (!tuner.quitting) shutDown(host);
  if (end == RunEnd::Completed && stopSignal == 0) {
    std::vector<std::string> problems;
    const bool written = writeOutputs(host, out, problems);
    for (const std::string& problem : problems) say(problem);
    return written ? kExitSuccess : kExitWriteFailed;
  }
  out.discard();
  if (end == RunEnd::ReadFailed) {
    say(reason + "; no output written");
    return kExitUsage;
  }
  const int signal = stopSignal;
  say("stopped by " + signalName(signal) + "; no output written");
  return kExitSignalBase + signal;
}

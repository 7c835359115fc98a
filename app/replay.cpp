#include "app/replay.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "app/headless_host.hpp"
#include "app/replay_events.hpp"
#include "app/shell.hpp"
#include "app/sound_files.hpp"
#include "app/tuner_state.hpp"
#include "audio/audio_callback.hpp"

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

constexpr const char* kPitchNames[kPitchClasses] = {"A", "A#", "B", "C", "C#", "D",
                                                   "D#", "E", "F", "F#", "G", "G#"};
constexpr int kRowsBelowFirstC = 3;    // row 0 is A1; octave numbers change at C
constexpr int kFirstRowOctave = 1;
constexpr int kProgressCheckSteps = 256;
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

struct ReplayInputs {
  std::vector<float> input;
  std::vector<ReplayEvent> events;
  long long steps = 0;
};

struct ReplayOutputs {
  FilePtr scores{nullptr, std::fclose};
  FilePtr picture{nullptr, std::fclose};
  FloatWavWriter sound;
  std::string scoresPath;
  std::string picturePath;
};

FilePtr openForWriting(const std::string& path, std::string& reason) {
  FilePtr file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) reason = path + ": cannot write: " + std::strerror(errno);
  return file;
}

// Everything that can be wrong with the request is found here, before start-up.
bool prepare(const HeadlessOptions& options, ReplayInputs& in, ReplayOutputs& out, std::string& reason) {
  if (!options.eventsPath.empty()) {
    std::ifstream events(options.eventsPath, std::ios::binary);
    if (!events) {
      reason = options.eventsPath + ": cannot read: " + std::strerror(errno);
      return false;
    }
    if (!parseReplayEvents(events, options.eventsPath, in.events, reason)) return false;
  }
  if (!readMonoSound(options.input, in.input, reason)) return false;
  in.steps = options.steps >= 0 ? options.steps : defaultReplaySteps(in.input.size());
  if (!options.scoresPath.empty()) {
    out.scores = openForWriting(options.scoresPath, reason);
    if (!out.scores) return false;
    out.scoresPath = options.scoresPath;
  }
  if (!options.picturePath.empty()) {
    out.picture = openForWriting(options.picturePath, reason);
    if (!out.picture) return false;
    out.picturePath = options.picturePath;
  }
  if (!options.outputPath.empty() && !out.sound.open(options.outputPath, reason)) return false;
  return true;
}

void writeScoresHeader(std::FILE* file) {
  std::fputs("step,column", file);
  for (int row = 0; row < kNoteRows; ++row) std::fprintf(file, ",%s", noteRowName(row).c_str());
  std::fputc('\n', file);
}

// Nine significant digits read back as the same float. to_chars with a precision writes
// what printf's %.9g writes, at a fraction of the cost.
void writeScoresRow(std::FILE* file, long long step, int column) {
  constexpr int kDigits = 9;
  constexpr std::size_t kLongestField = 32;  // a comma and a number, with room to spare
  char line[2 * kLongestField + kNoteRows * kLongestField + 1];
  char* const end = line + sizeof line - 1;  // room for the newline
  char* out = std::to_chars(line, end, step).ptr;
  *out++ = ',';
  out = std::to_chars(out, end, column).ptr;
  const float* scores = tuner.scoreHistory + column * kNoteRows;
  for (int row = 0; row < kNoteRows && out < end; ++row) {
    *out++ = ',';
    out = std::to_chars(out, end, static_cast<double>(scores[row]), std::chars_format::general, kDigits).ptr;
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
void audioStep(const std::vector<float>& input, long long step, ReplayOutputs& out) {
  float in[kFramesPerBuffer] = {};
  float outBuffer[kFramesPerBuffer];
  std::size_t first = static_cast<std::size_t>(step) * kFramesPerBuffer;
  if (first < input.size()) {
    std::size_t count = std::min<std::size_t>(kFramesPerBuffer, input.size() - first);
    std::memcpy(in, input.data() + first, count * sizeof(float));
  }
  audioCallback(in, outBuffer, kFramesPerBuffer);
  if (out.sound.isOpen()) out.sound.write(outBuffer, kFramesPerBuffer);
}

void runSteps(HeadlessHost& host, const ReplayInputs& in, ReplayOutputs& out, std::FILE* errors) {
  Progress progress(errors, std::max(in.steps, 1LL));
  std::size_t nextEvent = 0;
  for (long long step = 0; step < in.steps; ++step) {
    progress.update(step);
    while (nextEvent < in.events.size() && in.events[nextEvent].step == step) applyEvent(host, in.events[nextEvent++]);
    if (tuner.quitting) break;
    int column = tuner.historyColumn.load(std::memory_order_relaxed);
    if (!frameStep(host)) {
      shutDown(host);
      break;
    }
    tuner.leftClicked = false;
    if (out.scores && tuner.historyColumn.load(std::memory_order_relaxed) != column)
      writeScoresRow(out.scores.get(), step, column);
    audioStep(in.input, step, out);
  }
  progress.finish();
}

bool finishFile(FilePtr& file, const std::string& path, std::string& reason) {
  bool ok = std::ferror(file.get()) == 0;
  ok = (std::fclose(file.release()) == 0) && ok;
  if (!ok) reason = path + ": write error";
  return ok;
}

bool writeOutputs(const HeadlessHost& host, ReplayOutputs& out, std::FILE* errors) {
  bool ok = true;
  std::string reason;
  if (out.scores && !finishFile(out.scores, out.scoresPath, reason)) {
    std::fprintf(errors, "sonavel: %s\n", reason.c_str());
    ok = false;
  }
  if (out.picture) {
    if (!writePicturePng(out.picture.get(), host.shownPicture(), reason)) {
      std::fprintf(errors, "sonavel: %s: %s\n", out.picturePath.c_str(), reason.c_str());
      ok = false;
    } else if (!finishFile(out.picture, out.picturePath, reason)) {
      std::fprintf(errors, "sonavel: %s\n", reason.c_str());
      ok = false;
    }
  }
  if (!out.sound.close(reason)) {
    std::fprintf(errors, "sonavel: %s\n", reason.c_str());
    ok = false;
  }
  return ok;
}

}  // namespace

std::string noteRowName(int row) {
  return std::string(kPitchNames[row % kPitchClasses]) +
         std::to_string((row + kPitchClasses - kRowsBelowFirstC) / kPitchClasses + kFirstRowOctave);
}

long long defaultReplaySteps(std::size_t inputSamples) {
  return static_cast<long long>((inputSamples + kFramesPerBuffer - 1) / kFramesPerBuffer) + 1;
}

int runHeadless(const HeadlessOptions& options, std::FILE* errors) {
  ReplayInputs in;
  ReplayOutputs out;
  std::string reason;
  if (!prepare(options, in, out, reason)) {
    std::fprintf(errors, "sonavel: %s\n", reason.c_str());
    return kExitUsage;
  }
  if (out.scores) writeScoresHeader(out.scores.get());

  HeadlessHost host;
  if (startUp(host, reason) != StartResult::Running) {
    std::fprintf(errors, "sonavel: cannot start: %s\n", reason.c_str());
    return kExitWriteFailed;
  }
  runSteps(host, in, out, errors);
  if (!tuner.quitting) shutDown(host);
  return writeOutputs(host, out, errors) ? 0 : kExitWriteFailed;
}

#include "app/replay.hpp"

#include <algorithm>
#include <cerrno>
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
#include "app/replay_outputs.hpp"
#include "platform/file_names.hpp"
#include "platform/process.hpp"
#include "platform/regular_file.hpp"
#include "platform/stop_signals.hpp"
#include "platform/terminal.hpp"
#include "io/replay_events.hpp"
#include "app/shell.hpp"
#include "io/sound_input.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "view/font.hpp"

namespace {

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
  std::vector<NamedFile> named = {{"INPUT", options.input, false}, {"--events", options.eventsPath, false}};
  for (NamedFile& output : namedOutputs(options)) named.push_back(std::move(output));
  named.push_back({"the font", findFontPath(), false});
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

void applyEvent(TunerState& tuner, HeadlessHost& host, const ReplayEvent& event) {
  switch (event.kind) {
    case ReplayEvent::KeyDown: host.keys().set(event.keyCode, true); break;
    case ReplayEvent::KeyUp: host.keys().set(event.keyCode, false); break;
    case ReplayEvent::Window: dispatchEvent(tuner, host, event.window); break;
  }
}

// Feeds one buffer of input (zeros past the end) through the callback and keeps its output. Where
// the run lasts as long as the input, the end of the input sets its steps.
bool audioStep(AudioShared& audio, ReplayInputs& in, ReplayOutputs& out, std::string& reason) {
  float input[kFramesPerBuffer];  // the reader fills all of it, with silence past the end
  float output[kFramesPerBuffer];
  if (!in.input.read(input, kFramesPerBuffer, reason)) return false;
  if (in.followsInput && in.input.ended()) in.steps = defaultReplaySteps(static_cast<std::size_t>(in.input.samplesRead()));
  audioCallback(audio, input, output, kFramesPerBuffer);
  outputsTakeSound(out, output, kFramesPerBuffer);
  return true;
}

enum class RunEnd { Completed, Stopped, Failed };

// The steps to show progress against: the run's own once they are known, else those foreseen.
long long expectedSteps(const ReplayInputs& in) {
  return in.steps != kStepsUntilTheInputEnds ? in.steps : in.foreseenSteps;
}

RunEnd runSteps(HeadlessHost& host, AudioShared& audio, ReplayInputs& in, ReplayOutputs& out, const std::string& input,
                ProgressLine& progress, std::string& reason) {
  TunerState& tuner = audio.record;
  for (long long step = 0; step < in.steps; ++step) {
    if (takenStopSignal() != 0) return RunEnd::Stopped;
    progress.update(step, expectedSteps(in));
    while (in.events.pending && in.events.next.step == step) {
      applyEvent(tuner, host, in.events.next);
      if (!advanceEvents(in.events, reason)) return RunEnd::Failed;
    }
    int column = tuner.history.column.load(std::memory_order_relaxed);
    if (!loopTurn(tuner, host)) break;
    const bool scored = tuner.history.column.load(std::memory_order_relaxed) != column;
    if (scored && !outputsTakeBlock(out, step, column, input, reason)) return RunEnd::Failed;
    if (!audioStep(audio, in, out, reason)) return RunEnd::Failed;
  }
  return RunEnd::Completed;
}

}  // namespace

long long defaultReplaySteps(std::size_t inputSamples) {
  return static_cast<long long>((inputSamples + kFramesPerBuffer - 1) / kFramesPerBuffer) + 1;
}

int runHeadless(TunerState& tuner, const HeadlessOptions& options, std::FILE* errors) {
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
  if (!startOutputs(out, reason)) {
    out.discard();
    say(reason);
    return kExitWriteFailed;
  }

  HeadlessHost host;
  Notices notices;
  out.record = &tuner;
  if (startUp(tuner, host, reason, notices) != StartResult::Running) {
    out.discard();
    say("cannot start: " + reason);
    return kExitCannotStart;
  }
  for (const std::string& notice : notices) say(notice);
  keepPitchReading(noteDetection, outputsReadPitch(out));
  if (out.asked(kRollOutput)) {
    out.rollScores.reserveFor(in.foreseenSteps);
    out.rollScores.keepFont(font);
  }
  ProgressLine progress(errors, watched);
  const auto audio = std::make_unique<AudioShared>(tuner);  // large: kept off the stack
  RunEnd end = runSteps(host, *audio, in, out, options.input, progress, reason);
  progress.finish();
  if (!tuner.shell.quitting) shutDown(tuner, host);
  if (takenStopSignal() != 0) return stopped(out);
  if (end == RunEnd::Failed) {
    out.discard();
    say(reason + "; no output written");
    return kExitUsage;
  }
  if (finishOutputs(host, out, reason)) return kExitSuccess;
  if (takenStopSignal() != 0) return stopped(out);  // a write the signal broke off
  say(reason);
  return kExitWriteFailed;
}

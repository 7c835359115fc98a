#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/cli.hpp"
#include "app/data_paths.hpp"
#include "app/exit_status.hpp"
#include "app/kept_settings.hpp"
#include "app/live_host.hpp"
#include "app/live_notes.hpp"
#include "app/midi_out.hpp"
#include "app/replay.hpp"
#include "app/shell.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_shared.hpp"
#include "audio/file_feed.hpp"
#include "audio/stream.hpp"
#include "io/output_files.hpp"
#include "platform/process.hpp"

namespace {

void say(const std::string& what) { std::fprintf(stderr, "sonavel: %s\n", what.c_str()); }

void sayEach(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) say(line);
}

// The audio as the command line and the environment ask for it: SONAVEL_AUDIO_STREAMS=duplex
// for one duplex stream, SONAVEL_AUDIO_REPORT for a line on what was opened, SONAVEL_AUDIO_REALTIME=0
// for the audio threads at ordinary priority even where the system grants real-time scheduling.
AudioSettings audioSettings(const CommandLine& line) {
  AudioSettings settings;
  settings.devices = line.devices;
  settings.exclusive = line.live.exclusive;
  const char* layout = std::getenv("SONAVEL_AUDIO_STREAMS");
  if (layout != nullptr && std::strcmp(layout, "duplex") == 0) settings.layout = StreamLayout::Duplex;
  settings.report = std::getenv("SONAVEL_AUDIO_REPORT") != nullptr;
  const char* realtime = std::getenv("SONAVEL_AUDIO_REALTIME");
  settings.realtime = realtime == nullptr || std::strcmp(realtime, "0") != 0;
  return settings;
}

// With the audio report: how soon each block's column reached the window, and how the loop paced itself.
void sayBlockTiming() {
  const BlockTiming timing = blockTiming();
  char line[256];
  if (timing.blocks > 0) {
    std::snprintf(line, sizeof line, "audio: block to picture: mean %.1f ms, max %.1f ms over %lld blocks, %lld passed by",
                  timing.sumMs / static_cast<double>(timing.blocks), timing.mostMs, timing.blocks, timing.passedBy);
    say(line);
  }
  const LoopTiming loop = loopTiming();
  if (loop.seconds <= 0.0) return;
  auto mean = [](const PauseTiming& p) { return p.count > 0 ? p.sumMs / static_cast<double>(p.count) : 0.0; };
  std::snprintf(line, sizeof line,
                "loop: %.1f turns a second over %.1f s; %d ms pauses took %.1f ms on average (max %.1f, %lld of them), "
                "%d ms ones %.1f ms (%lld, ended early by work)",
                static_cast<double>(loop.pace.count + loop.idle.count) / loop.seconds, loop.seconds, kFrameSleepMs,
                mean(loop.pace), loop.pace.mostMs, loop.pace.count, kIdlePauseMs, mean(loop.idle), loop.idle.count);
  say(line);
}

// SONAVEL_MIDI_SYSTEM=alsa or jack: that MIDI system alone, where Linux offers both.
MidiSystemChoice midiSystem() {
  const char* only = std::getenv("SONAVEL_MIDI_SYSTEM");
  return MidiSystemChoice{only != nullptr ? only : ""};
}

// --midi-out: a --midi-device that is not in the list is refused like an unknown audio device. A MIDI
// system that does not answer is one line, and the analyser runs on without MIDI out, as it runs
// without sound when the sound server is missing: the window is still of use, and the line says why.
bool prepareMidi(const LiveOptions& live, MidiOut& midi, Notices& notices, std::string& reason) {
  if (!live.midiOut) return true;
  std::vector<std::string> names;
  std::string why;
  if (live.midiDevice >= 0 && listMidiOutputs(midiSystem(), names, why) &&
      live.midiDevice >= static_cast<int>(names.size())) {
    reason = "--midi-device " + std::to_string(live.midiDevice) + ": there is no such MIDI output (" +
             std::to_string(names.size()) + " listed by --list-devices)";
    return false;
  }
  if (!midi.open(midiSystem(), live.midiDevice, why)) notices.push_back(why + ": running without MIDI out");
  return true;
}

// What a live session writes: the recording, the notes' MIDI file.
struct LiveOutputs {
  explicit LiveOutputs(AudioShared& audio) : notes(audio) {}
  SessionRecorder recorder;
  LiveNotes notes;
};

// The file to analyse, the MIDI output, the recording and the notes' file are refused before the window opens.
// Returns the exit status: kExitSuccess when the program can go ahead.
int prepareLive(const CommandLine& line, FileInput& file, MidiOut& midi, Notices& notices, LiveOutputs& out,
                std::string& reason) {
  const AudioDeviceChoice& devices = line.devices;
  const std::string& input = line.live.inputFile;
  const std::string& record = line.live.recordPath;
  const std::string& notes = line.live.midiPath;
  const bool playsFile = !input.empty();
  if (playsFile && !file.open(input, reason)) return kExitUsage;
  if (playsFile && !devices.output.empty() && !checkOutputDevice(devices.output, reason)) return kExitUsage;
  if (!playsFile && (!devices.input.empty() || !devices.output.empty()) && !checkAudioDevices(devices, reason))
    return kExitUsage;
  if (!prepareMidi(line.live, midi, notices, reason)) return kExitUsage;
  const std::vector<NamedFile> named = {
      {"FILE", input, false}, {"--record", record, true}, {"--midi", notes, true}, {"the font", findFontPath(), false}};
  if ((!record.empty() || !notes.empty()) && !checkOutputsDistinct(named, reason)) return kExitUsage;
  // The notes' file first: under a temporary name, it is gone again if the recording is refused.
  if (!notes.empty() && !out.notes.openFile(notes, reason)) return kExitWriteFailed;
  if (!record.empty() && !out.recorder.open(record, input, reason)) return kExitRecordFailed;
  return kExitSuccess;
}

// Finishes the recording and the notes' file after the audio has stopped; says what the
// recording lost or why either failed.
int finishLive(int status, const FileInput& file, const AudioShared& audio, LiveOutputs& out) {
  if (!file.readFailure().empty()) say(file.readFailure());
  const std::string late = underrunLine(file.path(), fileFeedCounts(audio.feed));
  if (!late.empty()) say(late);
  std::string reason;
  if (!out.notes.finish(reason)) {
    say(reason);
    if (status == kExitSuccess) status = kExitWriteFailed;
  }
  RecordSummary summary;
  if (!out.recorder.finish(summary, reason)) {
    say(reason);
    return status == kExitSuccess ? kExitRecordFailed : status;
  }
  const std::string lost = droppedSamplesLine(out.recorder.path(), summary);
  if (!lost.empty()) say(lost);
  return status;
}

// A device the settings file names that is not there now (unplugged, renamed) gives one line,
// and the default takes its place for this run; the file keeps it for when it is back.
void dropMissingKeptDevices(const KeptSettings& kept, CommandLine& line, Notices& notices) {
  auto fromFile = [&](const char* name) {
    return std::find(kept.applied.begin(), kept.applied.end(), name) != kept.applied.end();
  };
  const bool input = fromFile("input-device"), output = fromFile("output-device");
  std::string reason;
  if (!input && !output) return;
  const bool found = line.live.inputFile.empty() ? checkAudioDevices(line.devices, reason)
                                                 : checkOutputDevice(line.devices.output, reason);
  if (found) return;
  if (input) line.devices.input.clear();
  if (output) line.devices.output.clear();
  notices.push_back(kept.path + ": " + reason + "; the default device is used");
}

// `asked` is the command line with the kept settings in it: what is written back at exit.
int runLive(TunerState& tuner, const CommandLine& asked, const KeptSettings& kept, Notices& keptNotices) {
  CommandLine line = asked;
  dropMissingKeptDevices(kept, line, keptNotices);
  sayEach(keptNotices);
  const auto shared = std::make_unique<AudioShared>(tuner);  // large: kept off the stack
  FileInput file;
  LiveOutputs out(*shared);
  MidiOut midi;
  Notices midiNotices;
  std::string reason;
  const int refused = prepareLive(line, file, midi, midiNotices, out, reason);
  if (refused != kExitSuccess) {
    say(reason);
    return refused;
  }
  const AudioSettings audio = audioSettings(line);
  LiveHost host(audio, *shared);
  if (!line.live.inputFile.empty()) host.useFile(&file);
  if (out.recorder.isOpen()) host.record(&out.recorder);
  if (midi.isOpen()) out.notes.sendTo(&midi);
  if (out.notes.wanted()) host.followNotes(&out.notes);
  host.scaleWindow(line.live.windowScale);
  Notices notices;
  if (startUp(tuner, host, reason, notices) == StartResult::NoWindow) {
    say("cannot open a window: " + reason);
    finishLive(kExitSuccess, file, *shared, out);
    return kExitNoWindow;
  }
  sayEach(notices);
  sayEach(midiNotices);
  sayEach(host.takeNotices());
  const int status = runLoop(tuner, host);
  midi.close();  // no key left sounding on the synthesiser
  sayEach(host.takeNotices());
  sayEach(midi.takeNotices());
  if (audio.report) sayBlockTiming();
  if (!writeKeptSettings(kept, tuner, asked, reason)) say(reason + "; the settings of this run are not kept");
  return finishLive(status, file, *shared, out);
}

int listDevices() {
  std::vector<std::string> lines;
  std::string reason;
  if (!listAudioDevices(lines, reason)) {
    say(reason);
    return kExitNoAudioLibrary;
  }
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  if (lines.empty()) say("PortAudio finds no audio devices");
  for (const std::string& line : midiOutputLines(midiSystem())) std::printf("%s\n", line.c_str());
  return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  ConsoleText console;
  ProgramArguments arguments(argc, argv);
  CommandLine line;
  std::string reason;
  if (!parseCommandLine(arguments.count(), arguments.values(), line, reason)) {
    std::fprintf(stderr, "sonavel: %s\n%s", reason.c_str(), line.showUsage ? synopsisText() : "");
    return kExitUsage;
  }
  Notices keptNotices;
  const KeptSettings kept = readKeptSettings(keptSettingsPath(line, keptNotices), line, keptNotices);
  const auto tuner = std::make_unique<TunerState>();  // this run's record; large: kept off the stack
  applyStartSettings(*tuner, line.start);
  switch (line.mode) {
    case RunMode::Help: std::fputs(usageText(), stdout); return kExitSuccess;
    case RunMode::Version: std::fputs(versionText(), stdout); return kExitSuccess;
    case RunMode::ListDevices: return listDevices();
    case RunMode::Headless: return runHeadless(*tuner, line.headless, stderr);
    case RunMode::Live: break;
  }
  return runLive(*tuner, line, kept, keptNotices);
}

#pragma once
// The files a headless run writes, as one table: each output is a row saying how it opens,
// what it writes before the run, at each scored block and after each buffer, and how it
// finishes. The run drives every row alike, so an output added to the table is opened,
// checked against the others, written, finished and removed on failure with no other change.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/cli.hpp"
#include "io/notes_file.hpp"
#include "io/output_files.hpp"
#include "io/roll_output.hpp"
#include "io/scores_csv.hpp"
#include "io/sound_output.hpp"

class HeadlessHost;
struct TunerState;

enum OutputKind { kScoresOutput, kPictureOutput, kSoundOutput, kRollOutput, kPitchOutput, kMidiOutput, kOutputKinds };

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// One output asked for: its stream (the sound writer keeps its own) and the file that stands in for its target.
struct OutputSlot {
  bool asked = false;
  FilePtr stream{nullptr, std::fclose};
  OutputFile file;
};

struct ReplayOutputs {
  OutputSlot slots[kOutputKinds];
  ScoresCsv scores;
  FloatWavWriter sound;
  RollScores rollScores;
  int rollScale = 1;
  std::unique_ptr<NotesFile> notes;  // the tracker's state is large: kept off the stack
  const TunerState* record = nullptr;  // the run's, which the rows read from the first step on

  bool asked(OutputKind kind) const { return slots[kind].asked; }
  // Closes everything and removes every temporary file; the targets stay as they were.
  void discard();
};

// The outputs the options name, as the distinctness check takes them, in the table's order.
std::vector<NamedFile> namedOutputs(const HeadlessOptions& options);
// Opens every output asked for; false with why (the caller discards what was opened).
bool openOutputs(const HeadlessOptions& options, ReplayOutputs& out, std::string& reason);
// What each output writes before the first step: the CSV headers, the MIDI file's start.
bool startOutputs(ReplayOutputs& out, std::string& reason);
// Whether any output asked for reads the precise detector's notes.
bool outputsReadPitch(const ReplayOutputs& out);
// After the frame step of `step` scored into history column `column`; `input` names the input in messages.
bool outputsTakeBlock(ReplayOutputs& out, long long step, int column, const std::string& input, std::string& reason);
// After each buffer of output sound.
void outputsTakeSound(ReplayOutputs& out, const float* samples, int count);
// Finishes every output; only when all are whole do they replace their targets. False with one line
// saying what went wrong, however many outputs it went wrong for; then every output is discarded.
bool finishOutputs(const HeadlessHost& host, ReplayOutputs& out, std::string& problem);

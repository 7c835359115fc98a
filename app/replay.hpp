#pragma once
// Headless replay: the program run step by step over a sound file, with
// scripted events, writing scores, the last picture and the output sound.

#include <cstdio>
#include <string>

#include "app/cli.hpp"

inline constexpr int kExitWriteFailed = 1;  // an output could not be written at the end
inline constexpr int kExitSignalBase = 128;  // stopped by signal N: the shell's 128 + N

// Validates everything, runs the replay and writes the outputs. Returns the exit status;
// every message goes to `errors` as one line starting "sonavel: ".
int runHeadless(const HeadlessOptions& options, std::FILE* errors);

// "A1", "A#1", ... "G#7": the name of note row `row` (0 .. 71).
std::string noteRowName(int row);
// Steps that feed every input sample, padded with silence to whole buffers, and
// score the last block those buffers complete.
long long defaultReplaySteps(std::size_t inputSamples);

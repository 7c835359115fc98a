#pragma once
// Headless replay: the program run step by step over a sound file, with
// scripted events, writing scores, the last picture and the output sound.

#include <cstdio>
#include <string>

#include "app/cli.hpp"
#include "app/exit_status.hpp"

struct TunerState;

// The replay's entry: validates everything, runs the replay and writes the outputs. Returns
// the exit status; it alone prints, every message to `errors` as one line starting "sonavel: ".
int runHeadless(TunerState& tuner, const HeadlessOptions& options, std::FILE* errors);

// Steps that feed every input sample, padded with silence to whole buffers, and
// score the last block those buffers complete.
long long defaultReplaySteps(std::size_t inputSamples);

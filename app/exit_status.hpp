#pragma once
// The program's exit statuses. 1 covers every failure of the world around the run (no window,
// no audio library, an output or recording that cannot be written); scripts and the README rely on it.

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoWindow = 1;        // live: no window can be opened
inline constexpr int kExitNoAudioLibrary = 1;  // --list-devices: PortAudio cannot start
inline constexpr int kExitWriteFailed = 1;     // an output could not be written at the end
inline constexpr int kExitRecordFailed = 1;    // live --record: the recording could not be finished
inline constexpr int kExitCannotStart = 1;     // headless: start-up failed
inline constexpr int kExitUsage = 2;           // bad arguments, input or events file
inline constexpr int kExitSignalBase = 128;    // stopped by signal N: the shell's 128 + N

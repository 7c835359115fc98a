#pragma once
// The program's exit statuses, one rule everywhere: 2 for what is wrong with the request before
// any output is touched (arguments, inputs that cannot be read, refused combinations), 1 for an
// output that cannot be created or written whatever the reason, and every other failure of the
// world around the run (no window, no audio library). Scripts and the README rely on it.

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoWindow = 1;        // live: no window can be opened
inline constexpr int kExitNoAudioLibrary = 1;  // --list-devices: PortAudio cannot start
inline constexpr int kExitWriteFailed = 1;     // an output could not be created or written
inline constexpr int kExitRecordFailed = 1;    // live --record: the recording could not be created or finished
inline constexpr int kExitCannotStart = 1;     // headless: start-up failed
inline constexpr int kExitUsage = 2;           // bad arguments, input or events file; a refused combination
inline constexpr int kExitSignalBase = 128;    // stopped by signal N: the shell's 128 + N

#pragma once
// How the live audio runs, gathered once at start-up: what the stream code opens and how.

#include <string>

// Which devices to open: empty means the default device, digits a PortAudio
// device index, anything else a device name.
struct AudioDeviceChoice {
  std::string input;
  std::string output;
};

inline constexpr int kMinLatencyMs = 75;  // about seven buffers of 512 frames

// Capture and playback as two streams joined by a ring (each waits on its own device), or
// as one duplex stream.
enum class StreamLayout { Split, Duplex };

// How the live audio runs: gathered once at start-up, from the command line and the
// environment, and then the stream code's only input besides the devices themselves.
struct AudioSettings {
  AudioDeviceChoice devices;
  StreamLayout layout = StreamLayout::Split;
  int minLatencyMs = kMinLatencyMs;  // the least latency each stream asks for
  bool report = false;               // say what was opened, and at the end how the playback kept up
  bool realtime = false;             // the audio threads ask for real-time scheduling (Linux)
  bool exclusive = false;            // hold the devices alone where the host API can (WASAPI)
};

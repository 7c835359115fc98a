#pragma once
// The live audio: PortAudio's streams on the chosen devices. The only code that calls
// PortAudio; the audio folder may use core/ and analysis/.

#include <string>
#include <vector>

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
  bool realtime = false;             // ALSA's callback threads ask for real-time scheduling
  bool exclusive = false;            // hold the devices alone where the host API can (WASAPI)
};

// Opens and starts the streams; false with the reason when the program must run without audio.
// `notes` gets a line where the exclusive mode asked for was not had, and with `settings.report` a
// line on the streams opened.
bool startAudio(const AudioSettings& settings, std::string& reason, std::vector<std::string>& notes);
// Stops (letting queued output play out), closes, terminates. With the report asked for, `report`
// gets lines on how punctually the callbacks came and, with two streams, how well the playback
// side kept up.
void stopAudio(std::vector<std::string>& report);
// The devices PortAudio sees, a line each; false with the reason when PortAudio cannot start.
bool listAudioDevices(std::vector<std::string>& lines, std::string& reason);
// Resolves a choice without opening anything; false with a one-line reason for an unknown device.
bool checkAudioDevices(const AudioDeviceChoice& choice, std::string& reason);

// A sound file in place of the input: one output stream on `settings.devices.output` whose
// callback takes the file's samples (audio/file_feed.hpp); no input device is opened. False
// with a one-line reason when no output can be had; stopAudio ends it.
bool startFileAudio(const AudioSettings& settings, std::string& reason);
// Resolves only an output device (empty: the default); false with a one-line reason.
bool checkOutputDevice(const std::string& outputDevice, std::string& reason);

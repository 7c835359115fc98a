#pragma once
// The one full-duplex PortAudio stream. The only code that calls PortAudio.

#include <string>
#include <vector>

// Which devices to open: empty means the default device, digits a PortAudio
// device index, anything else a device name.
struct AudioDeviceChoice {
  std::string input;
  std::string output;
};

// Opens and starts the stream; false with the reason when the program must run without audio.
// With SONAVEL_AUDIO_REPORT in the environment, `report` gets a line on the streams opened.
bool startAudio(const AudioDeviceChoice& choice, std::string& reason, std::string& report);
// Stops (letting queued output play out), closes, terminates. With SONAVEL_AUDIO_REPORT and two
// streams, `report` gets a line on how well the playback side kept up.
void stopAudio(std::string& report);
// The devices PortAudio sees, a line each; false with the reason when PortAudio cannot start.
bool listAudioDevices(std::vector<std::string>& lines, std::string& reason);
// Resolves a choice without opening anything; false with a one-line reason for an unknown device.
bool checkAudioDevices(const AudioDeviceChoice& choice, std::string& reason);

// A sound file in place of the input: one output stream whose callback takes the
// file's samples (audio/file_feed.hpp); no input device is opened. False with a
// one-line reason when no output can be had; stopAudio ends it.
bool startFileAudio(const std::string& outputDevice, std::string& reason);
// Resolves only an output device (empty: the default); false with a one-line reason.
bool checkOutputDevice(const std::string& outputDevice, std::string& reason);

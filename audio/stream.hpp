#pragma once
// The one full-duplex PortAudio stream. The only code that calls PortAudio.

#include <cstdio>
#include <string>

// Which devices to open: empty means the default device, digits a PortAudio
// device index, anything else a device name.
struct AudioDeviceChoice {
  std::string input;
  std::string output;
};

// Opens and starts the stream; on failure says why on stderr and returns false.
bool startAudio(const AudioDeviceChoice& choice = {});
// Stops (letting queued output play out), closes, terminates.
void stopAudio();
// Prints the devices PortAudio sees; false when PortAudio cannot start.
bool listAudioDevices(std::FILE* out);
// Resolves a choice without opening anything; false with a one-line reason for an unknown device.
bool checkAudioDevices(const AudioDeviceChoice& choice, std::string& reason);

// A sound file in place of the input: one output stream whose callback takes the
// file's samples (audio/file_feed.hpp); no input device is opened. False with a
// one-line reason when no output can be had; stopAudio ends it.
bool startFileAudio(const std::string& outputDevice, std::string& reason);
// Resolves only an output device (empty: the default); false with a one-line reason.
bool checkOutputDevice(const std::string& outputDevice, std::string& reason);

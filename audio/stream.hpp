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

#pragma once
// Picking an audio device from what the user typed, over a plain list of devices,
// so the rules hold without any sound hardware.

#include <string>
#include <vector>

struct AudioDeviceSummary {
  std::string name;
  std::string hostApi;
  int inputChannels = 0;
  int outputChannels = 0;
};

enum class AudioDirection { Input, Output };

inline constexpr int kNoAudioDevice = -1;

// Empty `wanted`: `defaultIndex`. Digits: that index. Otherwise a name: the first
// exact match, else the one device whose name contains `wanted` ignoring case.
// The device must have a channel in `direction`. Returns the index, or
// kNoAudioDevice with a one-line reason. The rule for one direction, which chooseAudioDevices
// applies to both; declared so that its cases can be tested one by one.
int chooseAudioDevice(const std::vector<AudioDeviceSummary>& devices, const std::string& wanted,
                      AudioDirection direction, int defaultIndex, std::string& reason);

struct AudioDevicePick {
  std::string input, output;  // as typed; empty: the default
  int defaultInput = kNoAudioDevice, defaultOutput = kNoAudioDevice;
};
// Both devices of the stream; false with the reason of the first that cannot be had,
// a device the user named before a default.
bool chooseAudioDevices(const std::vector<AudioDeviceSummary>& devices, const AudioDevicePick& wanted, int& input,
                        int& output, std::string& reason);

// One line, without newline: index, name, host API, channel counts, default markers.
std::string describeAudioDevice(int index, const AudioDeviceSummary& device, bool defaultInput,
                                bool defaultOutput);

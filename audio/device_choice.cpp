#include "audio/device_choice.hpp"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::size_t kMaxIndexDigits = 6;  // keeps the index far from int overflow

const char* directionName(AudioDirection direction) {
  return direction == AudioDirection::Input ? "input" : "output";
}

bool hasChannels(const AudioDeviceSummary& device, AudioDirection direction) {
  return (direction == AudioDirection::Input ? device.inputChannels : device.outputChannels) > 0;
}

bool allDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

int unsuitable(const std::string& wanted, AudioDirection direction, std::string& reason) {
  reason = "audio device " + quoted(wanted) + " has no " + directionName(direction) + " channels";
  return kNoAudioDevice;
}

int byIndex(const std::vector<AudioDeviceSummary>& devices, const std::string& wanted, AudioDirection direction,
            std::string& reason) {
  int index = wanted.size() <= kMaxIndexDigits ? std::stoi(wanted) : -1;
  if (index < 0 || index >= static_cast<int>(devices.size())) {
    reason = "no audio device with index " + wanted + " (there are " + std::to_string(devices.size()) + ")";
    return kNoAudioDevice;
  }
  if (!hasChannels(devices[index], direction)) return unsuitable(wanted, direction, reason);
  return index;
}

int byName(const std::vector<AudioDeviceSummary>& devices, const std::string& wanted, AudioDirection direction,
           std::string& reason) {
  int exactUnsuitable = kNoAudioDevice;
  for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
    if (devices[i].name != wanted) continue;
    if (hasChannels(devices[i], direction)) return i;
    exactUnsuitable = i;
  }
  if (exactUnsuitable != kNoAudioDevice) return unsuitable(wanted, direction, reason);

  std::string needle = lowered(wanted);
  std::vector<int> matches;
  bool matchedOtherDirection = false;
  for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
    if (lowered(devices[i].name).find(needle) == std::string::npos) continue;
    if (hasChannels(devices[i], direction))
      matches.push_back(i);
    else
      matchedOtherDirection = true;
  }
  if (matches.size() == 1) return matches.front();
  if (matches.empty()) {
    if (matchedOtherDirection) return unsuitable(wanted, direction, reason);
    reason = "no audio device named " + quoted(wanted);
    if (devices.empty()) reason += ": no audio devices were found";
    return kNoAudioDevice;
  }
  reason = quoted(wanted) + " matches " + std::to_string(matches.size()) + " " + directionName(direction) +
           " devices:";
  for (std::size_t k = 0; k < matches.size(); ++k)
    reason += (k == 0 ? " " : ", ") + quoted(devices[matches[k]].name);
  return kNoAudioDevice;
}

}  // namespace

int chooseAudioDevice(const std::vector<AudioDeviceSummary>& devices, const std::string& wanted,
                      AudioDirection direction, int defaultIndex, std::string& reason) {
  if (wanted.empty()) {
    if (defaultIndex < 0 || defaultIndex >= static_cast<int>(devices.size())) {
      reason = std::string("no default audio ") + directionName(direction) + " device";
      return kNoAudioDevice;
    }
    if (!hasChannels(devices[defaultIndex], direction))
      return unsuitable(devices[defaultIndex].name, direction, reason);
    return defaultIndex;
  }
  if (allDigits(wanted)) return byIndex(devices, wanted, direction, reason);
  return byName(devices, wanted, direction, reason);
}

bool chooseAudioDevices(const std::vector<AudioDeviceSummary>& devices, const AudioDevicePick& wanted, int& input,
                        int& output, std::string& reason) {
  // What the user named is checked first: a missing default is not the fault to report for it.
  const bool outputFirst = !wanted.output.empty() && wanted.input.empty();
  auto pickInput = [&] {
    input = chooseAudioDevice(devices, wanted.input, AudioDirection::Input, wanted.defaultInput, reason);
    return input != kNoAudioDevice;
  };
  auto pickOutput = [&] {
    output = chooseAudioDevice(devices, wanted.output, AudioDirection::Output, wanted.defaultOutput, reason);
    return output != kNoAudioDevice;
  };
  return outputFirst ? pickOutput() && pickInput() : pickInput() && pickOutput();
}

std::string describeAudioDevice(int index, const AudioDeviceSummary& device, bool defaultInput,
                                bool defaultOutput) {
  std::string line = std::to_string(index) + ": " + device.name + " [" + device.hostApi + "] " +
                     std::to_string(device.inputChannels) + " in, " + std::to_string(device.outputChannels) + " out";
  if (defaultInput) line += ", default input";
  if (defaultOutput) line += ", default output";
  return line;
}

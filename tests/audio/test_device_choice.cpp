// Choosing the input and output devices from what the user typed.

#include <gtest/gtest.h>

#include "audio/device_choice.hpp"

namespace {

const std::vector<AudioDeviceSummary> kDevices = {
    {"HDA Intel PCH: ALC3246 Analog (hw:0,0)", "ALSA", 2, 2},
    {"HDA Intel PCH: HDMI 0 (hw:0,3)", "ALSA", 0, 8},
    {"USB Audio: Mic (hw:1,0)", "ALSA", 1, 0},
    {"pulse", "ALSA", 32, 32},
    {"default", "ALSA", 32, 32},
    {"Pulse Monitor", "ALSA", 2, 0},
};
constexpr int kDefault = 4;

struct Choice {
  const char* wanted;
  AudioDirection direction;
  int index;          // kNoAudioDevice: refused
  const char* cause;  // part of the reason when refused
};

class DeviceChoice : public ::testing::TestWithParam<Choice> {};

TEST_P(DeviceChoice, ResolvesOrSaysWhy) {
  const Choice& choice = GetParam();
  std::string reason;
  int index = chooseAudioDevice(kDevices, choice.wanted, choice.direction, kDefault, reason);
  EXPECT_EQ(index, choice.index);
  if (choice.index == kNoAudioDevice) {
    EXPECT_NE(reason.find(choice.cause), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DeviceChoice,
    ::testing::Values(Choice{"", AudioDirection::Input, kDefault, ""}, Choice{"", AudioDirection::Output, kDefault, ""},
                      Choice{"0", AudioDirection::Input, 0, ""}, Choice{"005", AudioDirection::Output, kNoAudioDevice, "no output"},
                      Choice{"6", AudioDirection::Input, kNoAudioDevice, "no audio device with index 6"},
                      Choice{"99999999999999999999", AudioDirection::Input, kNoAudioDevice, "index"},
                      Choice{"pulse", AudioDirection::Input, 3, ""},                    // exact beats substring
                      Choice{"PULSE", AudioDirection::Output, 3, ""},                   // the only output match
                      Choice{"PULSE", AudioDirection::Input, kNoAudioDevice, "matches 2 input devices"},
                      Choice{"mic", AudioDirection::Input, 2, ""},
                      Choice{"mic", AudioDirection::Output, kNoAudioDevice, "no output channels"},
                      Choice{"hdmi", AudioDirection::Output, 1, ""},
                      Choice{"HDMI 0 (hw:0,3)", AudioDirection::Input, kNoAudioDevice, "no input channels"},
                      Choice{"hda intel", AudioDirection::Output, kNoAudioDevice, "matches 2 output devices"},
                      Choice{"hda intel", AudioDirection::Input, 0, ""},
                      Choice{"speaker", AudioDirection::Output, kNoAudioDevice, "no audio device named \"speaker\""}));

TEST(DeviceChoiceDefaults, MissingOrUnsuitableDefaultIsRefused) {
  std::string reason;
  EXPECT_EQ(chooseAudioDevice(kDevices, "", AudioDirection::Input, -1, reason), kNoAudioDevice);
  EXPECT_EQ(reason, "no default audio input device");
  EXPECT_EQ(chooseAudioDevice({}, "", AudioDirection::Output, 0, reason), kNoAudioDevice);
  EXPECT_EQ(chooseAudioDevice(kDevices, "", AudioDirection::Input, 1, reason), kNoAudioDevice);
  EXPECT_NE(reason.find("no input channels"), std::string::npos);
}

// The fault reported is the one with the device the user named, not a missing default.
TEST(DevicePair, ANamedDeviceIsResolvedBeforeADefault) {
  struct Case {
    const char* what;
    std::vector<AudioDeviceSummary> devices;
    AudioDevicePick pick;
    const char* says;  // empty: both found
  };
  const Case cases[] = {
      {"no devices, output named", {}, {"", "nosuch", kNoAudioDevice, kNoAudioDevice},
       "no audio device named \"nosuch\": no audio devices were found"},
      {"no default input, output named", kDevices, {"", "speaker", kNoAudioDevice, kDefault},
       "no audio device named \"speaker\""},
      {"no default output, input named", kDevices, {"mic", "", kDefault, kNoAudioDevice}, "no default audio output"},
      {"both named, input wrong first", kDevices, {"speaker", "nosuch", kDefault, kDefault}, "no audio device named \"speaker\""},
      {"neither named, no defaults", kDevices, {"", "", kNoAudioDevice, kNoAudioDevice}, "no default audio input"},
      {"output named, default input", kDevices, {"", "hdmi", kDefault, kNoAudioDevice}, ""},
  };
  for (const Case& c : cases) {
    int input = -2, output = -2;
    std::string reason;
    bool found = chooseAudioDevices(c.devices, c.pick, input, output, reason);
    EXPECT_EQ(found, *c.says == '\0') << c.what << ": " << reason;
    if (!found) EXPECT_EQ(reason.rfind(c.says, 0), 0u) << c.what << ": " << reason;
    else EXPECT_EQ(output, 1) << c.what;
  }
}

TEST(DeviceListing, OneLinePerDeviceWithChannelsAndDefaults) {
  EXPECT_EQ(describeAudioDevice(4, kDevices[4], true, true), "4: default [ALSA] 32 in, 32 out, default input, default output");
  EXPECT_EQ(describeAudioDevice(2, kDevices[2], false, false), "2: USB Audio: Mic (hw:1,0) [ALSA] 1 in, 0 out");
}

}  // namespace

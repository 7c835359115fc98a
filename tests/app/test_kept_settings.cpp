// The settings kept between runs: the file's settings taken by the options' own rules, the
// command line winning, what the file cannot give said in one line, and the state at exit written back.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/transposition.hpp"
#include "app/kept_settings.hpp"
#include "core/tuner_state.hpp"
#include "scratch_dir.hpp"
#include "test_record.hpp"

namespace {

class KeptSettingsTest : public WithRecord {
 protected:
  KeptSettingsTest() : scratch_("kept-settings") {}

  static void write(const std::string& text) { std::ofstream("settings", std::ios::binary) << text; }
  static std::string read() {
    std::ifstream in("settings", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // The command line `args`, then the file's settings, as main takes them; the start settings applied.
  KeptSettings start(std::vector<const char*> args) {
    args.insert(args.begin(), "sonavel");
    std::string reason;
    EXPECT_TRUE(parseCommandLine(static_cast<int>(args.size()), args.data(), line, reason)) << reason;
    notices.clear();
    KeptSettings kept = readKeptSettings("settings", line, notices);
    applyStartSettings(tuner, line.start);
    return kept;
  }

  CommandLine line;
  std::vector<std::string> notices;

 private:
  ScratchDir scratch_;
};

TEST_F(KeptSettingsTest, EachSettingTakenAsItsOptionWouldBe) {
  write("auto-gain = on\ndetector = precise\na4 = 442.5\ntemperament = just\nkey = D\ntranspose = Eb\n"
        "names = german\nflats = on\ntheme = contrast\ninput-device = USB Audio\noutput-device = 3\nscale = 2\n");
  start({});
  EXPECT_TRUE(notices.empty()) << notices.front();
  EXPECT_TRUE(tuner.controls.autoGain);
  EXPECT_EQ(tuner.controls.detector, Detector::Precise);
  EXPECT_EQ(tuner.notes.referencePitch, 442.5);
  EXPECT_EQ(tuner.notes.tuning.temperament, Temperament::Just);
  EXPECT_EQ(tuner.notes.tuning.key, 2);
  EXPECT_EQ(tuner.controls.transposition, 9);
  EXPECT_EQ(tuner.controls.naming, (NoteNaming{NameSystem::German, true}));
  EXPECT_EQ(tuner.controls.theme, Theme::Contrast);
  EXPECT_EQ(line.devices.input, "USB Audio");
  EXPECT_EQ(line.devices.output, "3");
  EXPECT_EQ(line.live.windowScale, 2);
}

TEST_F(KeptSettingsTest, TheCommandLineWinsForItsRunAndTheRestOfTheFileStillCounts) {
  write("a4 = 442\ndetector = precise\nflats = on\n");
  start({"--a4", "415", "--flats"});
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(tuner.notes.referencePitch, 415.0);
  EXPECT_EQ(tuner.controls.detector, Detector::Precise);
  EXPECT_TRUE(tuner.controls.naming.flats);
  write("auto-gain = on\n");
  start({"--auto-gain"});  // given twice, once by each, is no refusal
  EXPECT_TRUE(tuner.controls.autoGain);
}

TEST_F(KeptSettingsTest, BadValuesGetOneLineNamingTheFileAndTheirDefaults) {
  write("a4 = 1000\ndetector = fast\nflats = yes\nscale = 9\ntranspose = H\nnames = german\nwhat is this\n");
  start({});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0],
            "settings: line 1: --a4 needs a frequency from 400 to 480 (Hz), not '1000'; that line and 5 more are not "
            "used");
  EXPECT_EQ(tuner.notes.referencePitch, kStandardPitch);
  EXPECT_EQ(tuner.controls.detector, Detector::Design);
  EXPECT_FALSE(tuner.controls.naming.flats);
  EXPECT_EQ(line.live.windowScale, 0);
  EXPECT_EQ(tuner.controls.transposition, 0);
  EXPECT_EQ(tuner.controls.naming.system, NameSystem::German);  // the good line among them still counts

  write("a4 = 1000\n");
  start({});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "settings: line 1: --a4 needs a frequency from 400 to 480 (Hz), not '1000'; that line is not used");
}

TEST_F(KeptSettingsTest, TheStateAtExitIsWrittenAndReadBackTheSame) {
  const KeptSettings kept = start({"--a4", "442.1", "--names", "solfege", "--temperament", "werckmeister3", "--key",
                                   "F#", "--scale", "3", "--output-device", "Speakers", "--theme", "dark"});
  // What the keys change while the window is open: A, D and T.
  tuner.controls.autoGain = true;
  tuner.controls.detector = Detector::Precise;
  tuner.controls.transposition = nextCommonTransposition(tuner.controls.transposition);
  std::string reason;
  ASSERT_TRUE(writeKeptSettings(kept, tuner, line, reason)) << reason;
  const std::vector<SettingValue> before = keptSettingsNow(tuner, line);
  EXPECT_NE(read().find("\nauto-gain = on\ndetector = precise\na4 = 442.1\ntemperament = werckmeister3\nkey = F#\n"
                        "transpose = Bb\nnames = solfege\ntheme = dark\noutput-device = Speakers\nscale = 3\n"),
            std::string::npos)
      << read();
  freshRecord();
  start({});
  EXPECT_TRUE(notices.empty());
  const std::vector<SettingValue> after = keptSettingsNow(tuner, line);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].value, before[i].value) << after[i].name;
}

// What this run does not take is left in the file as it was: another version's names, an option
// that is no setting, the input device under FILE.
TEST_F(KeptSettingsTest, WhatARunDoesNotTakeIsLeftQuietlyInTheFile) {
  write("palette = night\nrecord = take.wav\ninput-device = USB Audio\ndetector = precise\n");
  const KeptSettings kept = start({"song.wav"});
  EXPECT_TRUE(notices.empty());
  EXPECT_TRUE(line.live.recordPath.empty());
  EXPECT_TRUE(line.devices.input.empty());
  EXPECT_EQ(tuner.controls.detector, Detector::Precise);
  tuner.controls.detector = Detector::Design;
  tuner.controls.naming.flats = true;
  std::string reason;
  ASSERT_TRUE(writeKeptSettings(kept, tuner, line, reason)) << reason;
  EXPECT_EQ(read(), "palette = night\nrecord = take.wav\ninput-device = USB Audio\nflats = on\n");
}

TEST_F(KeptSettingsTest, NothingChangedNothingWritten) {
  write("a4=442   \n# kept as I wrote it\n");
  const auto written = std::filesystem::last_write_time("settings");
  const KeptSettings kept = start({});
  std::string reason;
  ASSERT_TRUE(writeKeptSettings(kept, tuner, line, reason));
  EXPECT_EQ(read(), "a4=442   \n# kept as I wrote it\n");
  EXPECT_EQ(std::filesystem::last_write_time("settings"), written);
}

TEST_F(KeptSettingsTest, AFileThatCannotBeReadIsLeftAlone) {
  std::filesystem::create_directories("settings");
  const KeptSettings kept = start({"--detector", "precise"});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].rfind("settings: cannot read: ", 0), 0u) << notices[0];
  EXPECT_EQ(tuner.controls.detector, Detector::Precise);
  std::string reason;
  EXPECT_TRUE(writeKeptSettings(kept, tuner, line, reason));
  EXPECT_TRUE(std::filesystem::is_directory("settings"));
}

TEST_F(KeptSettingsTest, OnlyTheWindowReadsTheFileAndNotWithNoSettings) {
  struct Case {
    std::vector<const char*> args;
    bool read;
  };
  const Case cases[] = {
      {{}, true},
      {{"song.wav"}, true},
      {{"song.wav", "--no-settings"}, false},
      {{"--headless", "in.wav"}, false},
      {{"--list-devices"}, false},
  };
  for (const Case& c : cases) {
    std::vector<const char*> args = c.args;
    args.insert(args.begin(), "sonavel");
    std::string reason;
    ASSERT_TRUE(parseCommandLine(static_cast<int>(args.size()), args.data(), line, reason)) << reason;
    std::vector<std::string> said;
    EXPECT_EQ(!keptSettingsPath(line, said).empty(), c.read) << (c.args.empty() ? "(none)" : c.args[0]);
  }
}

}  // namespace

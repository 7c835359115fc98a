// The command line: which mode runs, with which files and devices, and what is refused.

#include <gtest/gtest.h>

#include <memory>

#include <string>
#include <vector>

#include "app/cli.hpp"
#include "core/tuner_state.hpp"

namespace {

bool parse(std::vector<const char*> args, CommandLine& line, std::string& reason) {
  args.insert(args.begin(), "sonavel");
  return parseCommandLine(static_cast<int>(args.size()), args.data(), line, reason);
}

TEST(CommandLine, ModesFromTheirOptions) {
  struct Case {
    std::vector<const char*> args;
    RunMode mode;
  };
  const Case cases[] = {
      {{}, RunMode::Live},
      {{"--list-devices"}, RunMode::ListDevices},
      {{"--version"}, RunMode::Version},
      {{"--help"}, RunMode::Help},
      {{"-h"}, RunMode::Help},
      {{"--headless", "in.wav"}, RunMode::Headless},
      {{"--input-device", "3"}, RunMode::Live},
      {{"--help", "--bogus"}, RunMode::Help},  // help wins when it comes first
  };
  for (const Case& c : cases) {
    CommandLine line;
    std::string reason;
    ASSERT_TRUE(parse(c.args, line, reason)) << reason;
    EXPECT_EQ(line.mode, c.mode) << (c.args.empty() ? "(none)" : c.args[0]);
  }
}

TEST(CommandLine, HeadlessTakesItsFilesInAnyOrderAndBothSpellings) {
  CommandLine line;
  std::string reason;
  ASSERT_TRUE(parse({"--scores", "s.csv", "--headless", "in.flac", "--events=ev.txt", "--steps", "0",
                     "--picture=p.png", "--output", "o.wav"},
                    line, reason))
      << reason;
  EXPECT_EQ(line.mode, RunMode::Headless);
  EXPECT_EQ(line.headless.input, "in.flac");
  EXPECT_EQ(line.headless.eventsPath, "ev.txt");
  EXPECT_EQ(line.headless.steps, 0);
  EXPECT_EQ(line.headless.scoresPath, "s.csv");
  EXPECT_EQ(line.headless.picturePath, "p.png");
  EXPECT_EQ(line.headless.outputPath, "o.wav");

  ASSERT_TRUE(parse({"--headless", "in.wav"}, line, reason));
  EXPECT_EQ(line.headless.steps, -1);  // the default count, worked out from the input
  EXPECT_TRUE(line.headless.scoresPath.empty());
}

TEST(CommandLine, DevicesByIndexOrName) {
  CommandLine line;
  std::string reason;
  ASSERT_TRUE(parse({"--input-device", "2", "--output-device=pulse"}, line, reason)) << reason;
  EXPECT_EQ(line.mode, RunMode::Live);
  EXPECT_EQ(line.devices.input, "2");
  EXPECT_EQ(line.devices.output, "pulse");
  EXPECT_FALSE(line.live.exclusive);
  ASSERT_TRUE(parse({"--exclusive", "--input-device", "2"}, line, reason)) << reason;
  EXPECT_TRUE(line.live.exclusive);
}

TEST(CommandLine, RefusesWithAReason) {
  struct Case {
    std::vector<const char*> args;
    const char* reason;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--bogus", "--help"}, "unknown option --bogus"},  // refused before --help is reached
      {{"in.wav", "stray"}, "unexpected argument 'stray'"},  // one FILE only
      {{"--headless", "in.wav", "stray"}, "unexpected argument 'stray'"},
      {{"piece.wav", "--headless", "in.wav"}, "FILE is for the window"},
      {{"in.wav", "--input-device", "1"}, "FILE takes the place of the input device"},
      {{"--headless", "in.wav", "--record", "out.wav"}, "--record keeps a live session"},
      {{"--list-devices", "--record", "out.wav"}, "--list-devices takes no other option"},
      {{"--list-devices", "in.wav"}, "--list-devices takes no other option"},
      {{"--record"}, "option --record needs a value"},
      {{"--record", "a.wav", "--record", "b.wav"}, "option --record given twice"},
      {{"--headless"}, "option --headless needs a value"},
      // the file was forgotten: the next option is not taken for it, and "5" is not blamed
      {{"--headless", "--steps", "5"}, "option --headless needs a value before --steps"},
      {{"--headless", "a.wav", "--scores", "--picture", "p.png"}, "option --scores needs a value before --picture"},
      {{"--headless="}, "option --headless needs a non-empty value"},
      {{"--headless", "a.wav", "--headless", "b.wav"}, "option --headless given twice"},
      {{"--headless", "a.wav", "--steps", "-1"}, "--steps needs a whole number"},
      {{"--headless", "a.wav", "--steps", "12x"}, "--steps needs a whole number"},
      {{"--headless", "a.wav", "--steps", "2147483648"}, "--steps needs a whole number"},
      {{"--scores", "s.csv"}, "need --headless"},
      {{"--steps", "10"}, "need --headless"},
      {{"--headless", "a.wav", "--input-device", "1"}, "takes no device options"},
      {{"--headless", "a.wav", "--list-devices"}, "takes no device options"},
      {{"--list-devices", "--output-device", "1"}, "--list-devices takes no other option"},
      {{"--list-devices=yes"}, "option --list-devices takes no value"},
      {{"--version=2"}, "option --version takes no value"},
      {{"--headless", "a.wav", "--exclusive"}, "takes no device options"},
      {{"piece.wav", "--exclusive"}, "FILE opens only an output: it takes no --exclusive"},
      {{"--exclusive=yes"}, "option --exclusive takes no value"},
  };
  for (const Case& c : cases) {
    CommandLine line;
    std::string reason;
    EXPECT_FALSE(parse(c.args, line, reason)) << c.args[0];
    EXPECT_NE(reason.find(c.reason), std::string::npos) << "got: " << reason;
    bool unknown = reason.rfind("unknown option", 0) == 0 || reason.rfind("unexpected argument", 0) == 0;
    EXPECT_EQ(line.showUsage, unknown) << reason;
  }
}

TEST(CommandLine, AFileAndARecordingForTheWindow) {
  struct Case {
    std::vector<const char*> args;
    const char* file;
    const char* record;
  };
  const Case cases[] = {
      {{}, "", ""},
      {{"piece.flac"}, "piece.flac", ""},
      {{"--record", "s.wav"}, "", "s.wav"},
      {{"--record=s.wav", "piece.wav", "--output-device", "2", "--gain", "3"}, "piece.wav", "s.wav"},
  };
  for (const Case& c : cases) {
    CommandLine line;
    std::string reason;
    ASSERT_TRUE(parse(c.args, line, reason)) << reason;
    EXPECT_EQ(line.mode, RunMode::Live);
    EXPECT_EQ(line.live.inputFile, c.file);
    EXPECT_EQ(line.live.recordPath, c.record);
  }
}

TEST(CommandLine, StepsMayHaveLeadingZerosAndFilesMayStartWithDashesInline) {
  CommandLine line;
  std::string reason;
  ASSERT_TRUE(parse({"--headless", "a.wav", "--steps", "00000000001"}, line, reason)) << reason;
  EXPECT_EQ(line.headless.steps, 1);
  ASSERT_TRUE(parse({"--headless", "a.wav", "--steps", "000000000002147483647"}, line, reason)) << reason;
  EXPECT_EQ(line.headless.steps, 2147483647);
  ASSERT_TRUE(parse({"--headless", "a.wav", "--steps", "0000"}, line, reason)) << reason;
  EXPECT_EQ(line.headless.steps, 0);
  EXPECT_FALSE(parse({"--headless", "a.wav", "--steps", "0002147483648"}, line, reason));
  ASSERT_TRUE(parse({"--headless=--odd.wav"}, line, reason)) << reason;
  EXPECT_EQ(line.headless.input, "--odd.wav");
}

TEST(CommandLine, HelpListsEveryOption) {
  std::string help = usageText();
  for (const char* option : {"--list-devices", "--input-device", "--output-device", "--headless", "--events",
                             "--steps", "--scores", "--picture", "--output", "--version", "--help", "FILE",
                             "--record"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  EXPECT_EQ(help.rfind(synopsisText(), 0), 0u);
  EXPECT_EQ(std::string(versionText()).rfind("sonavel ", 0), 0u);
}

TEST(StartSettings, GainReferencePitchAndAutomaticGainLiveOrHeadless) {
  CommandLine line;
  std::string reason;
  ASSERT_TRUE(parse({}, line, reason));
  EXPECT_FALSE(line.start.autoGain);
  EXPECT_EQ(line.start.gain, 1.0);
  EXPECT_EQ(line.start.referencePitch, 440.0);

  ASSERT_TRUE(parse({"--auto-gain", "--gain", "0.125", "--a4=415"}, line, reason)) << reason;
  EXPECT_EQ(line.mode, RunMode::Live);
  EXPECT_TRUE(line.start.autoGain);
  EXPECT_EQ(line.start.gain, 0.125);
  EXPECT_EQ(line.start.referencePitch, 415.0);

  ASSERT_TRUE(parse({"--headless", "in.wav", "--gain=0", "--a4", "480", "--auto-gain"}, line, reason)) << reason;
  EXPECT_EQ(line.mode, RunMode::Headless);
  EXPECT_EQ(line.start.gain, 0.0);
  EXPECT_EQ(line.start.referencePitch, 480.0);
  ASSERT_TRUE(parse({"--gain", "27", "--a4", "400"}, line, reason)) << reason;
}

TEST(StartSettings, RefusesValuesOutsideTheirRange) {
  struct Case {
    std::vector<const char*> args;
    const char* reason;
  };
  const Case cases[] = {
      {{"--gain", "27.001"}, "--gain needs a number from 0 to 27, not '27.001'"},
      {{"--gain", "-1"}, "--gain needs a number from 0 to 27"},
      {{"--gain", "nan"}, "--gain needs a number from 0 to 27"},
      {{"--gain", "1e1"}, "--gain needs a number from 0 to 27"},
      {{"--gain", "2x"}, "--gain needs a number from 0 to 27"},
      {{"--gain", "."}, "--gain needs a number from 0 to 27"},
      {{"--gain"}, "option --gain needs a value"},
      {{"--a4", "399.9"}, "--a4 needs a frequency from 400 to 480 (Hz), not '399.9'"},
      {{"--a4", "481"}, "--a4 needs a frequency from 400 to 480"},
      {{"--a4", "inf"}, "--a4 needs a frequency from 400 to 480"},
      {{"--a4", "440", "--a4", "442"}, "option --a4 given twice"},
      {{"--auto-gain=yes"}, "option --auto-gain takes no value"},
      {{"--list-devices", "--gain", "2"}, "--list-devices takes no other option"},
      {{"--list-devices", "--auto-gain"}, "--list-devices takes no other option"},
  };
  for (const Case& c : cases) {
    CommandLine line;
    std::string reason;
    EXPECT_FALSE(parse(c.args, line, reason)) << c.args[0];
    EXPECT_NE(reason.find(c.reason), std::string::npos) << "got: " << reason;
  }
}

TEST(StartSettings, HelpListsThem) {
  std::string help = usageText();
  for (const char* option : {"--auto-gain", "--gain G", "--a4 HZ"}) EXPECT_NE(help.find(option), std::string::npos);
}

}  // namespace

namespace {

TEST(CommandLine, RollAndItsScale) {
  CommandLine line;
  std::string reason;
  ASSERT_TRUE(parse({"--headless", "in.wav", "--roll", "r.png"}, line, reason)) << reason;
  EXPECT_EQ(line.headless.rollPath, "r.png");
  EXPECT_EQ(line.headless.rollScale, 1);
  ASSERT_TRUE(parse({"--roll-scale=16", "--headless", "in.wav", "--roll=r.png"}, line, reason)) << reason;
  EXPECT_EQ(line.headless.rollScale, 16);

  struct Case {
    std::vector<const char*> args;
    const char* reason;
  };
  const Case cases[] = {
      {{"--roll", "r.png"}, "--roll and --roll-scale need --headless"},
      {{"--headless", "in.wav", "--roll-scale", "2"}, "--roll-scale needs --roll"},
      {{"--headless", "in.wav", "--roll", "r.png", "--roll-scale", "0"}, "--roll-scale needs a whole number from 1 to 16, not '0'"},
      {{"--headless", "in.wav", "--roll", "r.png", "--roll-scale", "17"}, "from 1 to 16, not '17'"},
      {{"--headless", "in.wav", "--roll", "r.png", "--roll-scale", "2.5"}, "from 1 to 16"},
      {{"--headless", "in.wav", "--roll", "r.png", "--roll-scale", "99999999999"}, "from 1 to 16"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(parse(c.args, line, reason)) << c.reason;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << "got: " << reason;
  }
}

}  // namespace

namespace {

TEST(CommandLine, TheWindowScaleFromOneToEightForTheWindowAlone) {
  struct Accepted {
    std::vector<const char*> args;
    int scale;
  };
  const Accepted accepted[] = {
      {{}, 0},  // to suit the screen
      {{"--scale", "1"}, 1},
      {{"--scale=8"}, 8},
      {{"piece.wav", "--scale", "03"}, 3},
  };
  for (const Accepted& c : accepted) {
    CommandLine line;
    std::string reason;
    ASSERT_TRUE(parse(c.args, line, reason)) << reason;
    EXPECT_EQ(line.mode, RunMode::Live);
    EXPECT_EQ(line.live.windowScale, c.scale);
  }

  struct Refused {
    std::vector<const char*> args;
    const char* reason;
  };
  const Refused refused[] = {
      {{"--scale", "0"}, "--scale needs a whole number from 1 to 8, not '0'"},
      {{"--scale", "9"}, "--scale needs a whole number from 1 to 8, not '9'"},
      {{"--scale", "1.5"}, "--scale needs a whole number from 1 to 8, not '1.5'"},
      {{"--scale", "-2"}, "--scale needs a whole number from 1 to 8, not '-2'"},
      {{"--scale"}, "option --scale needs a value"},
      {{"--headless", "in.wav", "--scale", "2"}, "--scale sizes the window; --headless opens none"},
      {{"--list-devices", "--scale", "2"}, "--list-devices takes no other option"},
  };
  for (const Refused& c : refused) {
    CommandLine line;
    std::string reason;
    EXPECT_FALSE(parse(c.args, line, reason)) << c.reason;
    EXPECT_EQ(reason, c.reason);
    EXPECT_FALSE(line.showUsage);
  }
}

TEST(CommandLine, DetectorChoiceAndThePitchReading) {
  const auto record = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& tuner = *record;
  CommandLine line;
  std::string reason;
  ASSERT_TRUE(parse({}, line, reason));
  EXPECT_EQ(line.start.detector, Detector::Design);
  ASSERT_TRUE(parse({"--detector", "precise"}, line, reason)) << reason;
  EXPECT_EQ(line.start.detector, Detector::Precise);
  ASSERT_TRUE(parse({"--headless", "in.wav", "--detector=design", "--pitch", "p.csv"}, line, reason)) << reason;
  EXPECT_EQ(line.start.detector, Detector::Design);
  EXPECT_EQ(line.headless.pitchPath, "p.csv");
  applyStartSettings(tuner, line.start);
  EXPECT_EQ(tuner.controls.detector, Detector::Design);
  ASSERT_TRUE(parse({"song.flac", "--detector", "precise"}, line, reason)) << reason;
  applyStartSettings(tuner, line.start);
  EXPECT_EQ(tuner.controls.detector, Detector::Precise);

  struct Case {
    std::vector<const char*> args;
    const char* reason;
  };
  const Case cases[] = {
      {{"--detector", "Precise"}, "--detector needs design or precise, not 'Precise'"},
      {{"--detector"}, "option --detector needs a value"},
      {{"--detector", "design", "--detector", "precise"}, "option --detector given twice"},
      {{"--list-devices", "--detector", "precise"}, "--list-devices takes no other option"},
      {{"--pitch", "p.csv"}, "--output and --pitch need --headless"},
      {{"--headless", "in.wav", "--pitch", "a.csv", "--pitch", "b.csv"}, "option --pitch given twice"},
      {{"song.flac", "--midi", "a.mid", "--scores", "s.csv"}, "--pitch need --headless"},
      {{"--midi", "a.mid", "--midi", "b.mid"}, "option --midi given twice"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(parse(c.args, line, reason)) << c.args[0];
    EXPECT_NE(reason.find(c.reason), std::string::npos) << "got: " << reason;
  }
  // The notes' file is for the window as for a headless run.
  ASSERT_TRUE(parse({"song.flac", "--midi", "a.mid"}, line, reason)) << reason;
  EXPECT_EQ(line.live.midiPath, "a.mid");
  ASSERT_TRUE(parse({"--midi=b.mid", "--midi-out"}, line, reason)) << reason;
  EXPECT_EQ(line.live.midiPath, "b.mid");
  ASSERT_TRUE(parse({"--headless", "in.wav", "--midi", "c.mid"}, line, reason)) << reason;
  EXPECT_EQ(line.headless.midiPath, "c.mid");
  const std::string help = usageText();
  for (const char* option : {"--detector D", "--pitch OUT.csv", "--midi OUT.mid"})
    EXPECT_NE(help.find(option), std::string::npos);
}

}  // namespace

namespace {

TEST(StartSettings, TemperamentAndKeyLiveOrHeadless) {
  CommandLine line;
  std::string reason;
  ASSERT_TRUE(parse({"song.flac", "--key=Eb", "--temperament", "meantone"}, line, reason)) << reason;
  const auto record = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& tuner = *record;
  applyStartSettings(tuner, line.start);
  EXPECT_EQ(tuner.notes.tuning.temperament, Temperament::Meantone);
  EXPECT_EQ(tuner.notes.tuning.key, 3);
  ASSERT_TRUE(parse({"--headless", "in.wav", "--temperament", "vallotti"}, line, reason)) << reason;
  EXPECT_EQ(line.start.tuning.temperament, Temperament::Vallotti);
  EXPECT_EQ(line.start.tuning.key, 0);
}

TEST(StartSettings, RefusesAnUnknownTemperamentOrKeyInOneLine) {
  struct Case {
    std::vector<const char*> args;
    const char* reason;
  };
  const Case cases[] = {
      {{"--temperament", "x"},
       "--temperament needs equal, just, pythagorean, meantone, werckmeister3 or vallotti, not 'x'"},
      {{"--temperament", "just", "--key", "H"}, "--key needs a note from C to B, with # or b (C, C#, Db, ... B), not 'H'"},
      {{"--headless", "in.wav", "--key", "D"}, "--key needs --temperament"},
      {{"--list-devices", "--temperament", "just"}, "--list-devices takes no other option"},
  };
  for (const Case& c : cases) {
    CommandLine line;
    std::string reason;
    EXPECT_FALSE(parse(c.args, line, reason)) << c.args[0];
    EXPECT_NE(reason.find(c.reason), std::string::npos) << "got: " << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
  }
}

}  // namespace

namespace {

TEST(StartSettings, TransposeLiveOrHeadlessByInstrumentOrSemitones) {
  const std::pair<std::vector<const char*>, int> cases[] = {
      {{"--transpose", "Eb"}, 9},
      {{"song.flac", "--transpose=-12"}, -12},
      {{"--headless", "in.wav", "--transpose", "+14"}, 14},
      {{"--headless", "in.wav"}, 0},
  };
  for (const auto& [args, semitones] : cases) {
    CommandLine line;
    std::string reason;
    ASSERT_TRUE(parse(args, line, reason)) << reason;
    const auto record = std::make_unique<TunerState>();  // large: kept off the stack
    TunerState& tuner = *record;
    applyStartSettings(tuner, line.start);
    EXPECT_EQ(tuner.controls.transposition, semitones) << args.back();
  }
}

TEST(StartSettings, RefusesATranspositionItCannotNameInOneLine) {
  for (const char* value : {"H", "bb", "+37", "-37", "2.5", "Bb,Eb"}) {
    CommandLine line;
    std::string reason;
    EXPECT_FALSE(parse({"--headless", "in.wav", "--transpose", value}, line, reason)) << value;
    EXPECT_EQ(reason, std::string("--transpose needs Bb, Eb, F, A, G, C or semitones from -36 to +36, not '") + value +
                          "'");
    EXPECT_FALSE(line.showUsage) << value;  // a bad value, not an unknown option: one line, status 2
  }
}

}  // namespace

namespace {

TEST(StartSettings, NamesAndFlatsLiveOrHeadless) {
  struct Case {
    std::vector<const char*> args;
    NoteNaming naming;
  };
  const Case cases[] = {
      {{"--headless", "in.wav"}, {}},
      {{"--names", "german"}, {NameSystem::German, false}},
      {{"song.flac", "--names=solfege", "--flats"}, {NameSystem::Solfege, true}},
      {{"--headless", "in.wav", "--flats", "--names", "english"}, {NameSystem::English, true}},
  };
  for (const Case& c : cases) {
    CommandLine line;
    std::string reason;
    ASSERT_TRUE(parse(c.args, line, reason)) << reason;
    const auto record = std::make_unique<TunerState>();  // large: kept off the stack
    TunerState& tuner = *record;
    applyStartSettings(tuner, line.start);
    EXPECT_EQ(tuner.controls.naming, c.naming) << c.args.back();
  }
}

TEST(StartSettings, RefusesANamingSystemItDoesNotKnowInOneLine) {
  for (const char* value : {"English", "solfège", "french", "german,flats"}) {
    CommandLine line;
    std::string reason;
    EXPECT_FALSE(parse({"--headless", "in.wav", "--names", value}, line, reason)) << value;
    EXPECT_EQ(reason, std::string("--names needs english, german or solfege, not '") + value + "'");
    EXPECT_FALSE(line.showUsage) << value;
  }
  CommandLine line;
  std::string reason;
  EXPECT_FALSE(parse({"--headless", "in.wav", "--flats=yes"}, line, reason));  // a switch takes no value
}

}  // namespace

namespace {

TEST(StartSettings, ThemeLiveOrHeadlessAndRefusedInOneLineWhenUnknown) {
  struct Case {
    std::vector<const char*> args;
    Theme theme;
  };
  const Case cases[] = {
      {{"--headless", "in.wav"}, Theme::Design},
      {{"--theme", "dark"}, Theme::Dark},
      {{"song.flac", "--theme=contrast"}, Theme::Contrast},
      {{"--headless", "in.wav", "--theme", "design", "--picture", "p.png"}, Theme::Design},
  };
  for (const Case& c : cases) {
    CommandLine line;
    std::string reason;
    ASSERT_TRUE(parse(c.args, line, reason)) << reason;
    const auto record = std::make_unique<TunerState>();  // large: kept off the stack
    TunerState& tuner = *record;
    applyStartSettings(tuner, line.start);
    EXPECT_EQ(tuner.controls.theme, c.theme) << c.args.back();
  }
  for (const char* value : {"Dark", "light", "high-contrast", "dark,contrast"}) {
    CommandLine line;
    std::string reason;
    EXPECT_FALSE(parse({"--headless", "in.wav", "--theme", value}, line, reason)) << value;
    EXPECT_EQ(reason, std::string("--theme needs design, dark or contrast, not '") + value + "'");
  }
  CommandLine line;
  std::string reason;
  EXPECT_FALSE(parse({"--theme"}, line, reason));
  EXPECT_FALSE(parse({"--list-devices", "--theme", "dark"}, line, reason));
}

}  // namespace

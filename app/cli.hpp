#pragma once
// The command line: what to run and with which files and devices.

#include <string>
#include <string_view>
#include <vector>

#include "core/detector_choice.hpp"
#include "core/constants.hpp"
#include "core/note_naming.hpp"
#include "core/temperament_choice.hpp"
#include "core/theme_choice.hpp"
#include "audio/stream.hpp"

struct TunerState;

enum class RunMode { Live, ListDevices, Version, Help, Headless };

struct HeadlessOptions {
  std::string input;
  std::string eventsPath;  // empty: no events
  long long steps = -1;    // -1: enough steps to score the last complete block
  std::string scoresPath;  // each output is optional: empty means not written
  std::string picturePath;
  std::string outputPath;
  std::string rollPath;    // the whole piece as one piano-roll picture
  std::string pitchPath;   // the strongest note of every scored block, as the precise detector reads it
  std::string midiPath;    // the notes the precise detector heard
  int rollScale = 1;       // its pixels per block
};

// What the live window listens to and keeps.
struct LiveOptions {
  std::string inputFile;   // empty: the input device
  std::string recordPath;  // empty: nothing recorded
  int windowScale = 0;     // window pixels per picture pixel, 1 .. kMostWindowScale; 0: to suit the screen
  bool midiOut = false;    // send the notes heard as MIDI
  int midiDevice = -1;     // --midi-device N; -1: the program's own port (Linux) or the first output (Windows)
  std::string midiPath;    // the notes heard, as a MIDI file written when the program ends
  bool noSettings = false; // --no-settings: the settings file neither read nor written
  bool exclusive = false;  // --exclusive: the audio devices held alone (WASAPI on Windows)
};

// How the analysis starts, live or headless.
struct StartSettings {
  bool autoGain = false;
  double gain = 1.0;            // the starting `inputGain`, 0 .. 27
  double referencePitch = kStandardPitch;  // Hz of A4, 400 .. 480
  Detector detector = Detector::Design;   // --detector
  TemperamentChoice tuning;                // --temperament T --key NOTE
  int transposition = 0;                   // --transpose: semitones from concert to written names
  NoteNaming naming;                       // --names, --flats
  Theme theme = Theme::Design;             // --theme
};

struct CommandLine {
  RunMode mode = RunMode::Live;
  AudioDeviceChoice devices;
  HeadlessOptions headless;
  LiveOptions live;
  StartSettings start;
  bool showUsage = false;  // after a refusal: the option or argument itself is unknown
  std::vector<std::string> given;  // the options the command line gave, as the table names them ("--a4")
};

// Fills `line` from the arguments; false with a one-line reason (without the "sonavel: " prefix).
bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& reason);

// A kept setting applied to `line` as the option --NAME would apply `value` (a switch takes on
// or off), unless the command line gave that option or this form of the command takes none.
enum class SettingTaken { Applied, NotHere, Refused };
SettingTaken takeSetting(std::string_view name, const std::string& value, CommandLine& line, std::string& reason);
// Whether this form of the command (the window on a device or on FILE) takes --NAME.
bool formTakes(std::string_view name, const CommandLine& line);

// Puts the settings into the shared state; before start-up, which builds the note table from them.
void applyStartSettings(TunerState& tuner, const StartSettings& start);

// Every option as the table in cli.cpp names it, with what its value is called (empty for a
// switch): what the manual page must describe.
struct OptionName {
  std::string name;
  std::string value;
};
std::vector<OptionName> commandLineOptions();

// The text `--help` prints.
const char* usageText();
// Its first lines, the forms of the command; they follow a usage error on stderr.
const char* synopsisText();
const char* versionText();

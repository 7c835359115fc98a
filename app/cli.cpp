#include "app/cli.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "analysis/note_table.hpp"
#include "analysis/temperament.hpp"
#include "analysis/transposition.hpp"
#include "app/controls.hpp"
#include "core/whole_number.hpp"
#include "core/tuner_state.hpp"
#include "view/palette.hpp"
#include "view/roll_picture.hpp"

#ifndef SONAVEL_VERSION
#define SONAVEL_VERSION "unknown"
#endif

namespace {

constexpr double kMostStartGain = 27.0;  // the GAIN slider's full trough, 3 cubed
constexpr std::size_t kHelpColumn = 24;  // where each option's help text starts in --help
constexpr std::size_t kSynopsisWidth = 80;
constexpr std::string_view kSynopsisIndent = "               ";
constexpr int kMostMidiDevice = 999;

// A plain decimal number within [least, most]; no sign tricks, no hex, no infinities.
bool parseNumberIn(const std::string& text, double least, double most, double& out) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value) || value < least || value > most) return false;
  out = value;
  return true;
}

// A whole number within [least, most] that fits an int.
bool parseWholeIn(const std::string& text, int least, int most, int& out) {
  long long value = 0;
  if (!parseWhole(text, least, most, value)) return false;
  out = static_cast<int>(value);
  return true;
}

// ---- the options, one row each ------------------------------------------------------

// Where an option may be given: the window on the input device, the window on FILE,
// a headless replay, the device list.
enum Form : unsigned { kLive = 1, kFile = 2, kHeadless = 4, kListing = 8 };
constexpr unsigned kWindow = kLive | kFile;
constexpr unsigned kAnalysing = kWindow | kHeadless;

// An option's value kept as given: the file or device it names is checked when it is opened.
using Text = std::string& (*)(CommandLine& line);
// An option's value checked and stored now (a switch ignores `value`); false with why.
using Setter = bool (*)(const std::string& value, CommandLine& line, std::string& reason);

struct OptionRow {
  std::string_view name;       // "--scores"; FILE for the one plain argument
  const char* value;           // what --help calls its value; nullptr for a switch
  unsigned forms;              // where it may be given
  const char* help;            // for --help; each '\n' starts a line of its own
  Text text = nullptr;         // where a value kept as given goes
  Setter set = nullptr;        // or what checks and stores it
  std::string_view needs = {}; // an option it is given with
  const char* group = nullptr; // options refused together outside --headless, with one line
  const char* notHeadless = nullptr;  // why --headless refuses it
  const char* notWithFile = nullptr;  // why FILE refuses it
};

constexpr const char* kDeviceRefusal = "--headless opens no audio device: it takes no device options";

bool setSteps(const std::string& text, CommandLine& line, std::string& reason) {
  if (parseWhole(text, 0, kLastStep, line.headless.steps)) return true;
  reason = "--steps needs a whole number from 0 to " + std::to_string(kLastStep) + ", not '" + text + "'";
  return false;
}

bool setRollScale(const std::string& text, CommandLine& line, std::string& reason) {
  if (parseWholeIn(text, 1, kMostRollScale, line.headless.rollScale)) return true;
  reason = "--roll-scale needs a whole number from 1 to " + std::to_string(kMostRollScale) + ", not '" + text + "'";
  return false;
}

bool setWindowScale(const std::string& text, CommandLine& line, std::string& reason) {
  if (parseWholeIn(text, 1, kMostWindowScale, line.live.windowScale)) return true;
  reason = "--scale needs a whole number from 1 to " + std::to_string(kMostWindowScale) + ", not '" + text + "'";
  return false;
}

bool setGain(const std::string& text, CommandLine& line, std::string& reason) {
  if (parseNumberIn(text, 0.0, kMostStartGain, line.start.gain)) return true;
  reason = "--gain needs a number from 0 to 27, not '" + text + "'";
  return false;
}

bool setReferencePitch(const std::string& text, CommandLine& line, std::string& reason) {
  if (parseNumberIn(text, kLowestReferencePitch, kHighestReferencePitch, line.start.referencePitch)) return true;
  reason = "--a4 needs a frequency from 400 to 480 (Hz), not '" + text + "'";
  return false;
}

// "a, b, ... or z": every name a choice takes, as a refusal lists them.
template <typename Name>
std::string listedNames(Name name, int count) {
  std::string names;
  for (int i = 0; i < count; ++i) names.append(i == 0 ? "" : i + 1 == count ? " or " : ", ").append(name(i));
  return names;
}
std::string listedNames(const char* const* names, int count) {
  return listedNames([names](int i) { return names[i]; }, count);
}

bool setDetector(const std::string& text, CommandLine& line, std::string& reason) {
  for (int i = 0; i < kDetectorCount; ++i)
    if (text == kDetectorNames[i]) {
      line.start.detector = static_cast<Detector>(i);
      return true;
    }
  reason = "--detector needs " + listedNames(kDetectorNames, kDetectorCount) + ", not '" + text + "'";
  return false;
}

// "equal, just, ... or vallotti": every temperament's name.
std::string temperamentNames() {
  return listedNames([](int t) { return temperamentName(Temperament(t)); }, kTemperamentCount);
}

bool setTemperament(const std::string& text, CommandLine& line, std::string& reason) {
  if (temperamentNamed(text, line.start.tuning.temperament)) return true;
  reason = "--temperament needs " + temperamentNames() + ", not '" + text + "'";
  return false;
}

bool setKey(const std::string& text, CommandLine& line, std::string& reason) {
  if (keyNamed(text, line.start.tuning.key)) return true;
  reason = "--key needs a note from C to B, with # or b (C, C#, Db, ... B), not '" + text + "'";
  return false;
}

bool setTransposition(const std::string& text, CommandLine& line, std::string& reason) {
  if (transpositionNamed(text, line.start.transposition)) return true;
  const std::string most = std::to_string(kMostTransposition);
  reason = "--transpose needs Bb, Eb, F, A, G, C or semitones from -" + most + " to +" + most + ", not '" + text + "'";
  return false;
}

bool setNames(const std::string& text, CommandLine& line, std::string& reason) {
  constexpr struct {
    std::string_view name;
    NameSystem system;
  } kSystems[] = {{"english", NameSystem::English}, {"german", NameSystem::German}, {"solfege", NameSystem::Solfege}};
  for (const auto& entry : kSystems)
    if (text == entry.name) {
      line.start.naming.system = entry.system;
      return true;
    }
  reason = "--names needs english, german or solfege, not '" + text + "'";
  return false;
}

bool setTheme(const std::string& text, CommandLine& line, std::string& reason) {
  if (themeNamed(text.c_str(), line.start.theme)) return true;
  reason = "--theme needs design, dark or contrast, not '" + text + "'";
  return false;
}

bool setFlats(const std::string&, CommandLine& line, std::string&) { return line.start.naming.flats = true; }
bool setAutoGain(const std::string&, CommandLine& line, std::string&) { return line.start.autoGain = true; }
bool setMidiOut(const std::string&, CommandLine& line, std::string&) { return line.live.midiOut = true; }

bool setMidiDevice(const std::string& text, CommandLine& line, std::string& reason) {
  if (parseWholeIn(text, 0, kMostMidiDevice, line.live.midiDevice)) return true;
  reason = "--midi-device needs an index from --list-devices, 0 to " + std::to_string(kMostMidiDevice) + ", not '" +
           text + "'";
  return false;
}
bool setSwitch(const std::string&, CommandLine&, std::string&) { return true; }
bool setExclusive(const std::string&, CommandLine& line, std::string&) { return line.live.exclusive = true; }
bool setNoSettings(const std::string&, CommandLine& line, std::string&) { return line.live.noSettings = true; }

// --midi names the same file in the window as in a headless run.
bool setLiveMidiPath(const std::string& path, CommandLine& line, std::string&) {
  line.live.midiPath = path;
  return true;
}

// In the order --help lists them. A new option is one row here and its entry in the manual page.
const OptionRow kOptions[] = {
    {"FILE", nullptr, kFile,
     "analyse a sound file in the window instead (8 to 384 kHz, converted\n"
     "to 44100 Hz as it is read), at its own pace, and play it on the\n"
     "output device; Return pauses it",
     [](CommandLine& l) -> std::string& { return l.live.inputFile; }, nullptr, {}, nullptr,
     "FILE is for the window; a headless run takes its input as --headless INPUT"},
    {"--record", "OUT.wav", kWindow,
     "keep everything analysed, from start to exit, as mono 44100 Hz\n"
     "float WAV (whole even if the program is killed)",
     [](CommandLine& l) -> std::string& { return l.live.recordPath; }, nullptr, {}, nullptr,
     "--record keeps a live session; --headless writes its sound with --output"},
    {"--list-devices", nullptr, kListing, "list the audio devices: index, host API, channels, defaults;\nthen the MIDI outputs", nullptr,
     setSwitch, {}, nullptr, kDeviceRefusal},
    {"--input-device", "D", kLive, "listen to device D (an index from --list-devices, or a name)",
     [](CommandLine& l) -> std::string& { return l.devices.input; }, nullptr, {}, nullptr, kDeviceRefusal,
     "FILE takes the place of the input device: it takes no --input-device"},
    {"--output-device", "D", kWindow, "play the tone and the playback (and FILE) on device D",
     [](CommandLine& l) -> std::string& { return l.devices.output; }, nullptr, {}, nullptr, kDeviceRefusal},
    {"--exclusive", nullptr, kLive,
     "hold the audio devices alone for a lower latency (WASAPI on Windows;\n"
     "elsewhere, or where refused, the audio runs as usual)",
     nullptr, setExclusive, {}, nullptr, kDeviceRefusal, "FILE opens only an output: it takes no --exclusive"},
    {"--scale", "N", kWindow,
     "open the window at N times 640 x 480, 1 to 8\n"
     "(default: the largest that suits the screen)",
     nullptr, setWindowScale, {}, nullptr, "--scale sizes the window; --headless opens none"},
    {"--midi-out", nullptr, kWindow,
     "send the notes heard as MIDI note-on and note-off, as they are\n"
     "heard: on Linux from a port named sonavel, on Windows to output 0",
     nullptr, setMidiOut, {}, nullptr, "--midi-out sends notes live; --headless writes them with --midi OUT.mid"},
    {"--midi-device", "N", kWindow, "send them to MIDI output N of --list-devices instead", nullptr, setMidiDevice,
     "--midi-out", nullptr, "--midi-device chooses where --midi-out sends; --headless sends nothing"},
    {"--auto-gain", nullptr, kAnalysing, "start with automatic gain on (key A toggles it)", nullptr, setAutoGain},
    {"--gain", "G", kAnalysing, "starting gain of the analysed input, 0 to 27 (default 1)", nullptr, setGain},
    {"--a4", "HZ", kAnalysing, "reference pitch of A4, 400 to 480 Hz (default 440)", nullptr, setReferencePitch},
    {"--detector", "D", kAnalysing,
     "design (default) or precise: names the notes from their partials,\n"
     "with a cents read-out (key D switches)",
     nullptr, setDetector},
    {"--temperament", "T", kAnalysing,
     "tune the rows in T: equal (default), just, pythagorean, meantone,\n"
     "werckmeister3 or vallotti; A4 stays at --a4",
     nullptr, setTemperament},
    {"--key", "NOTE", kAnalysing, "the key the temperament is built on, C to B, # or b (default C)", nullptr, setKey,
     "--temperament"},
    {"--transpose", "NAME", kAnalysing,
     "the notes as written for Bb, Eb, F, A or G instruments, C (concert,\n"
     "default) or a shift of -36 to +36 semitones (key T cycles concert,\n"
     "Bb, Eb, F)",
     nullptr, setTransposition},
    {"--names", "NAME", kAnalysing,
     "name the notes in english (default: C D E F G A B), german (C D E\n"
     "F G A H, B for B flat, Cis Dis Fis Gis) or solfege (Do Re Mi Fa Sol\n"
     "La Si, fixed do)",
     nullptr, setNames},
    {"--flats", nullptr, kAnalysing, "spell black keys as flats (Bb Eb; Des Es; Reb Mib), not sharps", nullptr,
     setFlats},
    {"--theme", "NAME", kAnalysing,
     "draw the window, --picture and --roll in design (default) colours,\n"
     "dark, or contrast: for colour-blind eyes, lit cells bright and split",
     nullptr, setTheme},
    {"--headless", "INPUT", kHeadless,
     "replay a sound file (8 to 384 kHz, converted to 44100 Hz as it is\n"
     "read) without window or audio device, one 512-frame audio buffer\n"
     "and one frame step per step",
     [](CommandLine& l) -> std::string& { return l.headless.input; }},
    {"--events", "FILE", kHeadless,
     "key, pointer and close events by step, one per line:\n"
     "  <step> key <NAME|CODE> down|up\n"
     "  <step> move <x> <y>\n"
     "  <step> button left|right down|up\n"
     "  <step> close\n"
     "NAME: ESCAPE RETURN SPACE HOME END DELETE NUMPADENTER A D T",
     [](CommandLine& l) -> std::string& { return l.headless.eventsPath; }, nullptr, {}, "replay"},
    {"--steps", "N", kHeadless, "number of steps (default: enough to score the last block)", nullptr, setSteps, {},
     "replay"},
    {"--scores", "OUT.csv", kHeadless, "the 72 note scores of every scored block",
     [](CommandLine& l) -> std::string& { return l.headless.scoresPath; }, nullptr, {}, "replay"},
    {"--picture", "OUT.png", kHeadless, "the picture shown by the last frame step",
     [](CommandLine& l) -> std::string& { return l.headless.picturePath; }, nullptr, {}, "replay"},
    {"--output", "OUT.wav", kHeadless, "every output sample, mono 44100 Hz float",
     [](CommandLine& l) -> std::string& { return l.headless.outputPath; }, nullptr, {}, "replay"},
    {"--roll", "OUT.png", kHeadless, "the whole input as one piano-roll, a column per scored block",
     [](CommandLine& l) -> std::string& { return l.headless.rollPath; }, nullptr, {}, "roll"},
    {"--roll-scale", "N", kHeadless, "pixels per block in the roll, 1 to 16 (default 1)", nullptr, setRollScale,
     "--roll", "roll"},
    {"--pitch", "OUT.csv", kHeadless, "the strongest note of every scored block: name, Hz, cents, confidence",
     [](CommandLine& l) -> std::string& { return l.headless.pitchPath; }, nullptr, {}, "replay"},
    {"--no-settings", nullptr, kAnalysing,
     "neither read nor write the settings file: every setting at its\n"
     "default unless given (--headless never reads it)",
     nullptr, setNoSettings},
    {"--midi", "OUT.mid", kAnalysing, "the notes heard, as a Standard MIDI File (in the window:\nwritten when it closes)",
     [](CommandLine& l) -> std::string& { return l.headless.midiPath; }, setLiveMidiPath},
    {"--version", nullptr, 0, "print the version"},
    {"--help", nullptr, 0, "print this help"},
};
constexpr std::size_t kOptionCount = std::size(kOptions);

const OptionRow* findOption(std::string_view name) {
  if (name == "-h") name = "--help";
  for (const OptionRow& row : kOptions)
    if (row.name == name && row.name != "FILE") return &row;
  return nullptr;
}

const OptionRow& fileRow() { return kOptions[0]; }
std::size_t indexOf(const OptionRow& row) { return static_cast<std::size_t>(&row - kOptions); }

// ---- reading the arguments ------------------------------------------------------------

// Walks the arguments, splitting "--name=value" and taking a following value where one is needed.
class ArgumentReader {
 public:
  ArgumentReader(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

  bool next(std::string& name) {
    if (index_ >= argc_) return false;
    std::string_view arg = argv_[index_++];
    inlineValue_.reset();
    if (arg.rfind("--", 0) == 0) {
      auto equals = arg.find('=');
      if (equals != std::string_view::npos) {
        inlineValue_ = std::string(arg.substr(equals + 1));
        arg = arg.substr(0, equals);
      }
    }
    name = arg;
    return true;
  }

  bool value(const std::string& name, std::string& out, std::string& reason) {
    if (inlineValue_) {
      out = *inlineValue_;
      inlineValue_.reset();
    } else if (index_ < argc_ && std::string_view(argv_[index_]).rfind("--", 0) != 0) {
      out = argv_[index_++];
    } else if (index_ < argc_) {
      // "--headless --steps 5" forgot the file; taking "--steps" as its name would blame the "5"
      reason = "option " + name + " needs a value before " + argv_[index_] + " (write " + name + "=" +
               argv_[index_] + " for a file of that name)";
      return false;
    } else {
      reason = "option " + name + " needs a value";
      return false;
    }
    if (out.empty()) {
      reason = "option " + name + " needs a non-empty value";
      return false;
    }
    return true;
  }

  bool hasUnusedValue() const { return inlineValue_.has_value(); }

 private:
  int argc_;
  const char* const* argv_;
  int index_ = 1;
  std::optional<std::string> inlineValue_;
};

struct Seen {
  bool row[kOptionCount] = {};
  bool given(std::string_view name) const {
    const OptionRow* option = name == "FILE" ? &fileRow() : findOption(name);
    return option != nullptr && row[indexOf(*option)];
  }
};

// One option and its value, if it takes one.
bool takeOption(const OptionRow& option, const std::string& name, ArgumentReader& args, Seen& seen,
                CommandLine& line, std::string& reason) {
  bool& given = seen.row[indexOf(option)];
  if (given) {
    reason = "option " + name + " given twice";
    return false;
  }
  given = true;
  std::string value;
  if (option.value != nullptr && !args.value(name, value, reason)) return false;
  if (option.text != nullptr) option.text(line) = value;
  return option.set == nullptr || option.set(value, line, reason);
}

// ---- which options go together --------------------------------------------------------

// "--a, --b and --c": the options of `group`.
std::string groupNames(const char* group) {
  std::vector<std::string_view> names;
  for (const OptionRow& row : kOptions)
    if (row.group != nullptr && std::string_view(row.group) == group) names.push_back(row.name);
  std::string joined;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) joined += i + 1 == names.size() ? " and " : ", ";
    joined += names[i];
  }
  return joined;
}

bool refuse(std::string& reason, std::string why) {
  reason = std::move(why);
  return false;
}

// Options that belong to one form of the command must not be mixed with another.
bool checkCombination(const Seen& seen, std::string& reason) {
  const bool headless = seen.given("--headless"), file = seen.given("FILE");
  for (const OptionRow& row : kOptions) {
    if (!seen.row[indexOf(row)]) continue;
    if (row.forms == kHeadless && row.group != nullptr && !headless)
      return refuse(reason, groupNames(row.group) + " need --headless");
  }
  for (const OptionRow& row : kOptions)
    if (seen.row[indexOf(row)] && !row.needs.empty() && !seen.given(row.needs))
      return refuse(reason, std::string(row.name) + " needs " + std::string(row.needs));
  for (const OptionRow& row : kOptions)
    if (seen.row[indexOf(row)] && headless && row.notHeadless != nullptr) return refuse(reason, row.notHeadless);
  for (const OptionRow& row : kOptions)
    if (seen.row[indexOf(row)] && file && row.notWithFile != nullptr) return refuse(reason, row.notWithFile);
  if (seen.given("--list-devices"))
    for (const OptionRow& row : kOptions)
      if (seen.row[indexOf(row)] && row.forms != kListing) return refuse(reason, "--list-devices takes no other option");
  return true;
}

// ---- the texts the options make ----------------------------------------------------------

std::string optionWithValue(const OptionRow& row) {
  return row.value != nullptr ? std::string(row.name) + " " + row.value : std::string(row.name);
}

// One form of the command: "sonavel", the option that selects it and its value, then every
// other option of `form` in brackets, an option that needs another inside that one's
// brackets, wrapped under the first line.
std::string synopsisForm(std::string_view start, std::string_view lead, unsigned form) {
  std::vector<const OptionRow*> rows;
  for (const OptionRow& row : kOptions)
    if ((row.forms & form) != 0 && row.needs.empty() && lead.rfind(row.name, 0) != 0) rows.push_back(&row);
  // The options of this form alone first, then those it shares with others.
  std::stable_sort(rows.begin(), rows.end(),
                   [](const OptionRow* a, const OptionRow* b) { return std::popcount(a->forms) < std::popcount(b->forms); });
  std::string text(start);
  text += "sonavel";
  if (!lead.empty()) text.append(" ").append(lead);
  std::size_t lineLength = text.size();
  for (const OptionRow* row : rows) {
    std::string item = "[";
    item += optionWithValue(*row);
    for (const OptionRow& inner : kOptions)
      if (inner.needs == row->name && (inner.forms & form) != 0) item.append(" [").append(optionWithValue(inner)).append("]");
    item += "]";
    const bool wrap = lineLength + 1 + item.size() > kSynopsisWidth;
    text.append(wrap ? "\n" : " ").append(wrap ? kSynopsisIndent : "").append(item);
    lineLength = (wrap ? kSynopsisIndent.size() : lineLength + 1) + item.size();
  }
  return text + "\n";
}

std::string buildSynopsis() {
  return synopsisForm("usage: ", "", kLive) + synopsisForm("       ", "FILE", kFile) +
         synopsisForm("       ", "--list-devices", kListing) + synopsisForm("       ", "--headless INPUT", kHeadless) +
         "       sonavel --version | --help\n";
}

std::string buildUsage() {
  std::string text = buildSynopsis() + "\nWithout options sonavel opens its window and listens to the default input device.\n";
  for (const OptionRow& row : kOptions) {
    std::string lead = "  " + optionWithValue(row);
    lead.resize(std::max(kHelpColumn, lead.size() + 1), ' ');
    std::string_view help = row.help;
    for (std::size_t start = 0;;) {
      const std::size_t end = help.find('\n', start);
      text += (start == 0 ? lead : std::string(kHelpColumn, ' ')) + std::string(help.substr(start, end - start)) + "\n";
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
  }
  return text;
}

const std::string kSynopsis = buildSynopsis();
const std::string kUsage = buildUsage();
const char kVersion[] = "sonavel " SONAVEL_VERSION "\n";

}  // namespace

bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& reason) {
  line = CommandLine{};
  ArgumentReader args(argc, argv);
  Seen seen;
  std::string name;
  while (args.next(name)) {
    const OptionRow* option = findOption(name);
    bool ok = true;
    if (option == nullptr && name.rfind("-", 0) == 0) {
      reason = "unknown option " + name;
      line.showUsage = true;
      return false;
    }
    if (option == nullptr && (seen.given("FILE") || seen.given("--headless"))) {
      reason = "unexpected argument '" + name + "'";
      line.showUsage = true;
      return false;
    }
    if (option == nullptr) {
      seen.row[indexOf(fileRow())] = true;
      line.live.inputFile = name;
    } else {
      ok = takeOption(*option, name, args, seen, line, reason);
    }
    if (ok && args.hasUnusedValue()) {
      reason = "option " + name + " takes no value";
      ok = false;
    }
    if (!ok) return false;
    if (option != nullptr && option->forms == 0) {  // --help and --version end the parse
      line.mode = option->name == "--version" ? RunMode::Version : RunMode::Help;
      return true;
    }
  }
  if (!checkCombination(seen, reason)) return false;
  for (const OptionRow& row : kOptions)
    if (seen.row[indexOf(row)]) line.given.emplace_back(row.name);
  if (seen.given("--headless")) line.mode = RunMode::Headless;
  else if (seen.given("--list-devices")) line.mode = RunMode::ListDevices;
  return true;
}

bool formTakes(std::string_view name, const CommandLine& line) {
  const OptionRow* option = findOption("--" + std::string(name));
  const unsigned form = line.mode != RunMode::Live ? 0u : line.live.inputFile.empty() ? kLive : kFile;
  return option != nullptr && (option->forms & form) != 0;
}

SettingTaken takeSetting(std::string_view name, const std::string& value, CommandLine& line, std::string& reason) {
  const std::string option = "--" + std::string(name);
  if (!formTakes(name, line) || std::find(line.given.begin(), line.given.end(), option) != line.given.end())
    return SettingTaken::NotHere;
  const OptionRow& row = *findOption(option);
  if (row.value == nullptr && value != "on" && value != "off") {
    reason = std::string(name) + " needs on or off, not '" + value + "'";
    return SettingTaken::Refused;
  }
  if (row.value == nullptr && value == "off") return SettingTaken::Applied;
  if (row.text != nullptr) row.text(line) = value;
  if (row.set != nullptr && !row.set(value, line, reason)) return SettingTaken::Refused;
  return SettingTaken::Applied;
}

void applyStartSettings(TunerState& tuner, const StartSettings& start) {
  tuner.notes.referencePitch = start.referencePitch;
  tuner.notes.tuning = start.tuning;
  setGainSlider(tuner, start.gain);
  updateInputGain(tuner);
  setAutoGain(tuner, start.autoGain);
  tuner.controls.detector = start.detector;
  tuner.controls.transposition = start.transposition;
  tuner.controls.naming = start.naming;
  tuner.controls.theme = start.theme;
}

std::vector<OptionName> commandLineOptions() {
  std::vector<OptionName> names;
  for (const OptionRow& row : kOptions)
    if (row.name != "FILE") names.push_back({std::string(row.name), row.value != nullptr ? row.value : ""});
  return names;
}

const char* usageText() { return kUsage.c_str(); }
const char* synopsisText() { return kSynopsis.c_str(); }
const char* versionText() { return kVersion; }

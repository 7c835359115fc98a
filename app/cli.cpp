#include "app/cli.hpp"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "analysis/note_table.hpp"
#include "core/tuner_state.hpp"
#include "app/whole_number.hpp"
#include "app/controls.hpp"
#include "view/roll_picture.hpp"

#ifndef SONAVEL_VERSION
#define SONAVEL_VERSION "unknown"
#endif

namespace {

#define SONAVEL_SYNOPSIS                                                             \
  "usage: sonavel [--input-device N|NAME] [--output-device N|NAME]\n"                \
  "               [--auto-gain] [--gain G] [--a4 HZ] [--record OUT.wav]\n"            \
  "       sonavel FILE [--output-device N|NAME]\n"                                    \
  "               [--auto-gain] [--gain G] [--a4 HZ] [--record OUT.wav]\n"            \
  "       sonavel --list-devices\n"                                                   \
  "       sonavel --headless INPUT [--events FILE] [--steps N]\n"                     \
  "               [--scores OUT.csv] [--picture OUT.png] [--output OUT.wav]\n"        \
  "               [--roll OUT.png [--roll-scale N]]\n"                               \
  "               [--auto-gain] [--gain G] [--a4 HZ]\n"                                \
  "       sonavel --version | --help\n"

const char kSynopsis[] = SONAVEL_SYNOPSIS;

const char kUsage[] =
    SONAVEL_SYNOPSIS
    "\n"
    "Without options sonavel opens its window and listens to the default input device.\n"
    "  FILE                  analyse a 44100 Hz sound file in the window instead, at its own\n"
    "                        pace, and play it on the output device; Return pauses it\n"
    "  --record OUT.wav      keep everything analysed, from start to exit, as mono 44100 Hz\n"
    "                        float WAV (whole even if the program is killed)\n"
    "  --list-devices        list the audio devices: index, host API, channels, defaults\n"
    "  --input-device D      listen to device D (an index from --list-devices, or a name)\n"
    "  --output-device D     play the tone and the playback (and FILE) on device D\n"
    "  --auto-gain           start with automatic gain on (key A toggles it)\n"
    "  --gain G              starting gain of the analysed input, 0 to 27 (default 1)\n"
    "  --a4 HZ               reference pitch of A4, 400 to 480 Hz (default 440)\n"
    "  --headless INPUT      replay a 44100 Hz sound file without window or audio device,\n"
    "                        one 512-frame audio buffer and one frame step per step\n"
    "  --events FILE         key, pointer and close events by step, one per line:\n"
    "                          <step> key <NAME|CODE> down|up\n"
    "                          <step> move <x> <y>\n"
    "                          <step> button left|right down|up\n"
    "                          <step> close\n"
    "                        NAME: ESCAPE RETURN SPACE HOME END DELETE NUMPADENTER\n"
    "  --steps N             number of steps (default: enough to score the last block)\n"
    "  --scores OUT.csv      the 72 note scores of every scored block\n"
    "  --picture OUT.png     the picture shown by the last frame step\n"
    "  --output OUT.wav      every output sample, mono 44100 Hz float\n"
    "  --roll OUT.png        the whole input as one piano-roll, a column per scored block\n"
    "  --roll-scale N        pixels per block in the roll, 1 to 16 (default 1)\n"
    "  --version             print the version\n"
    "  --help                print this help\n";

const char kVersion[] = "sonavel " SONAVEL_VERSION "\n";

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

constexpr double kMostStartGain = 27.0;  // the GAIN slider's full trough, 3 cubed

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
  bool headless = false, events = false, steps = false, scores = false, picture = false, output = false;
  bool inputDevice = false, outputDevice = false, listDevices = false;
  bool autoGain = false, gain = false, a4 = false;
  bool inputFile = false, record = false;
  bool roll = false, rollScale = false;
};

bool takeOnce(bool& seen, const std::string& name, std::string& reason) {
  if (seen) {
    reason = "option " + name + " given twice";
    return false;
  }
  seen = true;
  return true;
}

// Options that belong to one mode must not be mixed with another.
bool checkCombination(const Seen& seen, std::string& reason) {
  bool replayOnly = seen.events || seen.steps || seen.scores || seen.picture || seen.output;
  bool deviceChoice = seen.inputDevice || seen.outputDevice;
  if (replayOnly && !seen.headless) {
    reason = "--events, --steps, --scores, --picture and --output need --headless";
    return false;
  }
  if ((seen.roll || seen.rollScale) && !seen.headless) {
    reason = "--roll and --roll-scale need --headless";
    return false;
  }
  if (seen.rollScale && !seen.roll) {
    reason = "--roll-scale needs --roll";
    return false;
  }
  if (seen.headless && (deviceChoice || seen.listDevices)) {
    reason = "--headless opens no audio device: it takes no device options";
    return false;
  }
  if (seen.record && seen.headless) {
    reason = "--record keeps a live session; --headless writes its sound with --output";
    return false;
  }
  if (seen.inputFile && seen.headless) {
    reason = "FILE is for the window; a headless run takes its input as --headless INPUT";
    return false;
  }
  if (seen.inputFile && seen.inputDevice) {
    reason = "FILE takes the place of the input device: it takes no --input-device";
    return false;
  }
  if (seen.listDevices && (deviceChoice || seen.autoGain || seen.gain || seen.a4 || seen.record || seen.inputFile)) {
    reason = "--list-devices takes no other option";
    return false;
  }
  return true;
}

}  // namespace

bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& reason) {
  line = CommandLine{};
  ArgumentReader args(argc, argv);
  Seen seen;
  std::string name;
  while (args.next(name)) {
    bool ok = true;
    bool helpOrVersion = name == "--help" || name == "-h" || name == "--version";
    if (helpOrVersion) {
      // nothing to read: it ends the parse below
    } else if (name == "--list-devices") {
      ok = takeOnce(seen.listDevices, name, reason);
    } else if (name == "--input-device") {
      ok = takeOnce(seen.inputDevice, name, reason) && args.value(name, line.devices.input, reason);
    } else if (name == "--output-device") {
      ok = takeOnce(seen.outputDevice, name, reason) && args.value(name, line.devices.output, reason);
    } else if (name == "--headless") {
      ok = takeOnce(seen.headless, name, reason) && args.value(name, line.headless.input, reason);
    } else if (name == "--events") {
      ok = takeOnce(seen.events, name, reason) && args.value(name, line.headless.eventsPath, reason);
    } else if (name == "--scores") {
      ok = takeOnce(seen.scores, name, reason) && args.value(name, line.headless.scoresPath, reason);
    } else if (name == "--picture") {
      ok = takeOnce(seen.picture, name, reason) && args.value(name, line.headless.picturePath, reason);
    } else if (name == "--output") {
      ok = takeOnce(seen.output, name, reason) && args.value(name, line.headless.outputPath, reason);
    } else if (name == "--record") {
      ok = takeOnce(seen.record, name, reason) && args.value(name, line.live.recordPath, reason);
    } else if (name == "--roll") {
      ok = takeOnce(seen.roll, name, reason) && args.value(name, line.headless.rollPath, reason);
    } else if (name == "--roll-scale") {
      std::string text;
      ok = takeOnce(seen.rollScale, name, reason) && args.value(name, text, reason);
      if (ok && !parseWholeIn(text, 1, kMostRollScale, line.headless.rollScale)) {
        reason = "--roll-scale needs a whole number from 1 to " + std::to_string(kMostRollScale) + ", not '" + text + "'";
        ok = false;
      }
    } else if (name == "--steps") {
      std::string text;
      ok = takeOnce(seen.steps, name, reason) && args.value(name, text, reason);
      if (ok && !parseWhole(text, 0, kLastStep, line.headless.steps)) {
        reason = "--steps needs a whole number from 0 to " + std::to_string(kLastStep) + ", not '" + text + "'";
        ok = false;
      }
    } else if (name == "--auto-gain") {
      ok = takeOnce(seen.autoGain, name, reason);
      line.start.autoGain = true;
    } else if (name == "--gain") {
      std::string text;
      ok = takeOnce(seen.gain, name, reason) && args.value(name, text, reason);
      if (ok && !parseNumberIn(text, 0.0, kMostStartGain, line.start.gain)) {
        reason = "--gain needs a number from 0 to 27, not '" + text + "'";
        ok = false;
      }
    } else if (name == "--a4") {
      std::string text;
      ok = takeOnce(seen.a4, name, reason) && args.value(name, text, reason);
      if (ok && !parseNumberIn(text, kLowestReferencePitch, kHighestReferencePitch, line.start.referencePitch)) {
        reason = "--a4 needs a frequency from 400 to 480 (Hz), not '" + text + "'";
        ok = false;
      }
    } else if (name.rfind("-", 0) == 0) {
      reason = "unknown option " + name;
      line.showUsage = true;
      ok = false;
    } else if (!seen.inputFile && !seen.headless) {
      seen.inputFile = true;
      line.live.inputFile = name;
    } else {
      reason = "unexpected argument '" + name + "'";
      line.showUsage = true;
      ok = false;
    }
    if (ok && args.hasUnusedValue()) {
      reason = "option " + name + " takes no value";
      ok = false;
    }
    if (!ok) return false;
    if (helpOrVersion) {
      line.mode = name == "--version" ? RunMode::Version : RunMode::Help;
      return true;
    }
  }
  if (!checkCombination(seen, reason)) return false;
  if (seen.headless) line.mode = RunMode::Headless;
  else if (seen.listDevices) line.mode = RunMode::ListDevices;
  return true;
}

void applyStartSettings(const StartSettings& start) {
  tuner.referencePitch = start.referencePitch;
  setGainSlider(start.gain);
  updateInputGain();
  setAutoGain(start.autoGain);
}

const char* usageText() { return kUsage; }
const char* synopsisText() { return kSynopsis; }
const char* versionText() { return kVersion; }

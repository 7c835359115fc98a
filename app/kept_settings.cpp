#include "app/kept_settings.hpp"

#include <charconv>

#include "analysis/temperament.hpp"
#include "analysis/transposition.hpp"
#include "core/tuner_state.hpp"
#include "platform/settings_place.hpp"
#include "view/palette.hpp"

namespace {

const StartSettings kDefaults;

std::string shortestText(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string keyText(int key) {
  constexpr const char* kKeys[] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
  return kKeys[key];
}

std::string transpositionText(int semitones) {
  char label[kTranspositionLabelSize];
  transpositionLabelInto(semitones, label);
  return label;
}

std::string namesText(NameSystem system) {
  switch (system) {
    case NameSystem::English: return "english";
    case NameSystem::German: return "german";
    case NameSystem::Solfege: return "solfege";
  }
  return {};
}

// A kept setting: the option it is (without "--") and its value now, as that option takes it;
// empty at the default, so a default changed by a later version reaches a file that never chose.
struct KeptRow {
  const char* name;
  std::string (*now)(const TunerState& tuner, const CommandLine& line);
};

// One row per kept setting, in the order a new file lists them.
const KeptRow kKept[] = {
    {"auto-gain", [](const TunerState& tuner, const CommandLine&) -> std::string { return tuner.controls.autoGain ? "on" : ""; }},
    {"detector",
     [](const TunerState& tuner, const CommandLine&) -> std::string {
       return tuner.controls.detector == kDefaults.detector ? "" : kDetectorNames[static_cast<int>(tuner.controls.detector)];
     }},
    {"a4",
     [](const TunerState& tuner, const CommandLine&) {
       return tuner.notes.referencePitch == kDefaults.referencePitch ? "" : shortestText(tuner.notes.referencePitch);
     }},
    {"temperament",
     [](const TunerState& tuner, const CommandLine&) -> std::string {
       return tuner.notes.tuning.temperament == kDefaults.tuning.temperament ? "" : temperamentName(tuner.notes.tuning.temperament);
     }},
    {"key", [](const TunerState& tuner, const CommandLine&) { return tuner.notes.tuning.key == kDefaults.tuning.key ? "" : keyText(tuner.notes.tuning.key); }},
    {"transpose",
     [](const TunerState& tuner, const CommandLine&) {
       return tuner.controls.transposition == kDefaults.transposition ? "" : transpositionText(tuner.controls.transposition);
     }},
    {"names",
     [](const TunerState& tuner, const CommandLine&) {
       return tuner.controls.naming.system == kDefaults.naming.system ? "" : namesText(tuner.controls.naming.system);
     }},
    {"flats", [](const TunerState& tuner, const CommandLine&) -> std::string { return tuner.controls.naming.flats ? "on" : ""; }},
    {"theme",
     [](const TunerState& tuner, const CommandLine&) -> std::string { return tuner.controls.theme == kDefaults.theme ? "" : themeName(tuner.controls.theme); }},
    {"input-device", [](const TunerState&, const CommandLine& line) { return line.devices.input; }},
    {"output-device", [](const TunerState&, const CommandLine& line) { return line.devices.output; }},
    {"scale", [](const TunerState&, const CommandLine& line) { return line.live.windowScale > 0 ? std::to_string(line.live.windowScale) : ""; }},
};

const KeptRow* keptRow(const std::string& name) {
  for (const KeptRow& row : kKept)
    if (name == row.name) return &row;
  return nullptr;
}

// What of the file this run could not use, as one line.
std::string problemLine(const std::string& path, const std::vector<std::string>& problems) {
  std::string line = path + ": " + problems.front() + "; ";
  line += problems.size() == 1 ? "that line is not used"
                               : "that line and " + std::to_string(problems.size() - 1) + " more are not used";
  return line;
}

}  // namespace

std::string keptSettingsPath(const CommandLine& line, std::vector<std::string>& notices) {
  if (line.mode != RunMode::Live || line.live.noSettings) return {};
  std::string why;
  const std::string path = settingsFilePath(why);
  if (path.empty()) notices.push_back("settings are not kept: " + why);
  return path;
}

KeptSettings readKeptSettings(const std::string& path, CommandLine& line, std::vector<std::string>& notices) {
  KeptSettings kept;
  kept.path = path;
  if (path.empty()) return kept;
  std::string reason;
  const SettingsRead read = readSettingsFile(kept.path, kept.text, reason);
  if (read == SettingsRead::Failed) {
    notices.push_back(reason + "; the settings are the defaults, and the file is left as it is");
    return kept;
  }
  kept.writable = true;
  kept.read = parseSettings(kept.text);
  std::vector<std::string> problems;
  for (const SettingsLine& setting : kept.read.lines) {
    if (!setting.problem.empty()) problems.push_back(setting.problem);
    if (setting.name.empty() || keptRow(setting.name) == nullptr) continue;  // another version's: kept as it is
    const SettingTaken taken = takeSetting(setting.name, setting.value, line, reason);
    if (taken == SettingTaken::Applied) kept.applied.push_back(setting.name);
    if (taken == SettingTaken::Refused) problems.push_back("line " + std::to_string(setting.number) + ": " + reason);
  }
  if (!problems.empty()) notices.push_back(problemLine(kept.path, problems));
  return kept;
}

std::vector<SettingValue> keptSettingsNow(const TunerState& tuner, const CommandLine& line) {
  std::vector<SettingValue> now;
  for (const KeptRow& row : kKept)
    if (formTakes(row.name, line)) now.push_back({row.name, row.now(tuner, line)});
  return now;
}

bool writeKeptSettings(const KeptSettings& kept, const TunerState& tuner, const CommandLine& line,
                       std::string& reason) {
  if (!kept.writable) return true;
  const std::string text = rewriteSettings(kept.read, keptSettingsNow(tuner, line));
  return text == kept.text || writeSettingsFile(kept.path, text, reason);
}

#include "io/settings_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/output_files.hpp"
#include "platform/file_names.hpp"
#include "platform/file_writes.hpp"
#include "platform/regular_file.hpp"
#include "platform/settings_place.hpp"

namespace {

constexpr std::size_t kMostSettingsBytes = 64 * 1024;  // far beyond any settings a person writes
constexpr std::size_t kQuotedTextLength = 40;          // of a line not understood, in its problem
constexpr std::string_view kBlank = " \t";
constexpr char kNewFileHeader[] = "# sonavel's settings, kept between runs: name = value, as the long options take them\n";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

// Control characters (NUL and the like) mean the file is not text.
bool isText(std::string_view line) {
  for (const char c : line)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
  return true;
}

// A line quoted in a problem, short and printable, so the problem stays one line.
std::string quoted(std::string_view line) {
  std::string text;
  for (const char c : line.substr(0, kQuotedTextLength)) text += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  return "'" + text + (line.size() > kQuotedTextLength ? "...'" : "'");
}

// Fills `line` from its text; the reason it is not understood, or empty.
std::string readLine(SettingsLine& line) {
  const std::string_view text = trimmed(line.text);
  if (!isText(line.text)) return "is not text";
  if (text.empty() || text.front() == '#') return {};
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return quoted(text) + " is not name = value";
  const std::string_view name = trimmed(text.substr(0, equals));
  if (name.empty() || name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-") != std::string_view::npos)
    return quoted(text) + ": a name is lower-case letters, digits and -";
  line.name = name;
  line.value = trimmed(text.substr(equals + 1));
  if (line.value.empty()) return std::string(name) + " has no value";
  return {};
}

const SettingValue* findValue(const std::vector<SettingValue>& now, const std::string& name) {
  for (const SettingValue& setting : now)
    if (setting.name == name) return &setting;
  return nullptr;
}

}  // namespace

SettingsText parseSettings(std::string_view text) {
  SettingsText settings;
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    SettingsLine line;
    line.number = ++number;
    line.text = text.substr(start, end - start);
    if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();  // written on Windows by hand
    std::string problem = readLine(line);
    for (const SettingsLine& earlier : settings.lines)
      if (problem.empty() && !line.name.empty() && earlier.name == line.name)
        problem = line.name + " is set again (line " + std::to_string(earlier.number) + "'s is used)";
    if (!problem.empty()) {
      line.name.clear();
      line.problem = "line " + std::to_string(line.number) + ": " + problem;
    }
    settings.lines.push_back(std::move(line));
    start = end + 1;
  }
  return settings;
}

std::string rewriteSettings(const SettingsText& old, const std::vector<SettingValue>& now) {
  std::string text;
  std::vector<std::string> placed;
  for (const SettingsLine& line : old.lines) {
    if (!line.problem.empty()) continue;
    const SettingValue* setting = line.name.empty() ? nullptr : findValue(now, line.name);
    if (setting == nullptr) {
      text += line.text + "\n";
      continue;
    }
    placed.push_back(setting->name);
    if (setting->value.empty()) continue;
    text += setting->value == line.value ? line.text : setting->name + " = " + setting->value;
    text += "\n";
  }
  std::string added;
  for (const SettingValue& setting : now)
    if (!setting.value.empty() && std::find(placed.begin(), placed.end(), setting.name) == placed.end())
      added += setting.name + " = " + setting.value + "\n";
  if (old.lines.empty() && !added.empty()) text = kNewFileHeader;
  return text + added;
}

SettingsRead readSettingsFile(const std::string& path, std::string& text, std::string& reason) {
  if (fileKind(path) == FileKind::Missing) return SettingsRead::Missing;
  std::string why;
  const int fd = openRegularFile(path.c_str(), why);
  if (fd < 0) {
    reason = path + ": cannot read: " + why;
    return SettingsRead::Failed;
  }
  std::uint64_t size = 0;
  if (!regularFileSize(fd, size) || size > kMostSettingsBytes) {
    closeFile(fd);
    reason = path + ": " + std::to_string(size) + " bytes is too large for a settings file";
    return SettingsRead::Failed;
  }
  text.assign(static_cast<std::size_t>(size), '\0');
  const bool whole = size == 0 || readAt(fd, text.data(), text.size(), 0);
  const int error = errno;
  closeFile(fd);
  if (whole) return SettingsRead::Read;
  reason = path + ": cannot read: " + std::strerror(error);
  return SettingsRead::Failed;
}

bool writeSettingsFile(const std::string& path, const std::string& text, std::string& reason) {
  std::string why;
  if (!makeFoldersAbove(path, why)) {
    reason = path + ": cannot write: " + why;
    return false;
  }
  OutputFile out;
  const int fd = createOutput(path, out, reason);
  if (fd < 0) return false;
  const bool written = text.empty() || writeAt(fd, text.data(), text.size(), 0);
  const int error = errno;
  const bool kept = closeFile(fd) && written;
  if (!kept) {
    reason = path + ": cannot write: " + std::strerror(written ? errno : error);
    discardOutput(out);
    return false;
  }
  return commitOutput(out, reason);
}

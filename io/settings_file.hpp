#pragma once
// The settings file: plain UTF-8 text, one `name = value` a line, `#` starting a comment.
// Read at start, written whole at exit; lines the program does not know are kept as they are,
// so a file a newer version wrote survives a run of an older one.

#include <string>
#include <string_view>
#include <vector>

struct SettingsLine {
  std::string text;      // as the file has it, for the rewrite
  std::string name;      // empty: a blank line or a comment
  std::string value;
  int number = 0;        // counted from 1
  std::string problem;   // why it is not understood ("line 3: ..."), left out of the rewrite; empty when it is
};

struct SettingsText {
  std::vector<SettingsLine> lines;
};

// One setting as the program holds it at exit; an empty value stands for the default.
struct SettingValue {
  std::string name;
  std::string value;
};

SettingsText parseSettings(std::string_view text);

// `old` with `now` in it: each setting's line rewritten where it stands (kept as written when its
// value is the same), left out when now the default, added at the end when new; every other
// line (comments, names `now` does not hold) kept. A file begun here starts with a comment
// saying what it is; nothing at all when it would hold no setting.
std::string rewriteSettings(const SettingsText& old, const std::vector<SettingValue>& now);

enum class SettingsRead { Missing, Read, Failed };
// The file's text; Missing when nothing is there, Failed with why (unreadable, not a regular
// file, too large to be settings).
SettingsRead readSettingsFile(const std::string& path, std::string& text, std::string& reason);
// Writes `text` whole in place of `path` (the folders above made first); false with why.
bool writeSettingsFile(const std::string& path, const std::string& text, std::string& reason);

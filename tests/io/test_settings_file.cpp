// The settings file's text: what a line means, what a rewrite keeps, and the file read and written whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/settings_file.hpp"
#include "scratch_dir.hpp"

namespace {

// The settings a text gives, "name=value" each, in order.
std::vector<std::string> settingsOf(const SettingsText& text) {
  std::vector<std::string> found;
  for (const SettingsLine& line : text.lines)
    if (!line.name.empty()) found.push_back(line.name + "=" + line.value);
  return found;
}

std::vector<std::string> problemsOf(const SettingsText& text) {
  std::vector<std::string> problems;
  for (const SettingsLine& line : text.lines)
    if (!line.problem.empty()) problems.push_back(line.problem);
  return problems;
}

TEST(SettingsFile, WhatEachLineMeans) {
  struct Case {
    const char* text;
    std::vector<std::string> settings;
    std::string problem;  // the first, or empty
  };
  const Case cases[] = {
      {"a4 = 442\n", {"a4=442"}, ""},
      {"a4=442", {"a4=442"}, ""},                               // no spaces, no last newline
      {"\t detector   =  precise \t\r\n", {"detector=precise"}, ""},  // blanks and a Windows line end
      {"input-device = USB Audio = 2\n", {"input-device=USB Audio = 2"}, ""},  // the value is all after the first =
      {"# a comment = not a setting\n\n   \n", {}, ""},
      {"a4 442\n", {}, "line 1: 'a4 442' is not name = value"},
      {"= 442\n", {}, "line 1: '= 442': a name is lower-case letters, digits and -"},
      {"A4 = 442\n", {}, "line 1: 'A4 = 442': a name is lower-case letters, digits and -"},
      {"--a4 = 442\n", {"--a4=442"}, ""},  // a name no version keeps: another version's, left to it
      {"a4 =\n", {}, "line 1: a4 has no value"},
      {"a4 = 442\na4 = 415\n", {"a4=442"}, "line 2: a4 is set again (line 1's is used)"},
      {"x\ny = 1\n", {"y=1"}, "line 1: 'x' is not name = value"},
  };
  for (const Case& c : cases) {
    const SettingsText text = parseSettings(c.text);
    EXPECT_EQ(settingsOf(text), c.settings) << c.text;
    const std::vector<std::string> problems = problemsOf(text);
    EXPECT_EQ(problems.empty() ? "" : problems.front(), c.problem) << c.text;
  }
}

TEST(SettingsFile, BinaryIsRefusedLineByLineEachInOneShortLine) {
  const std::vector<std::string> problems = problemsOf(parseSettings(std::string("\x1a\n\0\0\rIHDR=\x01\n", 12)));
  EXPECT_EQ(problems, (std::vector<std::string>{"line 1: is not text", "line 2: is not text"}));
  const std::vector<std::string> longLine = problemsOf(parseSettings(std::string(500, 'x') + "\n"));
  ASSERT_EQ(longLine.size(), 1u);
  EXPECT_LT(longLine[0].size(), 80u);
}

TEST(SettingsFile, ANewFileHoldsItsSettingsAfterOneCommentAndReadsBackTheSame) {
  const std::vector<SettingValue> now = {{"auto-gain", "on"}, {"detector", ""}, {"a4", "442.5"}, {"transpose", "Bb"}};
  const std::string text = rewriteSettings(parseSettings(""), now);
  EXPECT_EQ(text.substr(0, 1), "#");
  EXPECT_NE(text.find("\nauto-gain = on\na4 = 442.5\ntranspose = Bb\n"), std::string::npos) << text;
  const SettingsText read = parseSettings(text);
  EXPECT_TRUE(problemsOf(read).empty());
  EXPECT_EQ(settingsOf(read), (std::vector<std::string>{"auto-gain=on", "a4=442.5", "transpose=Bb"}));
  EXPECT_EQ(rewriteSettings(read, now), text);  // written again unchanged
  EXPECT_EQ(rewriteSettings(parseSettings(""), {{"a4", ""}, {"detector", ""}}), "");  // the defaults: no file
}

TEST(SettingsFile, ARewriteKeepsWhatItDoesNotHoldAndChangesOnlyWhatChanged) {
  const std::string before =
      "# mine\n"
      "a4=442\n"           // unchanged: kept as written
      "theme = night\n"    // a newer version's setting: kept
      "detector = precise\n"  // back at the default: gone
      "not a setting\n"    // not understood: gone
      "transpose = Eb\n"   // changed in place
      "a4 = 415\n";        // a second a4, not used: gone
  const std::vector<SettingValue> now = {{"a4", "442"}, {"detector", ""}, {"transpose", "F"}, {"names", "german"}};
  EXPECT_EQ(rewriteSettings(parseSettings(before), now),
            "# mine\n"
            "a4=442\n"
            "theme = night\n"
            "transpose = F\n"
            "names = german\n");
}

TEST(SettingsFile, WrittenWholeIntoFoldersMadeForItAndReadBack) {
  ScratchDir scratch("settings-file");
  const std::string path = (std::filesystem::current_path() / "config" / "sonavel" / "settings").string();
  std::string text, reason;
  EXPECT_EQ(readSettingsFile(path, text, reason), SettingsRead::Missing);
  ASSERT_TRUE(writeSettingsFile(path, "a4 = 442\n", reason)) << reason;
  ASSERT_EQ(readSettingsFile(path, text, reason), SettingsRead::Read) << reason;
  EXPECT_EQ(text, "a4 = 442\n");
  ASSERT_TRUE(writeSettingsFile(path, "a4 = 415\n", reason)) << reason;
  ASSERT_EQ(readSettingsFile(path, text, reason), SettingsRead::Read);
  EXPECT_EQ(text, "a4 = 415\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()),
                          std::filesystem::directory_iterator{}),
            1);  // no temporary file left beside it
}

TEST(SettingsFile, WhatCannotBeSettingsIsRefusedWithItsName) {
  ScratchDir scratch("settings-refused");
  std::filesystem::create_directories("folder");
  std::ofstream("large", std::ios::binary) << std::string(100 * 1024, '#');
  std::ofstream("plain", std::ios::binary) << "a4 = 442\n";
  std::string text, reason;
  EXPECT_EQ(readSettingsFile("folder", text, reason), SettingsRead::Failed);
  EXPECT_EQ(reason.rfind("folder: cannot read: ", 0), 0u) << reason;
  EXPECT_EQ(readSettingsFile("large", text, reason), SettingsRead::Failed);
  EXPECT_EQ(reason, "large: 102400 bytes is too large for a settings file");
  EXPECT_FALSE(writeSettingsFile("plain/sonavel/settings", "a4 = 442\n", reason));  // a file where a folder must be
  EXPECT_EQ(reason.rfind("plain/sonavel/settings: cannot write: ", 0), 0u) << reason;
  EXPECT_FALSE(writeSettingsFile("folder", "a4 = 442\n", reason));
  ASSERT_EQ(readSettingsFile("plain", text, reason), SettingsRead::Read);
  EXPECT_EQ(text, "a4 = 442\n");
}

}  // namespace

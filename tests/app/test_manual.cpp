// The manual page and `--help` list the same options.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "app/cli.hpp"

namespace {

bool optionCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; }

// Every "--name" in the text.
std::set<std::string> optionsIn(const std::string& text) {
  std::set<std::string> found;
  for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
    std::size_t end = at + 2;
    while (end < text.size() && optionCharacter(text[end])) ++end;
    if (end > at + 2) found.insert(text.substr(at, end - at));
    at = end - 2;
  }
  return found;
}

// roff writes each hyphen of an option as "\-".
std::string plainHyphens(std::string text) {
  for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) text.erase(at, 1);
  return text;
}

TEST(Manual, ListsTheOptionsOfHelp) {
  std::ifstream in(SONAVEL_MAN_PAGE);
  ASSERT_TRUE(in) << SONAVEL_MAN_PAGE;
  const std::set<std::string> inManual = optionsIn(plainHyphens({std::istreambuf_iterator<char>(in), {}}));
  const std::set<std::string> inHelp = optionsIn(usageText());
  EXPECT_GE(inHelp.size(), 16u);
  for (const std::string& name : inHelp) EXPECT_EQ(inManual.count(name), 1u) << name << " is in --help, not in the manual";
  for (const std::string& name : inManual) EXPECT_EQ(inHelp.count(name), 1u) << name << " is in the manual, not in --help";
}

// Each option of the table has its entry, its value named as --help names it.
TEST(Manual, DescribesEveryOptionOfTheTableWithItsValue) {
  std::ifstream in(SONAVEL_MAN_PAGE);
  const std::string manual = plainHyphens({std::istreambuf_iterator<char>(in), {}});
  for (const OptionName& option : commandLineOptions()) {
    const std::string entry = option.value.empty() ? ".B " + option.name + "\n"
                                                   : ".BI " + option.name + " \" " + option.value + "\"";
    EXPECT_NE(manual.find(entry), std::string::npos) << entry;
  }
}

}  // namespace

// The manual page and `--help` list the same options.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "app/cli.hpp"

namespace {

std::set<std::string> optionsIn(const std::string& text, const std::regex& pattern) {
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it)
    found.insert((*it)[1].str());
  return found;
}

TEST(Manual, ListsTheOptionsOfHelp) {
  std::ifstream in(SONAVEL_MAN_PAGE);
  ASSERT_TRUE(in) << SONAVEL_MAN_PAGE;
  const std::string manual{std::istreambuf_iterator<char>(in), {}};
  // roff writes each hyphen of an option as "\-".
  const std::set<std::string> inManual = optionsIn(manual, std::regex(R"(\\-\\-([a-z0-9]+(?:\\-[a-z0-9]+)*))"));
  std::set<std::string> inManualPlain;
  for (std::string name : inManual) inManualPlain.insert(std::regex_replace(name, std::regex(R"(\\-)"), "-"));
  const std::set<std::string> inHelp = optionsIn(usageText(), std::regex(R"(--([a-z0-9]+(?:-[a-z0-9]+)*))"));
  EXPECT_GE(inHelp.size(), 16u);
  for (const std::string& name : inHelp) EXPECT_EQ(inManualPlain.count(name), 1u) << "--" << name << " is in --help, not in the manual";
  for (const std::string& name : inManualPlain) EXPECT_EQ(inHelp.count(name), 1u) << "--" << name << " is in the manual, not in --help";
}

}  // namespace

// The progress line of a long headless run, end to end: shown on a terminal (a pseudo-terminal
// here) and wiped at the end, so the terminal keeps only the usual lines; nothing of it where
// stderr is a file.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "headless_fixture.hpp"
#include "lying_sounds.hpp"

namespace {

constexpr std::uint32_t kTwoHours = 2 * 3600 * 44100;

// The lines a terminal shows after `bytes`: a carriage return goes back to the start of the line,
// a character overwrites, a newline starts the next line. Trailing spaces are dropped.
std::vector<std::string> screenLines(const std::string& bytes) {
  std::vector<std::string> lines(1);
  std::size_t column = 0;
  for (char c : bytes) {
    std::string& line = lines.back();
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      if (column == line.size()) line += c; else line[column] = c;
      ++column;
    }
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

std::vector<std::string> fileLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Progress : public Headless {};

// Two hours of audio, and an output that fails only when written at the end: the one line that
// says so must stand alone on the terminal, as it does in a file.
TEST_F(Progress, ALongRunOnATerminalShowsItsProgressAndLeavesOnlyItsOwnLines) {
  ASSERT_TRUE(lying::sparseSilence(file("long.wav"), kTwoHours));
  const std::vector<std::string> args = {"--headless", "long.wav", "--picture", "/dev/full"};

  const Result toFile = run(args);
  ASSERT_EQ(toFile.status, 1) << toFile.err;
  const std::vector<std::string> usual = fileLines(toFile.err);
  ASSERT_EQ(usual.size(), 1u) << toFile.err;
  EXPECT_EQ(usual[0].rfind("sonavel: /dev/full: ", 0), 0u) << toFile.err;
  EXPECT_EQ(toFile.err.find('\r'), std::string::npos) << "nothing of the progress line in a file";

  const Result onTerminal = runOnTerminal(args);
  EXPECT_EQ(onTerminal.status, 1);
  EXPECT_NE(onTerminal.err.find("\rsonavel: "), std::string::npos) << onTerminal.err;
  EXPECT_NE(onTerminal.err.find("% of the input, "), std::string::npos) << onTerminal.err;
  EXPECT_NE(onTerminal.err.find("x real time, "), std::string::npos) << onTerminal.err;
  EXPECT_NE(onTerminal.err.find(" left"), std::string::npos) << onTerminal.err;
  EXPECT_EQ(screenLines(onTerminal.err), usual) << onTerminal.err;
  // Never as wide as the terminal, where the cursor would wrap past the carriage return's reach.
  std::size_t widest = 0;
  for (std::size_t start = 0, end; start < onTerminal.err.size(); start = end + 1) {
    end = std::min(onTerminal.err.find_first_of("\r\n", start), onTerminal.err.size());
    widest = std::max(widest, end - start);
  }
  EXPECT_LT(widest, std::size_t{kTerminalColumns});
}

}  // namespace

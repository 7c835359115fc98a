#pragma once
// The real sonavel binary run headless in a scratch directory of its own, and the
// readers of what it writes: what every end-to-end test of the headless program shares.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "probe.hpp"

namespace fs = std::filesystem;

inline constexpr double kA4 = 440.0009766;     // note table entry 48, row 36
inline constexpr auto kRunTimeout = std::chrono::seconds(120);
inline constexpr unsigned short kTerminalColumns = 100;  // of the pseudo-terminal runOnTerminal gives
// About -30 dBFS, a plain microphone level. The spectrum is unwindowed and unscaled, so
// a much louder sine leaks enough into G4 and G#4 for them to score too and, through
// the neighbour rule, to push A4 down to 0.15 in some blocks; at this level A4 alone lights.
inline constexpr double kSineLevel = 0.03;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Headless : public ::testing::Test {
 protected:
  fs::path dir;

  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("sonavel-e2e-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    // The program loads its font from the working directory, as it does live.
    if (fs::exists(SONAVEL_FONT)) fs::copy_file(SONAVEL_FONT, dir / "font.tga");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir);
  }

  std::string file(const std::string& name) const { return (dir / name).string(); }

  // Starts the binary in the scratch directory, standard input closed; `noHangUp` starts it as nohup would.
  pid_t start(const std::vector<std::string>& args, bool noHangUp = false) {
    std::vector<const char*> argv{SONAVEL_BINARY};
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::string outPath = file("stdout.txt"), errPath = file("stderr.txt");
    std::fflush(nullptr);  // or the child writes what this process has buffered once more
    pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir.c_str()) != 0) ::_exit(127);
      if (noHangUp) ::signal(SIGHUP, SIG_IGN);
      std::freopen("/dev/null", "r", stdin);
      std::freopen(outPath.c_str(), "w", stdout);
      std::freopen(errPath.c_str(), "w", stderr);
      ::execv(SONAVEL_BINARY, const_cast<char* const*>(argv.data()));
      ::_exit(127);
    }
    return pid;
  }

  // Runs the binary in the scratch directory, standard input closed, with a time limit.
  Result run(const std::vector<std::string>& args) { return finish(start(args)); }

  // Waits for a started run, within the time limit, and collects what it said.
  Result finish(pid_t pid, std::chrono::milliseconds limit = kRunTimeout) {
    std::string outPath = file("stdout.txt"), errPath = file("stderr.txt");
    Result result;
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "sonavel did not finish in time";
        return result;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
  }

  // Runs the binary in the scratch directory with stderr on a pseudo-terminal kTerminalColumns wide,
  // stdout to /dev/null, with a time limit; `err` is all the terminal received.
  Result runOnTerminal(const std::vector<std::string>& args) {
    Result result;
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return result;
    }
    const winsize size{24, kTerminalColumns, 0, 0};
    ::ioctl(terminal, TIOCSWINSZ, &size);
    const std::string side = ::ptsname(terminal);
    std::vector<const char*> argv{SONAVEL_BINARY};
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int err = ::open(side.c_str(), O_RDWR | O_NOCTTY);
      if (err < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
      ::dup2(err, STDERR_FILENO);
      std::freopen("/dev/null", "r", stdin);
      std::freopen("/dev/null", "w", stdout);
      ::execv(SONAVEL_BINARY, const_cast<char* const*>(argv.data()));
      ::_exit(127);
    }
    // Read while it runs: a terminal holds only a few kilobytes before the writer waits.
    const auto deadline = std::chrono::steady_clock::now() + kRunTimeout;
    int status = 0;
    bool ended = false;
    char buffer[4096];
    for (;;) {
      pollfd ready{terminal, POLLIN, 0};
      if (::poll(&ready, 1, 20) > 0) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got > 0) {
          result.err.append(buffer, static_cast<std::size_t>(got));
          continue;
        }
      }
      if (ended) break;  // and nothing more to read
      ended = ::waitpid(pid, &status, WNOHANG) == pid;
      if (!ended && std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "sonavel did not finish in time";
        break;
      }
    }
    ::close(terminal);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
  }

  std::string sineFile(const char* name, double seconds, double frequency = kA4, double level = kSineLevel) {
    std::vector<float> samples(static_cast<std::size_t>(seconds * probe::kSampleRate));
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<float>(level * std::sin(2.0 * std::numbers::pi * frequency * i / probe::kSampleRate));
    EXPECT_TRUE(probe::writeSound(file(name), samples, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    return file(name);
  }

  std::string events(const char* name, const std::string& text) {
    std::ofstream(file(name)) << text;
    return file(name);
  }

  std::vector<probe::ScoreRow> scores(const std::string& path) {
    std::vector<std::string> header;
    std::vector<probe::ScoreRow> rows;
    EXPECT_TRUE(probe::readScores(path, header, rows)) << path;
    return rows;
  }

  probe::Picture picture(const std::string& path) {
    probe::Picture p;
    EXPECT_TRUE(probe::readPng(path, p)) << path;
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(p.height, 480);
    return p;
  }

  std::vector<float> sound(const std::string& path) {
    std::vector<float> samples;
    EXPECT_TRUE(probe::readSound(path, samples)) << path;
    return samples;
  }
};


// The log: silent while off; while on, each message on a line of its own after a newline.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/log.hpp"
#include "app/tuner_state.hpp"

namespace {

std::string readAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

class Log : public ::testing::Test {
 protected:
  std::filesystem::path oldDir, scratch;
  void SetUp() override {
    resetTunerState();
    oldDir = std::filesystem::current_path();
    scratch = std::filesystem::temp_directory_path() / ("sonavel-log-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    std::filesystem::current_path(scratch);
  }
  void TearDown() override {
    std::filesystem::current_path(oldDir);
    std::filesystem::remove_all(scratch);
  }
};

TEST_F(Log, OffByDefaultWritesNothing) {
  logMessage("Loading font");
  disableLog();
  EXPECT_FALSE(std::filesystem::exists(kLogFileName));
}

TEST_F(Log, WhileOnEachMessageFollowsANewlineWithNoneAfter) {
  tuner.loggingEnabled = true;
  logMessage("Loading font");
  EXPECT_EQ(readAll(kLogFileName), "\nLoading font");
  logMessage("value %d", 7);
  EXPECT_EQ(readAll(kLogFileName), "\nLoading font\nvalue 7");
}

TEST_F(Log, DisableLogWritesItsLastMessageThenStops) {
  tuner.loggingEnabled = true;
  disableLog();
  logMessage("after");
  EXPECT_EQ(readAll(kLogFileName), "\nLog disabled");
}

TEST_F(Log, OverlongMessageIsCutToTheBuffer) {
  tuner.loggingEnabled = true;
  logMessage("%s", std::string(5000, 'x').c_str());
  EXPECT_EQ(readAll(kLogFileName).size(), 1u + kLogMessageCapacity - 1);
}

}  // namespace

// The log: silent while off; while on, each message on a line of its own after a newline.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/log.hpp"
#include "core/tuner_state.hpp"
#include "scratch_dir.hpp"

namespace {

std::string readAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

class Log : public ::testing::Test {
 protected:
  ScratchDir scratch{"log"};
  void SetUp() override { resetTunerState(); }
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

// Where the font is found: the working directory first, then beside the program, then its data directory.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/data_paths.hpp"
#include "scratch_dir.hpp"

namespace fs = std::filesystem;

namespace {

TEST(FontCandidates, WorkingDirectoryThenBesideTheProgramThenDataDirectories) {
  const std::vector<std::string> found = fontCandidates("/opt/sonavel/bin");
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0], "font.tga");
  EXPECT_EQ(found[1], "/opt/sonavel/bin/font.tga");
  EXPECT_EQ(found[2], "/opt/sonavel/bin/../share/sonavel/font.tga");
  EXPECT_EQ(found[3].front(), '/');
  EXPECT_EQ(found[3].substr(found[3].size() - 17), "/sonavel/font.tga");

  const std::vector<std::string> unknownProgram = fontCandidates("");
  ASSERT_EQ(unknownProgram.size(), 2u);
  EXPECT_EQ(unknownProgram[0], "font.tga");
  EXPECT_EQ(unknownProgram[1], found[3]);

  const std::string ownDir = executableDir();
  EXPECT_TRUE(fs::exists(fs::path(ownDir) / "test_app") || fs::exists(fs::path(ownDir) / "test_app.exe")) << ownDir;
}

TEST(FontCandidates, TheFirstThatExistsWins) {
  ScratchDir scratch("font-candidates");
  for (const char* folder : {"here", "bin", "share"}) fs::create_directory(folder);
  const std::vector<std::string> candidates = {"here/font.tga", "bin/font.tga", "share/font.tga"};
  struct Case {
    std::vector<const char*> files;  // which candidates exist
    bool cwdIsAFolder;               // a folder of that name counts: loading says what is wrong with it
    std::string chosen;
  };
  const Case cases[] = {
      {{}, false, "here/font.tga"},  // none: the first, so the complaint names the usual file
      {{"share/font.tga"}, false, "share/font.tga"},
      {{"bin/font.tga", "share/font.tga"}, false, "bin/font.tga"},
      {{"here/font.tga", "bin/font.tga", "share/font.tga"}, false, "here/font.tga"},
      {{"share/font.tga"}, true, "here/font.tga"},
  };
  for (const Case& c : cases) {
    for (const std::string& path : candidates) fs::remove(path);
    for (const char* path : c.files) std::ofstream(path) << "x";
    if (c.cwdIsAFolder) fs::create_directory("here/font.tga");
    EXPECT_EQ(firstExisting(candidates), c.chosen) << c.files.size() << " files";
  }
  EXPECT_EQ(firstExisting({}), "font.tga");
}

}  // namespace

#pragma once
// Runs a test inside a fresh temporary working directory, removed afterwards.

#include <filesystem>
#include <string>

#include "system_calls.hpp"

class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name)
      : previous_(std::filesystem::current_path()),
        path_(std::filesystem::temp_directory_path() / ("sonavel-" + name + "-" + std::to_string(test_system::processId()))) {
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~ScratchDir() {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(path_);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

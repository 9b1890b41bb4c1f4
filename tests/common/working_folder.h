// A fresh, empty folder as the current directory for as long as the object
// lives: the plugin looks for its settings file there. The folder and all in
// it go when the object does, and the previous directory comes back. Built
// for Linux and for Windows alike.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

class WorkingFolder {
 public:
  WorkingFolder() : previous_(std::filesystem::current_path()) {
    std::random_device entropy;
    for (int attempt = 0; folder_.empty() && attempt < 100; ++attempt) {
      const std::filesystem::path candidate =
          std::filesystem::temp_directory_path() / ("quillmere-test-" + std::to_string(entropy()));
      if (std::filesystem::create_directory(candidate)) {
        folder_ = candidate;
      }
    }
    if (folder_.empty()) {
      std::abort();
    }
    std::filesystem::current_path(folder_);
  }
  ~WorkingFolder() {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(folder_);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

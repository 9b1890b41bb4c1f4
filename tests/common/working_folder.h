// A fresh, empty folder as the current directory for as long as the object
// lives: the plugin looks for its settings file there. The folder and all in
// it go when the object does, and the previous directory comes back.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

class WorkingFolder {
 public:
  WorkingFolder() : previous_(std::filesystem::current_path()) {
    char pattern[] = "/tmp/quillmere-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      std::abort();
    }
    folder_ = pattern;
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

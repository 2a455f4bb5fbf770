// TempDirectory: a fresh, uniquely named directory under the system temporary
// directory for one test, removed with everything in it when the object dies.
// Not copyable; the path stays valid for the object's lifetime.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantrel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
  }
  ~TempDirectory() {
    std::error_code ignored;  // cleanup failure must not mask the test's result
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

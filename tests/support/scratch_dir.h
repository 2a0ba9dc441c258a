#pragma once
// A fresh folder of one test's own under the temporary folder, removed when
// the object goes (kept after a failed test, for a look). Tests never write
// fixed names into the shared temporary folder: two clones may test at once.
//   orn_test::ScratchDir dir_{"frame"};        a fixture's own folder
//   orn_test::ProcessScratchDir() / "a.txt"    for free helper functions

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace orn_test {

class ScratchDir {
 public:
  // `tag` only makes the folder's name readable ("quillet-scan-AbC123").
  explicit ScratchDir(const std::string& tag = "orn") {
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed: " + pattern);
    path_ = pattern;
  }
  ~ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const bool failed = info != nullptr ? info->result()->Failed()
                                        : ::testing::UnitTest::GetInstance()->Failed();
    std::error_code ignored;
    if (!failed) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// One folder for the whole test program, made on first use and removed when
// the program ends (kept when a test failed). ctest runs every test case in
// a program run of its own, so there it is the test's own folder too.
inline const ScratchDir& ProcessScratchDir() {
  static const ScratchDir dir("orn-test");
  return dir;
}

}  // namespace orn_test

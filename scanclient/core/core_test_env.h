#pragma once
// Test fixture of the core's unit tests: one scratch folder per test
// program that stands for drive C, the event log and the transcript, a
// fixed clock, a fresh App and a process exit that throws ProgramEnded.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/runtime/datetime.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"

namespace quillet::testing {

struct ProgramEnded {
  int32_t code;
};

// The folder goes when the test program ends; after a failure it stays for
// a look.
inline const std::filesystem::path& ScratchDir() {
  struct Scratch {
    std::filesystem::path dir;
    ~Scratch() {
      std::error_code ignored;
      if (!::testing::UnitTest::GetInstance()->Failed()) std::filesystem::remove_all(dir, ignored);
    }
  };
  static const Scratch scratch = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillet-core-XXXXXX").string();
    std::filesystem::path d = mkdtemp(pattern.data());
    setenv("ORN_DRIVE_C", (d / "c").c_str(), 1);
    setenv("ORN_EVENTLOG", (d / "eventlog.txt").c_str(), 1);
    setenv("ORN_UI_TRANSCRIPT", (d / "transcript.txt").c_str(), 1);
    return Scratch{d};
  }();
  return scratch.dir;
}

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// Lines of a CR LF text file without their line ends.
inline std::vector<std::string> ReadLines(const std::filesystem::path& p) {
  std::vector<std::string> lines;
  std::stringstream s(ReadText(p));
  for (std::string line; std::getline(s, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto& d = ScratchDir();
    std::filesystem::remove_all(d / "c");
    std::filesystem::create_directories(d / "c");
    std::filesystem::remove_all(d / "prog");
    std::filesystem::create_directories(d / "prog");
    std::filesystem::remove(d / "eventlog.txt");
    std::filesystem::remove(d / "transcript.txt");
    App = AppState{};
    App.ProductName = "Quillet";
    App.ProductVersion = "2.14";
    App.ProgramDir = (d / "prog").string();
    App.IniPath = (d / "prog" / "Quillet.ini").string();
    App.LogPath = (d / "prog" / "Quillet.log").string();
    rt::SetClockForTest([] { return rt::DateTime{2024, 5, 6, 7, 8, 9}; });
    SetProcessExitForTest([](int32_t code) { throw ProgramEnded{code}; });
  }
  void TearDown() override {
    SetProcessExitForTest(nullptr);
    rt::SetClockForTest(nullptr);
  }

  std::filesystem::path Prog() const { return ScratchDir() / "prog"; }
  std::filesystem::path DriveC() const { return ScratchDir() / "c"; }
  std::filesystem::path EventLogFile() const { return ScratchDir() / "eventlog.txt"; }
  std::filesystem::path TranscriptFile() const { return ScratchDir() / "transcript.txt"; }
  void WriteIni(const std::string& text) const { WriteText(App.IniPath, text); }
  std::vector<std::string> Log() const { return ReadLines(App.LogPath); }
};

}  // namespace quillet::testing

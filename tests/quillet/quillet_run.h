// The harness the whole-program tests of Quillet share: each test gets a
// folder of its own with a copy of the executable in bin/, runs it with a
// command line, an operator script and a fixed environment (names, time,
// screen), and reads what it left: the exit code, the log, the event log, the
// message-box transcript and the script's dumps.

#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/eventlog/eventlog.h"

namespace quillet_test {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Each log line starts with the fixed time the harness sets.
inline constexpr char kStamp[] = "2024-05-06 07:08:09 ";

// A missing file reads as empty.
std::string ReadText(const fs::path& p);
// The lines of a file, without their CR.
Lines ReadLines(const fs::path& p);
// "name = value" lines of a dump as a map.
std::map<std::string, std::string> ReadDump(const fs::path& p);

// A 24-bit BMP of width x height pixels of one grey level.
void WriteBmp(const fs::path& p, int32_t width, int32_t height, uint8_t level = 0x80);
// A 24-bit BMP whose pixel (x, y), y counted from the top, has the grey
// level grey(x, y).
void WriteBmp(const fs::path& p, int32_t width, int32_t height, const std::function<uint8_t(int32_t, int32_t)>& grey);

class QuilletRun : public ::testing::Test {
 protected:
  QuilletRun() : QuilletRun("run") {}
  // `folder` names the test's temporary folder: quillet-<folder>-XXXXXX.
  explicit QuilletRun(std::string folder) : folder_(std::move(folder)) {}

  // Makes the folder (bin, c, tmp, out), copies Quillet into bin, writes an
  // empty script and sets the environment every run gets.
  void SetUp() override;
  // A failed test leaves its folder for a look.
  void TearDown() override;

  fs::path Root() const { return root_; }
  fs::path Bin() const { return root_ / "bin"; }
  fs::path Out() const { return root_ / "out"; }
  // Writes bin/Quillet.ini.
  void Ini(const std::string& text) const;
  // Writes the operator script; its "dump NAME" steps write into the test's folder.
  void Script(std::string text) const;
  // Sets (or overrides) a variable of the run's environment.
  void Env(const std::string& name, const std::string& value) { env_[name] = value; }
  // The variables the harness sets for a run.
  const std::map<std::string, std::string>& Variables() const { return env_; }

  // Lets the runs write files of at most `bytes` bytes (0: no limit): a
  // write beyond that kills the process with SIGXFSZ in the middle of it.
  void FileSizeLimit(uint64_t bytes) { fileSizeLimit_ = bytes; }

  // Runs Quillet with `args`; returns its exit status (0..255), or 128 plus
  // the signal that ended it; -1 with a failure if it cannot start. The
  // caller's ORN_ variables are dropped, the harness's set.
  int Run(const std::vector<std::string>& args);
  // Starts Quillet with `args` as Run does, without waiting: its standard
  // error goes to stderr-<tag>.txt. The pid, or -1 with a failure.
  pid_t Start(const std::vector<std::string>& args, const std::string& tag);
  // Waits for a started run: its exit status as Run gives it.
  static int Wait(pid_t pid);
  // Runs Quillet demo 12345 <out> plus `more`.
  int RunDemo(const std::vector<std::string>& more = {});

  Lines Log() const { return ReadLines(Bin() / "Quillet.log"); }
  // The log written where no log file can be opened.
  Lines FallbackLog() const { return ReadLines(root_ / "c" / "Quillet.log"); }
  // Whether the log has the line kStamp + text.
  bool Logged(const std::string& text) const;
  // Whether a line of the log starts with kStamp + prefix.
  bool LoggedStartingWith(const std::string& prefix) const;
  Lines Transcript() const { return ReadLines(root_ / "transcript.txt"); }
  // The transcript's "msgbox | ..." lines.
  Lines MessageBoxes() const;
  std::vector<evlog::Record> Events() const { return evlog::ReadLog((root_ / "events.txt").string()); }
  std::map<std::string, std::string> Dump(const std::string& name) const { return ReadDump(root_ / name); }
  std::string Stderr() const { return ReadText(root_ / "stderr.txt"); }

 private:
  std::string folder_;
  fs::path root_;
  std::map<std::string, std::string> env_;
  uint64_t fileSizeLimit_ = 0;
};

}  // namespace quillet_test

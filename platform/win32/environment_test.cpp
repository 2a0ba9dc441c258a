#include "platform/win32/environment.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/env_guard.h"

namespace {

namespace fs = std::filesystem;

using orn_test::EnvGuard;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(EnvironmentTest, CommandLineRebuilding) {
  const std::vector<std::string> switches = {"Z", "OUT", "P"};
  struct Case {
    std::vector<std::string> words;
    const char* text;
  } cases[] = {
      {{"DEMO", "123", "/tmp/out", "/Z=9"}, "DEMO 123 \"/tmp/out\" /Z=9"},
      // A single-level absolute path is a value, not a switch.
      {{"P", "12", "/scans"}, "P 12 \"/scans\""},
      {{"/photo.png"}, "\"/photo.png\","},
      {{"a b"}, "\"a b\","},
      {{"/tmp/a", "x", "/tmp/b"}, "\"/tmp/a\" x \"/tmp/b\","},
      {{"/OUT=a b"}, "/OUT=\"a b\""},
      {{"/out=/tmp/x"}, "/out=\"/tmp/x\""},  // switch names in any case
      {{"/OUT=k=v"}, "/OUT=\"k=v\""},
      {{"/P=C", "/Z=", "/z"}, "/P=C /Z= /z"},
      // Words the program does not know as switches are values.
      {{"/Trace", "/a-b=c"}, "\"/Trace\" \"/a-b=c\","},
      {{"x,y", "a=b", "rel/dir"}, "\"x,y\" \"a=b\" \"rel/dir\","},
      {{"tab\there"}, "tab\there"},  // tabs are ordinary to the parser
      {{""}, "\"\","},
      {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(win32::JoinCommandLine(c.words, switches), c.text);

  char prog[] = "Quillet", a1[] = "DEMO", a2[] = "123", a3[] = "/scans", a4[] = "/Z=9";
  char* argv[] = {prog, a1, a2, a3, a4, nullptr};
  win32::SetCommandLine(5, argv, {"Z"});
  EXPECT_EQ(win32::CommandLine(), "DEMO 123 \"/scans\" /Z=9");
  EXPECT_EQ(win32::CommandLineWords(), (std::vector<std::string>{"DEMO", "123", "/scans", "/Z=9"}));
}

TEST(EnvironmentTest, TempPath) {
  EnvGuard env;
  env.Set("ORN_FAIL", nullptr);
  env.Set("ORN_TEMP_PATH", "/x/yy");
  std::string out;
  EXPECT_EQ(win32::GetTempPath(64, &out), 6u);
  EXPECT_EQ(out, "/x/yy/");
  EXPECT_EQ(win32::GetTempPath(7, &out), 6u);  // just fits with its terminator
  out = "old";
  EXPECT_EQ(win32::GetTempPath(6, &out), 7u);  // the size needed, nothing copied
  EXPECT_EQ(out, "");
  EXPECT_EQ(win32::TempDirectory(), "/x/yy");

  env.Set("ORN_TEMP_PATH", nullptr);
  env.Set("TMPDIR", "/var/tmp/");
  EXPECT_EQ(win32::GetTempPath(64, &out), 9u);
  EXPECT_EQ(out, "/var/tmp/");
  env.Set("TMPDIR", nullptr);
  win32::GetTempPath(64, &out);
  EXPECT_EQ(out, "/tmp/");

  env.Set("ORN_FAIL", "username, TempPath");
  EXPECT_EQ(win32::GetTempPath(64, &out), 0u);
}

TEST(EnvironmentTest, ComputerAndUserName) {
  EnvGuard env;
  env.Set("ORN_FAIL", nullptr);
  using Query = bool (*)(std::string*, uint32_t*);
  struct Case {
    const char* variable;
    const char* failName;
    Query query;
  } cases[] = {
      {"ORN_COMPUTER_NAME", "computername", win32::GetComputerName},
      {"ORN_USER_NAME", "username", win32::GetUserName},
  };
  for (const auto& c : cases) {
    env.Set(c.variable, "qx71-dev");
    std::string out;
    uint32_t size = 64;
    EXPECT_TRUE(c.query(&out, &size)) << c.variable;
    EXPECT_EQ(out, "QX71-DEV");
    EXPECT_EQ(size, 8u);
    size = 8;  // no room for the terminator
    EXPECT_FALSE(c.query(&out, &size));
    EXPECT_EQ(size, 9u);

    env.Set(c.variable, "m\xC3\xBCller-pc");  // the platform's capitals beyond ASCII too
    size = 64;
    EXPECT_TRUE(c.query(&out, &size)) << c.variable;
    EXPECT_EQ(out, "M\xC3\x9CLLER-PC");

    env.Set(c.variable, nullptr);  // host's own name, upper case
    size = 256;
    EXPECT_TRUE(c.query(&out, &size)) << c.variable;
    EXPECT_FALSE(out.empty());
    for (char ch : out) EXPECT_FALSE(ch >= 'a' && ch <= 'z') << out;

    env.Set("ORN_FAIL", c.failName);
    size = 64;
    EXPECT_FALSE(c.query(&out, &size)) << c.variable;
    env.Set("ORN_FAIL", nullptr);
  }
}

TEST(EnvironmentTest, HostPath) {
  EnvGuard env;
  env.Set("ORN_DRIVE_C", "/drive/c/");
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\Quillet.log", "/drive/c/Quillet.log"},
      {"c:/dir\\f.txt", "/drive/c/dir/f.txt"},
      {"C:", "/drive/c"},
      {"D:\\x", "D:/x"},
      {"CC:\\x", "CC:/x"},
      {"rel\\f", "rel/f"},
      {"/abs/f", "/abs/f"},
  };
  for (const auto& c : cases) EXPECT_EQ(win32::HostPath(c.in), c.out) << c.in;
  env.Set("ORN_DRIVE_C", nullptr);
  env.Set("ORN_TEMP_PATH", "/t");
  env.Set("ORN_FAIL", "temppath");  // the drive does not depend on the query
  EXPECT_EQ(win32::HostPath("C:\\Quillet.log"), "/t/Quillet.log");
}

TEST(EnvironmentTest, ProgramDirectory) {
  EnvGuard env;
  env.Set("ORN_PROGRAM_DIR", "/opt/q/");
  EXPECT_EQ(win32::ProgramDirectory(), "/opt/q");
  env.Set("ORN_PROGRAM_DIR", nullptr);
  EXPECT_EQ(win32::ProgramDirectory(), fs::canonical("/proc/self/exe").parent_path().string());
}

TEST(EnvironmentTest, StateDirectoryIsMadeForTheUser) {
  EnvGuard env;
  const fs::path root = fs::temp_directory_path() / ("orn-state-test-" + std::to_string(::getpid()));
  fs::remove_all(root);
  const std::string xdg = (root / "xdg").string();
  struct Case {
    const char* stateHome;  // nullptr: unset
    fs::path expected;
  } cases[] = {
      {xdg.c_str(), root / "xdg" / "orn"},
      {nullptr, root / "home" / ".local" / "state" / "orn"},
      {"", root / "home" / ".local" / "state" / "orn"},
      {"relative/state", root / "home" / ".local" / "state" / "orn"},  // not absolute: ignored
  };
  env.Set("HOME", (root / "home").c_str());
  for (const Case& c : cases) {
    env.Set("XDG_STATE_HOME", c.stateHome);
    EXPECT_EQ(win32::StateDirectory(), c.expected.string()) << (c.stateHome ? c.stateHome : "unset");
    EXPECT_TRUE(fs::is_directory(c.expected));
    EXPECT_EQ(fs::status(c.expected).permissions(), fs::perms::owner_all);
  }
  // A folder that cannot be made is still named, for the error that follows.
  std::ofstream(root / "file") << "x";
  env.Set("XDG_STATE_HOME", (root / "file").c_str());
  EXPECT_EQ(win32::StateDirectory(), (root / "file" / "orn").string());
  fs::remove_all(root);
}

TEST(EnvironmentTest, ExitProcessKeepsLowByteAndFlushes) {
  struct Case {
    int32_t code;
    int status;
  } cases[] = {{0, 0}, {1, 1}, {-5, 251}, {-2, 254}, {-9, 247}, {300, 44}};
  const orn_test::ScratchDir scratch("orn-exit");
  std::string out = scratch / "stdout.txt";
  for (const auto& c : cases) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (!freopen(out.c_str(), "w", stdout)) _exit(99);
      std::printf("pending %d", c.code);  // buffered, no newline
      win32::ExitProcess(c.code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status) << c.code;
    EXPECT_EQ(ReadFile(out), "pending " + std::to_string(c.code));
  }
  std::remove(out.c_str());
}

TEST(EnvironmentTest, StartProgramRecordsAndStartsTheEditor) {
  EnvGuard env;
  const orn_test::ScratchDir scratch("orn-start");
  const fs::path& dir = scratch.path();
  std::string record = dir / "started.txt";
  env.Set("ORN_STARTED", record.c_str());

  env.Set("ORN_EDITOR", nullptr);
  EXPECT_TRUE(win32::StartProgram("notepad", {"/x/Quillet.ini"}));  // recorded only

  std::string marker = dir / "marker";
  std::string editor = dir / "editor.sh";
  std::ofstream(editor) << "#!/bin/sh\necho \"$1|$2\" > " << marker << ".tmp && mv " << marker
                        << ".tmp " << marker << "\n";
  fs::permissions(editor, fs::perms::owner_all);
  env.Set("ORN_EDITOR", editor.c_str());
  EXPECT_TRUE(win32::StartProgram("C:\\Windows\\NOTEPAD.EXE", {"a b", "c"}));
  for (int i = 0; i < 100 && !fs::exists(marker); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(ReadFile(marker), "a b|c\n");

  EXPECT_FALSE(win32::StartProgram("/nonexistent/program", {"x"}));
  EXPECT_EQ(ReadFile(record),
            "notepad | /x/Quillet.ini\n"
            "C:\\Windows\\NOTEPAD.EXE | a b | c\n"
            "/nonexistent/program | x\n");
  fs::remove_all(dir);
}

}  // namespace

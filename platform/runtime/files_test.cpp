#include "platform/runtime/files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <vector>

#include "platform/runtime/error_testing.h"

namespace {

namespace fs = std::filesystem;
using rt::ErrorNumberOf;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orn-files-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    for (const char* name : {"a.txt", "B.TXT", "c.log", ".hidden", "README", "ro.txt"}) {
      rt::WriteAllText(dir_ + "/" + name, "x");
    }
    chmod((dir_ + "/ro.txt").c_str(), 0444);
    fs::create_directory(dir_ + "/sub");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Every answer of one search, first call and continuations.
  std::vector<std::string> All(const std::string& pattern, int32_t attributes) {
    std::vector<std::string> names;
    for (std::string n = rt::Dir(pattern, attributes); !n.empty(); n = rt::Dir()) names.push_back(n);
    return names;
  }
  std::string P(const std::string& name) { return dir_ + "/" + name; }

  std::string dir_;
};

using Names = std::vector<std::string>;

TEST_F(FilesTest, DirMatchesWildcardsAndAttributes) {
  struct Case {
    std::string pattern;
    int32_t attributes;
    Names names;
  } cases[] = {
      {"*.txt", rt::kNormal, {"B.TXT", "a.txt", "ro.txt"}},
      {"?.TXT", rt::kNormal, {"B.TXT", "a.txt"}},
      {"*", rt::kNormal, {"B.TXT", "README", "a.txt", "c.log", "ro.txt"}},
      {"*.*", rt::kNormal, {"B.TXT", "README", "a.txt", "c.log", "ro.txt"}},
      {"*", rt::kDirectory, {"B.TXT", "README", "a.txt", "c.log", "ro.txt", "sub"}},
      {"*", rt::kHidden, {".hidden", "B.TXT", "README", "a.txt", "c.log", "ro.txt"}},
      {"", rt::kNormal, {"B.TXT", "README", "a.txt", "c.log", "ro.txt"}},  // folder + "/"
      {"a.txt", rt::kNormal, {"a.txt"}},
      {"ro.txt", rt::kNormal, {"ro.txt"}},
      {"sub", rt::kNormal, {}},
      {"sub", rt::kDirectory, {"sub"}},
      {".hidden", rt::kNormal, {}},
      {".hidden", rt::kNormal | rt::kReadOnly | rt::kHidden | rt::kSystem, {".hidden"}},
      {"missing.ini", rt::kNormal, {}},
      {"nope/*", rt::kNormal, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(All(P(c.pattern), c.attributes), c.names) << c.pattern;
}

TEST_F(FilesTest, DirContinuationAfterTheEndIsInvalid) {
  EXPECT_EQ(rt::Dir(P("c.*")), "c.log");
  EXPECT_EQ(rt::Dir(), "");
  EXPECT_EQ(ErrorNumberOf([] { rt::Dir(); }), 5);
}

TEST_F(FilesTest, FileExists) {
  EXPECT_TRUE(rt::FileExists(P("a.txt")));
  EXPECT_FALSE(rt::FileExists(P("A.TXT")));  // exact host name
  EXPECT_FALSE(rt::FileExists(P("sub")));
  EXPECT_FALSE(rt::FileExists(P("*.txt")));
  EXPECT_FALSE(rt::FileExists(P("missing")));
}

TEST_F(FilesTest, FileErrorsUseTheRuntimesNumbers) {
  struct Case {
    const char* what;
    std::function<void()> call;
    int32_t error;
  } cases[] = {
      {"MkDir new", [&] { rt::MkDir(P("new")); }, 0},
      {"MkDir again", [&] { rt::MkDir(P("new")); }, 75},
      {"MkDir no parent", [&] { rt::MkDir(P("x/y")); }, 76},
      {"Kill missing", [&] { rt::Kill(P("missing")); }, 53},
      {"Kill folder", [&] { rt::Kill(P("sub")); }, 53},
      {"Kill under a file", [&] { rt::Kill(P("a.txt/x")); }, 76},
      {"FileLen missing", [&] { rt::FileLen(P("missing")); }, 53},
      {"FileLen folder", [&] { rt::FileLen(P("sub")); }, 53},
      {"MoveOver missing", [&] { rt::MoveOver(P("missing"), P("b.txt")); }, 53},
      {"MoveOver onto a folder", [&] { rt::MoveOver(P("a.txt"), P("sub")); }, 75},
      {"AppendLine no folder", [&] { rt::AppendLine(P("x/log.txt"), "a"); }, 76},
      {"AppendLine on folder", [&] { rt::AppendLine(P("sub"), "a"); }, 75},
      {"ReadAllText missing", [&] { rt::ReadAllText(P("missing")); }, 53},
      {"ReadAllText folder", [&] { rt::ReadAllText(P("sub")); }, 75},
      {"WriteAllText no folder", [&] { rt::WriteAllText(P("x/f"), "a"); }, 76},
      {"WriteAllText on folder", [&] { rt::WriteAllText(P("sub"), "a"); }, 75},
      {"ReadAllText pipe", [&] { rt::ReadAllText(P("pipe")); }, 75},  // at once, not waiting for a writer
      {"ReadAllText device", [&] { rt::ReadAllText("/dev/zero"); }, 75},  // not read without end
  };
  ASSERT_EQ(mkfifo(P("pipe").c_str(), 0600), 0);
  for (const auto& c : cases) EXPECT_EQ(ErrorNumberOf(c.call), c.error) << c.what;
  EXPECT_TRUE(fs::is_directory(P("new")));
}

TEST_F(FilesTest, KillFileLenAndTextRoundTrip) {
  std::string data("bin\0ary\r\n", 9);
  rt::WriteAllText(P("d.bin"), data);
  EXPECT_EQ(rt::FileLen(P("d.bin")), 9);
  EXPECT_EQ(rt::ReadAllText(P("d.bin")), data);
  rt::WriteAllText(P("d.bin"), "ab");  // truncates
  EXPECT_EQ(rt::ReadAllText(P("d.bin")), "ab");
  rt::WriteAllText(P("e.bin"), "new");
  rt::MoveOver(P("e.bin"), P("d.bin"));  // replaces the old file
  EXPECT_EQ(rt::ReadAllText(P("d.bin")), "new");
  EXPECT_FALSE(rt::FileExists(P("e.bin")));
  rt::Kill(P("d.bin"));
  EXPECT_FALSE(rt::FileExists(P("d.bin")));
}

TEST_F(FilesTest, OnlyRegularFilesOpenForReading) {
  ASSERT_EQ(mkfifo(P("pipe").c_str(), 0600), 0);
  const std::pair<std::string, int> cases[] = {
      {P("a.txt"), 0}, {P("sub"), EISDIR}, {P("pipe"), ENODEV}, {"/dev/zero", ENODEV}, {P("missing"), ENOENT},
  };
  for (const auto& [path, error] : cases) {
    errno = 0;
    const int fd = rt::OpenRegularFile(path);
    if (error == 0) {
      ASSERT_GE(fd, 0) << path;
      char c = 0;
      EXPECT_EQ(read(fd, &c, 1), 1);  // a descriptor that blocks as usual
      EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
      close(fd);
    } else {
      EXPECT_EQ(fd, -1) << path;
      EXPECT_EQ(errno, error) << path;
    }
  }
}

TEST_F(FilesTest, FileDateTimeIsTheLocalChangeTime) {
  std::string p = dir_ + "/a.txt";
  struct timespec times[2] = {{0, 0}, {0, 0}};
  struct tm when = {};
  when.tm_year = 2021 - 1900, when.tm_mon = 2, when.tm_mday = 4, when.tm_hour = 5, when.tm_min = 6;
  when.tm_sec = 7, when.tm_isdst = -1;
  times[0].tv_sec = times[1].tv_sec = mktime(&when);
  ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  EXPECT_EQ(rt::FileDateTime(p), (rt::DateTime{2021, 3, 4, 5, 6, 7}));
  EXPECT_EQ(ErrorNumberOf([&] { rt::FileDateTime(dir_ + "/missing"); }), rt::kFileNotFound);
}

TEST_F(FilesTest, AppendLineEndsLinesWithCrLf) {
  rt::AppendLine(P("log.txt"), "first");
  rt::AppendLine(P("log.txt"), "");
  rt::AppendLine(P("log.txt"), "third");
  EXPECT_EQ(rt::ReadAllText(P("log.txt")), "first\r\n\r\nthird\r\n");
}

TEST_F(FilesTest, TwoProcessesAppendingNeverMixLines) {
  const std::string log = P("shared.log");
  const std::string longText(3000, 'x');
  pid_t kids[2];
  for (int k = 0; k < 2; ++k) {
    kids[k] = fork();
    ASSERT_GE(kids[k], 0);
    if (kids[k] == 0) {
      for (int i = 0; i < 200; ++i) rt::AppendLine(log, std::to_string(k) + ":" + longText);
      _exit(0);
    }
  }
  for (pid_t kid : kids) {
    int status = 0;
    waitpid(kid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::istringstream in(rt::ReadAllText(log));
  int count[2] = {0, 0};
  for (std::string line; std::getline(in, line);) {
    ASSERT_EQ(line.size(), 2 + longText.size() + 1) << "a line was torn";
    ASSERT_EQ(line.back(), '\r');
    ++count[line[0] - '0'];
  }
  EXPECT_EQ(count[0], 200);
  EXPECT_EQ(count[1], 200);
}

}  // namespace

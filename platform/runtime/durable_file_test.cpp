// Durable writes: what is under the name after a failure or a crash at
// each step, temporaries of live and of ended processes, and two processes
// writing one name at once.

#include "platform/runtime/durable_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using rt::DurableStep;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Fails, or ends the process, at one step.
class AtStep : public rt::DurableFaults {
 public:
  AtStep(DurableStep step, int error, bool crash) : step_(step), error_(error), crash_(crash) {}
  int Before(DurableStep step, const std::string&) override {
    if (step != step_) return 0;
    if (crash_) _exit(7);  // no flush, no clean-up: as a kill
    return error_;
  }

 private:
  DurableStep step_;
  int error_;
  bool crash_;
};

class DurableFileTest : public ::testing::Test {
 protected:
  void TearDown() override { rt::SetDurableFaults(nullptr); }
  orn_test::ScratchDir scratch_{"orn-durable"};
  fs::path dir_ = scratch_.path();
  std::string name_ = (dir_ / "sheet.tif").string();
};

const std::string kOld(5000, 'o');
const std::string kNew(9000, 'n');

constexpr DurableStep kSteps[] = {DurableStep::kCreate, DurableStep::kWrite, DurableStep::kSyncFile,
                                  DurableStep::kRename, DurableStep::kSyncFolder};

TEST_F(DurableFileTest, WritesTheWholeFileAndLeavesNoTemporary) {
  ASSERT_EQ(rt::WriteFileDurably(name_, kOld), 0);
  ASSERT_EQ(rt::WriteFileDurably(name_, kNew), 0);
  EXPECT_EQ(Read(name_), kNew);
  EXPECT_EQ(Entries(dir_), std::vector<std::string>{"sheet.tif"});
  // A folder that is missing is the writer's error, not a crash.
  EXPECT_EQ(rt::WriteFileDurably((dir_ / "none" / "x").string(), kNew), ENOENT);
}

TEST_F(DurableFileTest, AFailedStepKeepsTheOldFile) {
  for (DurableStep step : kSteps) {
    SCOPED_TRACE(static_cast<int>(step));
    ASSERT_EQ(rt::WriteFileDurably(name_, kOld), 0);
    AtStep fault(step, EIO, false);
    rt::SetDurableFaults(&fault);
    EXPECT_EQ(rt::WriteFileDurably(name_, kNew), EIO);
    rt::SetDurableFaults(nullptr);
    // Only a folder flush that fails comes after the rename.
    EXPECT_EQ(Read(name_), step == DurableStep::kSyncFolder ? kNew : kOld);
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"sheet.tif"});
  }
}

TEST_F(DurableFileTest, ACrashAtAnyStepLeavesTheOldFileOrTheNewOne) {
  for (DurableStep step : kSteps) {
    SCOPED_TRACE(static_cast<int>(step));
    ASSERT_EQ(rt::WriteFileDurably(name_, kOld), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      AtStep crash(step, 0, true);
      rt::SetDurableFaults(&crash);
      rt::WriteFileDurably(name_, kNew);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);  // it did stop at the step
    EXPECT_EQ(Read(name_), step == DurableStep::kSyncFolder ? kNew : kOld);
    // What the crashed writer left aside goes with the next write.
    ASSERT_EQ(rt::WriteFileDurably(name_, kOld), 0);
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"sheet.tif"});
  }
}

TEST_F(DurableFileTest, OnlyTemporariesOfEndedProcessesAreRemoved) {
  // A live writer in another process holds its temporary.
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    rt::DurableFile file;
    char c = file.Create(name_) == 0 && file.Write("live") == 0 ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1 || read(done[0], &c, 1) != 1) _exit(1);
    _exit(file.Commit() == 0 ? 0 : 1);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  // Left by ended runs: unlocked temporaries, the older form among them.
  for (const char* left : {"sheet.tif.part", "sheet.tif.99999.1.part"}) std::ofstream(dir_ / left) << "torn";
  // Not temporaries of this name.
  for (const char* other : {"sheet.tif.x.part", "sheet.tiff.part", "sheet.tif.partial"})
    std::ofstream(dir_ / other) << "keep";
  // A second writer of the name leaves the live one's file alone.
  ASSERT_EQ(rt::WriteFileDurably(name_, kNew), 0);
  const std::string live = "sheet.tif." + std::to_string(pid) + ".";
  std::vector<std::string> during = Entries(dir_);
  ASSERT_EQ(during.size(), 5u);
  EXPECT_EQ(during[1].rfind(live, 0), 0u) << during[1];  // the live writer's
  during.erase(during.begin() + 1);
  EXPECT_EQ(during,
            (std::vector<std::string>{"sheet.tif", "sheet.tif.partial", "sheet.tif.x.part", "sheet.tiff.part"}));
  ASSERT_EQ(write(done[1], "g", 1), 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);  // its rename found its file
  EXPECT_EQ(Read(name_), "live");
  EXPECT_EQ(Entries(dir_),
            (std::vector<std::string>{"sheet.tif", "sheet.tif.partial", "sheet.tif.x.part", "sheet.tiff.part"}));
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

TEST_F(DurableFileTest, TwoProcessesWritingOneNameLeaveOneWholeFile) {
  // Each writes its own content many times; every file read under the name
  // is one of them whole.
  const std::string a(200000, 'a'), b(300000, 'b');
  pid_t pids[2];
  for (int i = 0; i < 2; ++i) {
    pids[i] = fork();
    if (pids[i] == 0) {
      for (int n = 0; n < 40; ++n) {
        if (rt::WriteFileDurably(name_, i == 0 ? a : b) != 0) _exit(1);
      }
      _exit(0);
    }
  }
  int torn = 0;
  for (int n = 0; n < 200; ++n) {
    const std::string seen = Read(name_);
    if (!seen.empty() && seen != a && seen != b) ++torn;
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  EXPECT_EQ(torn, 0);
  const std::string last = Read(name_);
  EXPECT_TRUE(last == a || last == b);
  EXPECT_EQ(Entries(dir_), std::vector<std::string>{"sheet.tif"});
}

TEST_F(DurableFileTest, ThreadsOfOneProcessNeverShareATemporary) {
  // Eight threads: each its own file, and all of them one shared name.
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      const std::string own = (dir_ / ("own" + std::to_string(t))).string();
      const std::string content(20000 + t, static_cast<char>('a' + t));
      for (int n = 0; n < 20; ++n) {
        if (rt::WriteFileDurably(own, content) != 0 || rt::WriteFileDurably(name_, content) != 0) ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, 0);
  for (int t = 0; t < 8; ++t) EXPECT_EQ(Read(dir_ / ("own" + std::to_string(t))), std::string(20000 + t, 'a' + t));
  const std::string shared = Read(name_);
  ASSERT_GE(shared.size(), 20000u);
  EXPECT_EQ(shared, std::string(shared.size(), shared[0]));  // one writer's whole
  EXPECT_EQ(Entries(dir_).size(), 9u);                       // no temporary left
}

TEST(DurableKillDeathTest, AMalformedSettingIsRefused) {
  EXPECT_EXIT(
      {
        setenv("ORN_DURABLE_KILL", "rename", 1);
        rt::WriteFileDurably("/tmp/orn-durable-never", "x");
      },
      testing::ExitedWithCode(124), "ORN_DURABLE_KILL must be");
}

}  // namespace

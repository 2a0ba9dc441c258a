// Files and folders in a folder every user may write to: what another user
// planted there under the name is never followed or written.
#include "platform/runtime/shared_folder.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "platform/runtime/error_testing.h"
#include "platform/runtime/files.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class SharedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Like /tmp: everyone may create names, only their owner may remove them.
    fs::create_directory(Shared());
    ASSERT_EQ(chmod(Shared().c_str(), 01777), 0);
    std::ofstream(Victim()) << "precious";
  }
  fs::path Shared() const { return scratch_ / "shared"; }
  fs::path Victim() const { return scratch_ / "victim.txt"; }

  orn_test::ScratchDir scratch_{"orn-shared"};
};

TEST_F(SharedFolderTest, PlantedNamesAreRefusedThere) {
  const fs::path link = Shared() / "link.log", pipe = Shared() / "pipe.log", own = Shared() / "own.log";
  fs::create_symlink(Victim(), link);
  ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
  std::ofstream(own) << "old";
  struct Case {
    fs::path path;
    int flags;
    int error;  // 0: opens
  } cases[] = {
      {link, O_WRONLY | O_CREAT | O_APPEND, ELOOP},
      {link, O_WRONLY | O_CREAT | O_TRUNC, ELOOP},
      {pipe, O_WRONLY | O_CREAT | O_APPEND, ENXIO},  // refused at once, not waiting for a reader
      {own, O_WRONLY | O_CREAT | O_TRUNC, 0},
      {Shared() / "new.log", O_WRONLY | O_CREAT | O_EXCL, 0},
  };
  for (const Case& c : cases) {
    errno = 0;
    const int fd = rt::OpenForWriting(c.path.string(), c.flags, 0600);
    if (c.error == 0) {
      EXPECT_GE(fd, 0) << c.path;
      if (fd >= 0) close(fd);
    } else {
      EXPECT_EQ(fd, -1) << c.path;
      EXPECT_EQ(errno, c.error) << c.path;
    }
  }
  EXPECT_EQ(Read(Victim()), "precious");
  EXPECT_EQ(Read(own), "");
  // The runtime's own file functions refuse them the same way.
  EXPECT_EQ(rt::ErrorNumberOf([&] { rt::AppendLine(link.string(), "line"); }), rt::kPathFileAccess);
  EXPECT_EQ(rt::ErrorNumberOf([&] { rt::WriteAllText(link.string(), "text"); }), rt::kPathFileAccess);
  EXPECT_EQ(Read(Victim()), "precious");
}

TEST_F(SharedFolderTest, AnotherUsersFileIsRefusedThere) {
  const fs::path theirs = Shared() / "theirs.log";
  std::ofstream(theirs) << "theirs";
  chmod(theirs.c_str(), 0666);
  if (chown(theirs.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "giving a file away needs root";
  EXPECT_EQ(rt::OpenForWriting(theirs.string(), O_WRONLY | O_TRUNC, 0600), -1);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(Read(theirs), "theirs");
}

TEST_F(SharedFolderTest, InAPrivateFolderLinksAreFollowed) {
  const fs::path own = scratch_ / "own";
  fs::create_directory(own);
  ASSERT_EQ(chmod(own.c_str(), 0700), 0);
  fs::create_symlink(Victim(), own / "link.log");
  rt::AppendLine((own / "link.log").string(), "more");
  EXPECT_EQ(Read(Victim()), "precious" "more\r\n");
}

TEST_F(SharedFolderTest, PrivateFolderIsMadeOrMustAlreadyBeOnlyOurs) {
  const fs::path made = Shared() / "made";
  ASSERT_TRUE(rt::MakePrivateFolder(made.string()));
  EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all);
  EXPECT_TRUE(rt::MakePrivateFolder(made.string()));  // again: it is there and ours

  const fs::path open = Shared() / "open", link = Shared() / "link";
  fs::create_directory(open);
  chmod(open.c_str(), 0777);
  fs::create_directory_symlink(made, link);
  EXPECT_FALSE(rt::MakePrivateFolder(open.string()));
  EXPECT_FALSE(rt::MakePrivateFolder(link.string()));
  EXPECT_FALSE(rt::MakePrivateFolder((Shared() / "no" / "parent").string()));
  EXPECT_FALSE(rt::IsPrivateFolder((Shared() / "missing").string()));
}

TEST(FolderOfTest, TheFolderThatHoldsAName) {
  const std::pair<std::string, std::string> cases[] = {
      {"sheet.tif", "."}, {"/sheet.tif", "/"}, {"/tmp/sheet.tif", "/tmp"}, {"out/a/sheet.tif", "out/a"},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(rt::FolderOf(path), folder) << path;
}

}  // namespace

#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/eventlog/eventlog.h"
#include "tests/support/env_guard.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace reg;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orn-reg-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("ORN_REGISTRY_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    for (Hive h : {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users}) {
      FailHiveForTest(h, kSuccess);
    }
    unsetenv("ORN_REGISTRY_DIR");
    fs::remove_all(dir_);
  }
  fs::path HiveFile() const { return fs::path(dir_) / "HKEY_LOCAL_MACHINE.hive"; }
  Key Create(std::string_view path) {
    Key k = 0;
    EXPECT_EQ(CreateKey(Hive::LocalMachine, path, &k), kSuccess);
    return k;
  }
  std::vector<uint8_t> Query(Key k, std::string_view name, ValueType* type) {
    uint32_t size = 0;
    EXPECT_EQ(QueryValue(k, name, type, nullptr, &size), kSuccess) << name;
    std::vector<uint8_t> buf(size);
    EXPECT_EQ(QueryValue(k, name, type, buf.data(), &size), kSuccess) << name;
    return buf;
  }
  std::string dir_;
};

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

// "k\k\...": a key path `levels` deep.
std::string Nested(size_t levels) {
  std::string path = "k";
  for (size_t i = 1; i < levels; ++i) path += "\\k";
  return path;
}

TEST_F(RegistryTest, ValuesOfEveryTypeRoundTripThroughTheFile) {
  struct Case {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
  } cases[] = {
      {"", kString, Bytes(std::string("default\0", 8))},
      {"LogType", kDword, {1, 0, 0, 0}},
      {"Max", kDword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"Short dword", kDword, {1, 2, 3}},
      {"Text", kString, Bytes(std::string("a\\b \"q\"\ttab\nnl\r\x01 \xC3\xA4\0", 20))},
      {"NoNul", kString, Bytes("abc")},
      {"InnerNul", kString, Bytes(std::string("a\0b\0", 4))},
      {"Path", kExpandString, Bytes(std::string("%TEMP%\\x\0", 9))},
      {"Multi", kMultiString, Bytes(std::string("a\0b\0\0", 5))},
      {"Blob", kBinary, {0x00, 0xAB, 0x10}},
      {"Empty", kBinary, {}},
      {"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"we=ird \"name\"\\", kString, Bytes(std::string("x\0", 2))},
  };
  Key k = Create("SOFTWARE\\Dornvale\\ORN\\Trace");
  for (const auto& c : cases) {
    EXPECT_EQ(SetValue(k, c.name, static_cast<ValueType>(c.type), c.data.data(),
                       static_cast<uint32_t>(c.data.size())),
              kSuccess);
  }
  EXPECT_EQ(CloseKey(k), kSuccess);

  Key again = 0;
  ASSERT_EQ(OpenKey(Hive::LocalMachine, "software\\DORNVALE\\orn\\trace", &again), kSuccess);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    ValueType type = kNone;
    EXPECT_EQ(Query(again, c.name, &type), c.data) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    char name[64];
    uint32_t nameSize = sizeof name;
    uint32_t dataSize = 0;
    ASSERT_EQ(EnumValue(again, static_cast<uint32_t>(i), name, &nameSize, &type, nullptr, &dataSize),
              kSuccess);
    EXPECT_EQ(std::string(name, nameSize), c.name);  // stored order
    EXPECT_EQ(dataSize, c.data.size());
  }
  CloseKey(again);

  std::string text = ReadFile(HiveFile());
  EXPECT_NE(text.find("[SOFTWARE\\Dornvale\\ORN\\Trace]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"LogType\"=dword:00000001\n"), std::string::npos) << text;
  EXPECT_NE(text.find("@=sz:\"default\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Blob\"=hex:00,ab,10\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"NoNul\"=hex(1):61,62,63\n"), std::string::npos) << text;
}

TEST_F(RegistryTest, BuffersAndSizes) {
  Key k = Create("S");
  ASSERT_EQ(SetString(k, "V", "hello"), kSuccess);
  uint8_t buf[16] = {};
  uint32_t size = 3;
  ValueType type = kNone;
  EXPECT_EQ(QueryValue(k, "V", &type, buf, &size), kMoreData);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, kString);
  size = 6;
  EXPECT_EQ(QueryValue(k, "v", nullptr, buf, &size), kSuccess);
  EXPECT_STREQ(reinterpret_cast<char*>(buf), "hello");
  EXPECT_EQ(QueryValue(k, "V", nullptr, buf, nullptr), kInvalidParameter);
  EXPECT_EQ(QueryValue(k, "V", &type, nullptr, nullptr), kSuccess);
  EXPECT_EQ(QueryValue(k, "missing", nullptr, nullptr, &size), kFileNotFound);
  EXPECT_EQ(SetValue(k, "X", kBinary, nullptr, 4), kInvalidParameter);

  char name[2];
  uint32_t nameSize = sizeof name;  // "V" and its NUL just fit
  EXPECT_EQ(EnumValue(k, 0, name, &nameSize, nullptr, nullptr, nullptr), kSuccess);
  EXPECT_EQ(nameSize, 1u);
  ASSERT_EQ(SetDword(k, "Longer", 7), kSuccess);
  nameSize = sizeof name;
  EXPECT_EQ(EnumValue(k, 1, name, &nameSize, nullptr, nullptr, nullptr), kMoreData);
  nameSize = sizeof name;
  EXPECT_EQ(EnumValue(k, 2, name, &nameSize, nullptr, nullptr, nullptr), kNoMoreItems);
  EXPECT_EQ(CloseKey(k), kSuccess);
  EXPECT_EQ(CloseKey(k), kInvalidHandle);
  EXPECT_EQ(QueryValue(k, "V", nullptr, nullptr, &size), kInvalidHandle);
}

TEST_F(RegistryTest, KeysAndValuesLifecycle) {
  Key none = 123;
  EXPECT_EQ(OpenKey(Hive::LocalMachine, "SOFTWARE", &none), kFileNotFound);
  EXPECT_EQ(none, 0u);
  Key app = Create("SOFTWARE\\App");
  for (const char* sub : {"gamma", "Beta", "alpha"}) CloseKey(Create(std::string("SOFTWARE\\App\\") + sub));
  Key beta = Create("software\\app\\BETA");  // the existing key, whatever the case

  std::vector<std::string> subkeys;
  std::string name;
  for (uint32_t i = 0; EnumKey(app, i, &name) == kSuccess; ++i) subkeys.push_back(name);
  EXPECT_EQ(subkeys, (std::vector<std::string>{"alpha", "Beta", "gamma"}));

  // Replacing a value keeps its place; deleting takes it out.
  ASSERT_EQ(SetDword(app, "A", 1), kSuccess);
  ASSERT_EQ(SetDword(app, "B", 2), kSuccess);
  ASSERT_EQ(SetString(app, "a", "one"), kSuccess);
  char vname[8];
  uint32_t vsize = sizeof vname;
  ValueType type;
  ASSERT_EQ(EnumValue(app, 0, vname, &vsize, &type, nullptr, nullptr), kSuccess);
  EXPECT_EQ(std::string(vname), "A");
  EXPECT_EQ(type, kString);
  EXPECT_EQ(DeleteValue(app, "A"), kSuccess);
  EXPECT_EQ(DeleteValue(app, "A"), kFileNotFound);

  EXPECT_EQ(DeleteKey(Create("SOFTWARE"), "App"), kAccessDenied);  // has sub-keys
  EXPECT_EQ(DeleteKey(app, "Beta"), kSuccess);
  EXPECT_EQ(DeleteKey(app, "Beta"), kFileNotFound);
  EXPECT_EQ(DeleteKey(app, ""), kInvalidParameter);
  EXPECT_EQ(SetDword(beta, "x", 1), kKeyDeleted);
  EXPECT_EQ(CloseKey(beta), kSuccess);
  EXPECT_EQ(DeleteKey(app, "gamma"), kSuccess);
  EXPECT_EQ(EnumKey(app, 1, &name), kNoMoreItems);
  EXPECT_EQ(CreateKey(Hive::LocalMachine, std::string(256, 'k'), &none), kInvalidParameter);
}

TEST_F(RegistryTest, OpeningWithCreateKeyDoesNotRewriteTheHive) {
  CloseKey(Create("A\\B"));
  auto before = fs::last_write_time(HiveFile());
  std::string text = ReadFile(HiveFile());
  fs::last_write_time(HiveFile(), before - std::chrono::seconds(10));
  CloseKey(Create("a\\b"));
  EXPECT_EQ(fs::last_write_time(HiveFile()), before - std::chrono::seconds(10));
}

TEST_F(RegistryTest, DamagedHiveIsSetAsideAndTheHiveStartsEmpty) {
  Key early = Create("K");
  ASSERT_EQ(SetDword(early, "v", 1), kSuccess);
  const std::string good = ReadFile(HiveFile());
  const std::string damaged[] = {
      "garbage\n",
      "",
      "; ORN registry hive, format 1\n[K]\n",                       // no end line
      good.substr(0, good.size() - 1),                              // last newline cut
      "; ORN registry hive, format 1\n\"v\"=dword:00000001\n; end of hive\n",  // value before key
      "; ORN registry hive, format 1\n[K]\n\"v\"=sz:\"a\\q\"\n; end of hive\n",  // bad escape
      "; ORN registry hive, format 1\n[K]\n\"v\"=hex:0g\n; end of hive\n",
      "; ORN registry hive, format 1\n[K]\n\"v\"=dword:1\n; end of hive\n",
      "; ORN registry hive, format 1\n[K]\n\"v\"=hex(99999999999):00\n; end of hive\n",
      "; ORN registry hive, format 1\n[K]\n\"v\"=blob:00\n; end of hive\n",
      "; ORN registry hive, format 1\n[K]\n\"v\"=hex:01\n\"V\"=hex:02\n; end of hive\n",
      "; ORN registry hive, format 1\n[K]\n[k]\n; end of hive\n",
      // One key named twice: a write would merge them into a file with the
      // key once, and the values of both would no longer be told apart.
      "; ORN registry hive, format 1\n[K]\n\"v\"=dword:00000001\n[K\\]\n\"v\"=dword:00000002\n; end of hive\n",
      "; ORN registry hive, format 1\n[K]\n[%4b]\n; end of hive\n",
      "; ORN registry hive, format 1\n[A\\K]\n[\\a\\\\k]\n; end of hive\n",
      // Deeper than the platform's 512 levels; 300000 once overflowed the stack.
      "; ORN registry hive, format 1\n[K]\n[" + Nested(513) + "]\n; end of hive\n",
      "; ORN registry hive, format 1\n[K]\n[" + Nested(300000) + "]\n; end of hive\n",
      "; ORN registry hive, format 1\n[K%zz]\n; end of hive\n",
      std::string("; ORN registry hive, format 1\n[K]\n\"v\"=sz:\"unterminated\n; end of hive\n"),
  };
  const fs::path events = fs::path(dir_) / "events.txt";
  orn_test::EnvGuard env;
  env.Set("ORN_EVENTLOG", events.string().c_str());
  const fs::path aside = HiveFile().string() + ".damaged";
  for (const auto& text : damaged) {
    fs::remove(events);
    std::ofstream(HiveFile(), std::ios::binary | std::ios::trunc) << text;
    Key k = 99;
    uint32_t size = 0;
    // The first call sets the damaged file aside and finds an empty hive.
    EXPECT_EQ(OpenKey(Hive::LocalMachine, "K", &k), kFileNotFound) << text;
    EXPECT_EQ(k, 0u);
    EXPECT_EQ(ReadFile(aside), text);
    const auto records = evlog::ReadLog(events.string());
    ASSERT_EQ(records.size(), 1u) << text;
    EXPECT_EQ(records[0].source, "ORN registry");
    EXPECT_EQ(records[0].type, evlog::kWarning);
    ASSERT_EQ(records[0].strings.size(), 1u);
    EXPECT_NE(records[0].strings[0].find(aside.string()), std::string::npos) << records[0].strings[0];
    // A handle opened on the old hive has lost its key; new settings work.
    EXPECT_EQ(QueryValue(early, "v", nullptr, nullptr, &size), kKeyDeleted) << text;
    EXPECT_EQ(CreateKey(Hive::LocalMachine, "New", &k), kSuccess) << text;
    EXPECT_EQ(SetDword(k, "w", 2), kSuccess);
    CloseKey(k);
    EXPECT_EQ(OpenKey(Hive::LocalMachine, "New", &k), kSuccess);
    CloseKey(k);
    EXPECT_EQ(evlog::ReadLog(events.string()).size(), 1u);  // set aside once
    // Back to the hive with K for the next case.
    std::ofstream(HiveFile(), std::ios::binary | std::ios::trunc) << good;
  }
  // Other hives are unaffected.
  Key user = 0;
  EXPECT_EQ(CreateKey(Hive::CurrentUser, "K", &user), kSuccess);
  CloseKey(user);
  // Hand-written comments and CR LF line ends are no damage.
  std::ofstream(HiveFile(), std::ios::binary | std::ios::trunc)
      << "; ORN registry hive, format 1\r\n\r\n[K]\r\n; note\r\n\"v\"=dword:0000002a\r\n; end of hive\r\n";
  fs::remove(aside);
  ValueType type;
  EXPECT_EQ(Query(early, "v", &type), (std::vector<uint8_t>{42, 0, 0, 0}));
  EXPECT_FALSE(fs::exists(aside));
  EXPECT_EQ(CloseKey(early), kSuccess);
}

TEST_F(RegistryTest, AHiveThatIsNotARegularFileIsRefusedAndLeftAlone) {
  // A pipe would block the call; it must not be set aside either.
  ASSERT_EQ(mkfifo(HiveFile().c_str(), 0600), 0);
  Key k = 99;
  EXPECT_EQ(OpenKey(Hive::LocalMachine, "K", &k), kBadDb);
  EXPECT_EQ(CreateKey(Hive::LocalMachine, "K", &k), kBadDb);
  EXPECT_TRUE(fs::is_fifo(HiveFile()));
  EXPECT_FALSE(fs::exists(HiveFile().string() + ".damaged"));
  fs::remove(HiveFile());
  fs::create_directory(HiveFile());
  EXPECT_EQ(OpenKey(Hive::LocalMachine, "K", &k), kBadDb);
}

TEST_F(RegistryTest, TheKeptHiveFollowsEveryChangeOfTheFile) {
  Key k = Create("K");
  ASSERT_EQ(SetDword(k, "v", 1), kSuccess);
  ValueType type;
  EXPECT_EQ(Query(k, "v", &type), (std::vector<uint8_t>{1, 0, 0, 0}));
  // Another process writes.
  const pid_t pid = fork();
  if (pid == 0) {
    Key other = 0;
    _exit(OpenKey(Hive::LocalMachine, "K", &other) == kSuccess && SetDword(other, "v", 2) == kSuccess ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Query(k, "v", &type), (std::vector<uint8_t>{2, 0, 0, 0}));
  // An edit in place of the same size, its time put back: the change time
  // still tells.
  std::string text = ReadFile(HiveFile());
  const auto time = fs::last_write_time(HiveFile());
  text.replace(text.find("dword:00000002"), 14, "dword:00000003");
  {
    std::fstream f(HiveFile(), std::ios::in | std::ios::out | std::ios::binary);
    f << text;
  }
  fs::last_write_time(HiveFile(), time);
  EXPECT_EQ(Query(k, "v", &type), (std::vector<uint8_t>{3, 0, 0, 0}));
  // Removed: the hive is empty.
  fs::remove(HiveFile());
  uint32_t size = 0;
  EXPECT_EQ(QueryValue(k, "v", nullptr, nullptr, &size), kKeyDeleted);
  CloseKey(k);
}

TEST_F(RegistryTest, KeysNestAtMost512Levels) {
  Key k = 0;
  EXPECT_EQ(CreateKey(Hive::LocalMachine, Nested(513), &k), kInvalidParameter);
  EXPECT_EQ(k, 0u);
  EXPECT_EQ(OpenKey(Hive::LocalMachine, Nested(300000), &k), kInvalidParameter);
  k = Create(Nested(512));
  ASSERT_EQ(SetDword(k, "deep", 7), kSuccess);
  EXPECT_EQ(CloseKey(k), kSuccess);
  ASSERT_EQ(OpenKey(Hive::LocalMachine, Nested(512), &k), kSuccess);  // read back from the file
  ValueType type;
  EXPECT_EQ(Query(k, "deep", &type), (std::vector<uint8_t>{7, 0, 0, 0}));
  CloseKey(k);
}

TEST_F(RegistryTest, WritesLeftAsideByAKilledWriterAreRemovedByTheNextWrite) {
  Key k = Create("K");
  const fs::path stale[] = {fs::path(dir_) / "HKEY_LOCAL_MACHINE.hive.tmp4194303",
                            fs::path(dir_) / "HKEY_LOCAL_MACHINE.hive.tmp1"};
  for (const auto& p : stale) std::ofstream(p) << "; ORN registry hive, format 1\n[half";
  const fs::path otherHive = fs::path(dir_) / "HKEY_USERS.hive.tmp1";
  std::ofstream(otherHive) << "another hive's";
  uint32_t size = 0;
  EXPECT_EQ(QueryValue(k, "missing", nullptr, nullptr, &size), kFileNotFound);  // reading takes no lock
  EXPECT_TRUE(fs::exists(stale[0]));
  ASSERT_EQ(SetDword(k, "v", 1), kSuccess);
  for (const auto& p : stale) EXPECT_FALSE(fs::exists(p)) << p;
  EXPECT_TRUE(fs::exists(otherHive));  // its own hive's next write takes it
  CloseKey(k);
}

TEST_F(RegistryTest, FailureSwitchPerHive) {
  Key k = Create("K");
  FailHiveForTest(Hive::LocalMachine, kAccessDenied);
  Key other = 0;
  EXPECT_EQ(OpenKey(Hive::LocalMachine, "K", &other), kAccessDenied);
  EXPECT_EQ(SetDword(k, "v", 1), kAccessDenied);
  EXPECT_EQ(CreateKey(Hive::CurrentUser, "K", &other), kSuccess);
  EXPECT_EQ(CloseKey(other), kSuccess);
  EXPECT_EQ(CloseKey(k), kAccessDenied);  // freed all the same
  FailHiveForTest(Hive::LocalMachine, kSuccess);
  EXPECT_EQ(CloseKey(k), kInvalidHandle);
  EXPECT_EQ(OpenKey(Hive::LocalMachine, "K", &other), kSuccess);
  CloseKey(other);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  Key shared = Create("SOFTWARE\\Shared");
  CloseKey(shared);
  pid_t kids[2];
  for (int p = 0; p < 2; ++p) {
    kids[p] = fork();
    ASSERT_GE(kids[p], 0);
    if (kids[p] == 0) {
      Key k = 0;
      if (OpenKey(Hive::LocalMachine, "SOFTWARE\\Shared", &k) != kSuccess) _exit(2);
      for (uint32_t i = 0; i < 200; ++i) {
        if (SetDword(k, "p" + std::to_string(p) + "-" + std::to_string(i), i) != kSuccess) _exit(3);
      }
      Key own = 0;
      if (CreateKey(Hive::LocalMachine, "SOFTWARE\\Shared\\Child" + std::to_string(p), &own) != kSuccess) {
        _exit(4);
      }
      _exit(0);
    }
  }
  for (pid_t kid : kids) {
    int status = 0;
    waitpid(kid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  Key k = 0;
  ASSERT_EQ(OpenKey(Hive::LocalMachine, "SOFTWARE\\Shared", &k), kSuccess);
  for (int p = 0; p < 2; ++p) {
    for (uint32_t i = 0; i < 200; ++i) {
      ValueType type;
      std::vector<uint8_t> want{static_cast<uint8_t>(i), 0, 0, 0};
      ASSERT_EQ(Query(k, "p" + std::to_string(p) + "-" + std::to_string(i), &type), want);
    }
  }
  std::string name;
  EXPECT_EQ(EnumKey(k, 0, &name), kSuccess);
  EXPECT_EQ(name, "Child0");
  EXPECT_EQ(EnumKey(k, 1, &name), kSuccess);
  EXPECT_EQ(name, "Child1");
  CloseKey(k);
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << "left behind: " << e.path();
  }
}

TEST(RegistryDirectoryTest, DefaultsFollowHome) {
  orn_test::EnvGuard env;
  env.Set("ORN_REGISTRY_DIR", nullptr);
  env.Set("HOME", "/home/someone");
  env.Set("TMPDIR", "/var/tmp");
  EXPECT_EQ(RegistryDirectory(), "/home/someone/.orn-registry");
  env.Set("HOME", nullptr);
  EXPECT_EQ(RegistryDirectory(), "/var/tmp/orn-registry-" + std::to_string(getuid()));
  env.Set("TMPDIR", nullptr);
  EXPECT_EQ(RegistryDirectory(), "/tmp/orn-registry-" + std::to_string(getuid()));
  env.Set("ORN_REGISTRY_DIR", "/x/reg");
  EXPECT_EQ(RegistryDirectory(), "/x/reg");
}

TEST(RegistryDirectoryTest, DefaultInTheTemporaryFolderMustBeTheUsersOwn) {
  // The temporary folder is everyone's: another user may have planted the
  // registry folder's name, as a link to a folder of theirs or as their own
  // folder that others can write, with a hive of their choosing in it.
  orn_test::ScratchDir scratch("orn-reg-default");
  const fs::path temp = scratch / "tmp", theirs = scratch / "theirs";
  fs::create_directories(temp);
  fs::permissions(temp, fs::perms::all | fs::perms::sticky_bit);
  fs::create_directories(theirs);
  const std::string planted = "; ORN registry hive, format 1\n[]\n[Planted]\n; end of hive\n";
  std::ofstream(theirs / "HKEY_LOCAL_MACHINE.hive") << planted;
  orn_test::EnvGuard env;
  env.Set("ORN_REGISTRY_DIR", nullptr);
  env.Set("HOME", nullptr);
  env.Set("TMPDIR", temp.c_str());
  const fs::path dir = RegistryDirectory();
  ASSERT_EQ(dir.parent_path(), temp);

  fs::create_directory_symlink(theirs, dir);
  Key k = 0;
  EXPECT_EQ(OpenKey(Hive::LocalMachine, "Planted", &k), kAccessDenied);
  EXPECT_EQ(CreateKey(Hive::LocalMachine, "Mine", &k), kAccessDenied);
  fs::remove(dir);
  fs::create_directory(dir);
  fs::permissions(dir, fs::perms::all);
  fs::copy_file(theirs / "HKEY_LOCAL_MACHINE.hive", dir / "HKEY_LOCAL_MACHINE.hive");
  EXPECT_EQ(OpenKey(Hive::LocalMachine, "Planted", &k), kAccessDenied);
  EXPECT_EQ(CreateKey(Hive::LocalMachine, "Mine", &k), kAccessDenied);
  EXPECT_EQ(ReadFile(theirs / "HKEY_LOCAL_MACHINE.hive"), planted);
  EXPECT_EQ(ReadFile(dir / "HKEY_LOCAL_MACHINE.hive"), planted);

  // Not there yet: a read finds nothing, a write makes it for this user only.
  fs::remove_all(dir);
  EXPECT_EQ(OpenKey(Hive::LocalMachine, "Mine", &k), kFileNotFound);
  ASSERT_EQ(CreateKey(Hive::LocalMachine, "Mine", &k), kSuccess);
  EXPECT_EQ(fs::status(dir).permissions(), fs::perms::owner_all);
  EXPECT_EQ(CloseKey(k), kSuccess);
}

}  // namespace

// Whole-program tests of the commit: Quillet runs from its command line on
// sheets pre-loaded from the INI file, the operator presses OK (or the close
// box), and the test reads the saved files back, the log, the event log and
// the exit code.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/eventlog/eventlog.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

Lines ReadLines(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  Lines lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Runs a command and returns its standard output.
std::string Output(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  char buffer[512];
  while (pipe && fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  return out;
}

class CommitRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillet-commit-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    for (const char* d : {"bin", "c", "tmp", "out"}) fs::create_directories(root_ / d);
    fs::copy_file(QUILLET_EXE, Bin() / "Quillet");
    env_ = {
        {"ORN_DRIVE_C", (root_ / "c").string()},
        {"ORN_TEMP_PATH", (root_ / "tmp").string() + "/"},
        {"ORN_EVENTLOG", (root_ / "events.txt").string()},
        {"ORN_UI_TRANSCRIPT", (root_ / "transcript.txt").string()},
        {"ORN_UI_SCRIPT", (root_ / "script.txt").string()},
        {"ORN_FIXED_TIME", "2024-05-06 07:08:09"},
        {"ORN_COMPUTER_NAME", "PC7"},
        {"ORN_USER_NAME", "anna"},
        {"ORN_SCREEN", "1280x1024"},
        {"ORN_UI_TIMEOUT", "60"},
    };
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  fs::path Bin() const { return root_ / "bin"; }
  fs::path Out() const { return root_ / "out"; }
  void Ini(const std::string& text) const { std::ofstream(Bin() / "Quillet.ini", std::ios::binary) << text; }
  void Script(const std::string& text) const { std::ofstream(root_ / "script.txt") << text; }

  // A 24-bit BMP of width x height pixels of one grey level.
  void Bmp(const std::string& name, int32_t width, int32_t height, uint8_t level = 0x80) const {
    const int32_t row = (width * 3 + 3) / 4 * 4;
    std::string b = "BM";
    auto u16 = [&b](uint32_t v) { b.append({static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}); };
    auto u32 = [&u16](uint32_t v) {
      u16(v & 0xFFFF);
      u16(v >> 16);
    };
    u32(static_cast<uint32_t>(54 + row * height));
    u32(0);
    u32(54);
    u32(40);
    u32(static_cast<uint32_t>(width));
    u32(static_cast<uint32_t>(height));
    u16(1);
    u16(24);
    u32(0);
    u32(static_cast<uint32_t>(row * height));
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    b.append(static_cast<size_t>(row * height), static_cast<char>(level));
    std::ofstream(Bin() / name, std::ios::binary) << b;
  }

  // Runs Quillet DEMO 12345 <out>; returns the exit status (0..255).
  int Run() {
    std::vector<std::string> argv{(Bin() / "Quillet").string(), "DEMO", "12345", Out().string()};
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      if (kv.rfind("ORN_", 0) != 0) env[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
    }
    for (const auto& [k, v] : env_) env[k] = v;
    std::vector<std::string> envText;
    for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    for (auto& s : envText) e.push_back(s.data());
    e.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string err = (root_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, a[0], &actions, nullptr, a.data(), e.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << a[0];
      return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) {
      ADD_FAILURE() << "Quillet did not exit normally";
      return -1;
    }
    return WEXITSTATUS(status);
  }

  Lines Log() const { return ReadLines(Bin() / "Quillet.log"); }
  Lines Boxes() const {
    Lines boxes;
    for (const std::string& l : ReadLines(root_ / "transcript.txt"))
      if (l.rfind("msgbox | ", 0) == 0) boxes.push_back(l.substr(9));
    return boxes;
  }
  std::vector<evlog::Record> Events() const { return evlog::ReadLog((root_ / "events.txt").string()); }
  std::string Diagnostics() const { return "stderr: " + Output("cat " + (root_ / "stderr.txt").string()); }
  Lines Saved() const {
    Lines names;
    for (const auto& e : fs::directory_iterator(Out())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  imaging::FileInfo Info(const std::string& name, int32_t page = 1) const {
    imaging::FileInfo info;
    EXPECT_EQ(imaging::ReadImageInfo((Out() / name).string(), page, info), imaging::kPixoOk) << name;
    return info;
  }
  bool Logged(const std::string& prefix) const {
    Lines log = Log();
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& l) { return l.rfind("2024-05-06 07:08:09 " + prefix, 0) == 0; });
  }

 private:
  fs::path root_;
  std::map<std::string, std::string> env_;
};

// Two document types: a TIF with two sheets and a JPG with one, every
// sheet pre-loaded; with Debugging on, the re-check of OK checks them.
std::string Profile(const std::string& general, const std::string& file2 = "b.bmp") {
  return "[General]\r\nDebugLevel=3\r\n" + general +
         "[Text]\r\nMessage_20=Saved {SIZE}{CR}[28800]\r\nMessage_18=Not all sheets OK. Save anyway?\r\n"
         "[DEMO_1]\r\nPages=2\r\nFormat=TIF\r\nOptions=ENC-LZW\r\nType=ID\r\nBitmapDPI=300\r\n"
         "Check=00000000000\r\nFile_1={APP.PATH}/a.bmp\r\nFile_2={APP.PATH}/" +
         file2 +
         "\r\n"
         "[DEMO_2]\r\nPages=1\r\nFormat=JPG\r\nOptions=QUAL-50 GRAY-8\r\nType=FORM\r\nCheck=00000000000\r\n"
         "File_1={APP.PATH}/c.bmp\r\n";
}

TEST_F(CommitRun, OkSavesEverySheetAndEndsWithOne) {
  Bmp("a.bmp", 64, 40);
  Bmp("b.bmp", 32, 20);
  Bmp("c.bmp", 48, 48, 0xC0);
  Ini(Profile("Debugging=yes\r\n"));
  Script("click DoOK\n");
  ASSERT_EQ(Run(), 1) << Diagnostics();
  ASSERT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));

  // tiffinfo reads the two sheets of the type as the two pages of one file.
  const std::string tiff = Output("tiffinfo " + (Out() / "ID_12345.TIF").string() + " 2>&1");
  EXPECT_NE(tiff.find("Image Width: 64 Image Length: 40"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Image Width: 32 Image Length: 20"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Compression Scheme: LZW"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Resolution: 300, 300"), std::string::npos) << tiff;
  EXPECT_EQ(Info("ID_12345.TIF").pageCount, 2);
  EXPECT_EQ(Info("FORM_12345.JPG").bits, 8);  // GRAY-8 writes grey
  EXPECT_EQ(Info("FORM_12345.JPG").width, 48);

  const std::string tif = (Out() / "ID_12345.TIF").string();
  EXPECT_TRUE(Logged("Save:" + tif + ",0,Size="));
  EXPECT_TRUE(Logged("Save:" + (Out() / "FORM_12345.JPG").string() + ",0,Size="));
  EXPECT_TRUE(Logged("Ended RC=1:"));
  Lines boxes = Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().rfind("Quillet | 0 | Saved ", 0), 0u) << boxes.back();
  auto events = Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().strings[0].rfind("Ended RC=1:", 0), 0u);
}

TEST_F(CommitRun, CloseBoxCommitsToo) {
  Bmp("a.bmp", 8, 8);
  Bmp("b.bmp", 8, 8);
  Bmp("c.bmp", 8, 8);
  Ini(Profile("Debugging=yes\r\n"));
  Script("close\n");
  EXPECT_EQ(Run(), 1) << Diagnostics();
  EXPECT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));
}

TEST_F(CommitRun, WarningAnsweredYesEndsWithZeroAndNoFile) {
  // Without Debugging the pre-loaded sheets count as not scanned: the
  // re-check leaves them unchecked and OK warns.
  Bmp("a.bmp", 8, 8);
  Bmp("b.bmp", 8, 8);
  Bmp("c.bmp", 8, 8);
  Ini(Profile(""));
  Script("answer yes\nclick DoOK\n");
  EXPECT_EQ(Run(), 0) << Diagnostics();
  EXPECT_TRUE(Saved().empty());
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes()[0], "Warning ! | 260 | Not all sheets OK. Save anyway? | yes");
  EXPECT_TRUE(Logged("Ended RC=0:"));
}

TEST_F(CommitRun, WarningAnsweredNoKeepsTheWindowOpen) {
  Bmp("a.bmp", 8, 8);
  Bmp("b.bmp", 8, 8);
  Bmp("c.bmp", 8, 8);
  Ini(Profile(""));
  Script("answer no\nclick DoOK\ndump after.txt\n");
  // The window stays; the session end afterwards is the -9 exit.
  EXPECT_EQ(Run(), 256 - 9) << Diagnostics();
  EXPECT_TRUE(Saved().empty());
  EXPECT_FALSE(Logged("Ended RC=0:"));
}

TEST_F(CommitRun, SheetWithoutImageEndsWithMinusTwenty) {
  Bmp("a.bmp", 8, 8);
  Bmp("c.bmp", 8, 8);
  Ini(Profile("Debugging=yes\r\n", "missing.bmp"));
  Script("click DoOK\n");
  EXPECT_EQ(Run(), 256 - 20) << Diagnostics();
  // The sheet before it was saved; the log and the box say why it ended.
  EXPECT_EQ(Saved(), Lines{"ID_12345.TIF"});
  EXPECT_TRUE(Logged("Error:-20=Bitmap Error!"));
  EXPECT_TRUE(Logged("Ended RC=-20:"));
}

}  // namespace

// Whole-program tests of the sheet edits, the border trim and the quality
// check: Quillet runs from its command line with a one-sheet profile whose
// sheet is pre-loaded, and the operator script turns, adjusts, trims, undoes
// and checks it through the tool buttons, the sliders and the check button.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Lines ReadLines(const fs::path& p) {
  Lines lines;
  std::stringstream s(ReadText(p));
  for (std::string line; std::getline(s, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// A 24-bit BMP of a white 400 x 300 page with a black block at
// [100, 299] x [50, 249].
void WritePage(const fs::path& p) {
  constexpr int32_t kWidth = 400, kHeight = 300, kRow = kWidth * 3;
  std::string b;
  auto u16 = [&b](uint16_t v) { b.append({static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}); };
  auto u32 = [&](uint32_t v) {
    u16(static_cast<uint16_t>(v & 0xFFFF));
    u16(static_cast<uint16_t>(v >> 16));
  };
  b += "BM";
  u32(54 + kRow * kHeight);
  u32(0);
  u32(54);
  u32(40);
  u32(kWidth);
  u32(kHeight);
  u16(1);
  u16(24);
  u32(0);
  u32(kRow * kHeight);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (int32_t row = 0; row < kHeight; ++row) {
    const int32_t y = kHeight - 1 - row;  // rows are stored bottom-up
    for (int32_t x = 0; x < kWidth; ++x) {
      const bool black = x >= 100 && x <= 299 && y >= 50 && y <= 249;
      b.append(3, black ? '\0' : '\xFF');
    }
  }
  std::ofstream(p, std::ios::binary) << b;
}

constexpr const char kStamp[] = "2024-05-06 07:08:09 ";

class EditsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillet-edits-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    for (const char* d : {"bin", "c", "tmp", "out"}) fs::create_directories(root_ / d);
    fs::copy_file(QUILLET_EXE, root_ / "bin" / "Quillet");
    WritePage(root_ / "bin" / "page.bmp");
    // One pre-loaded sheet with every edit tool and the three sliders; the
    // check runs on it (Debugging) and fails on too much light, as a
    // Yes/No question.
    std::ofstream(root_ / "bin" / "Quillet.ini", std::ios::binary)
        << "[General]\r\nDebugLevel=7\r\nDebugging=Yes\r\n"
           "[Quality]\r\nWhiteMax=50\r\n"
           "[Text]\r\nMessage_05=Too light\r\nMessage_19=Accept anyway?\r\n"
           "[DEMO_1]\r\nPages=1\r\nName=Page\r\nFile_1={APP.PATH}/page.bmp\r\nCheck=11112\r\n"
           "Tools=CHEK/AUTO/UNDO/ROTL/ROTR/FLIP/MIRR/BRIG/CONT/GAMA/\r\n";
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  // Runs the script (its "dump NAME" steps write into the test's folder);
  // returns the exit status.
  int Run(std::string script) {
    for (size_t at = script.find("dump "); at != std::string::npos; at = script.find("dump ", at + 5)) {
      script.insert(at + 5, root_.string() + "/");
    }
    std::ofstream(root_ / "script.txt") << script;
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      if (kv.rfind("ORN_", 0) != 0) env[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
    }
    const std::map<std::string, std::string> fixed = {
        {"ORN_DRIVE_C", (root_ / "c").string()},
        {"ORN_TEMP_PATH", (root_ / "tmp").string() + "/"},
        {"ORN_EVENTLOG", (root_ / "events.txt").string()},
        {"ORN_UI_TRANSCRIPT", (root_ / "transcript.txt").string()},
        {"ORN_UI_SCRIPT", (root_ / "script.txt").string()},
        {"ORN_FIXED_TIME", "2024-05-06 07:08:09"},
        {"ORN_COMPUTER_NAME", "PC7"},
        {"ORN_USER_NAME", "anna"},
        {"ORN_SCREEN", "1280x1024"},
        {"ORN_TWIPS_PER_PIXEL", "15"},
        {"ORN_UI_TIMEOUT", "60"},
    };
    for (const auto& [k, v] : fixed) env[k] = v;
    std::vector<std::string> args{(root_ / "bin" / "Quillet").string(), "demo", "12345", (root_ / "out").string()};
    std::vector<std::string> envText;
    for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
    std::vector<char*> a, e;
    for (auto& s : args) a.push_back(s.data());
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
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::map<std::string, std::string> Dump(const std::string& name) const {
    std::map<std::string, std::string> m;
    for (const std::string& line : ReadLines(root_ / name)) {
      const size_t eq = line.find(" = ");
      if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 3);
    }
    return m;
  }
  Lines Log() const { return ReadLines(root_ / "bin" / "Quillet.log"); }
  bool Logged(const std::string& text) const {
    const Lines log = Log();
    return std::find(log.begin(), log.end(), kStamp + text) != log.end();
  }
  Lines MessageBoxes() const {
    Lines boxes;
    for (const std::string& l : ReadLines(root_ / "transcript.txt"))
      if (l.rfind("msgbox | ", 0) == 0) boxes.push_back(l);
    return boxes;
  }
  std::string Stderr() const { return ReadText(root_ / "stderr.txt"); }
  fs::path Bin() const { return root_ / "bin"; }

 private:
  fs::path root_;
};

TEST_F(EditsRun, TurnAdjustTrimUndoAndCheckASheet) {
  EXPECT_EQ(Run("click Thumb(0)\n"
                "click Tool(7)\ndump turned.txt\n"             // a quarter turn right
                "slide SlideB 20\nslide SlideC 30 hold\ndump adjusted.txt\n"
                "slide SlideC 30\n"
                "click Tool(6)\nclick Tool(4)\ndump trimmed.txt\n"  // back, then trim
                "click Tool(5)\ndump undone.txt\n"
                "answer no\nclick DoCheck\ndump checked.txt\n"),
            256 - 9)
      << Stderr();

  auto turned = Dump("turned.txt");
  ASSERT_FALSE(turned.empty()) << Stderr();
  for (const char* c : {"L1", "Thbas(0)", "Thumb(0)"}) {
    EXPECT_EQ(turned[std::string("Quillet1.") + c + ".Image"], "300x400x24") << c;
  }
  EXPECT_EQ(turned["Quillet1.Thsav(0).Image"], "400x300x24");

  auto adjusted = Dump("adjusted.txt");
  EXPECT_EQ(adjusted["Quillet1.SlideB.Value"], "20");
  EXPECT_EQ(adjusted["Quillet1.SlideC.Value"], "30");
  EXPECT_EQ(adjusted["Quillet1.L1.Image"], "300x400x24");  // rebuilt from the turned base

  // The trim sample is 320 x 240 (scale 0.8); the block lies at [80, 239] x
  // [40, 199] in it, so view and base are cut to 200 x 200 image pixels.
  auto trimmed = Dump("trimmed.txt");
  EXPECT_EQ(trimmed["Quillet1.Status.Text"], "\"Sample trim: Size=320,240, Trim=80,40/239,199\"");
  for (const char* c : {"L1", "Thbas(0)", "Thumb(0)"}) {
    EXPECT_EQ(trimmed[std::string("Quillet1.") + c + ".Image"], "200x200x24") << c;
  }
  EXPECT_EQ(trimmed["Quillet1.SlideB.Value"], "20");  // the trim keeps the adjustments

  auto undone = Dump("undone.txt");
  EXPECT_EQ(undone["Quillet1.L1.Image"], "400x300x24");
  EXPECT_EQ(undone["Quillet1.Thbas(0).Image"], "400x300x24");
  EXPECT_EQ(undone["Quillet1.SlideB.Value"], "0");
  EXPECT_EQ(undone["Quillet1.SlideC.Value"], "0");
  EXPECT_EQ(undone["Quillet1.SlideG.Value"], "10");

  // Two thirds of the untouched page are light: check 5 fails, the question
  // is answered No and the sheet turns yellow.
  EXPECT_EQ(MessageBoxes(),
            Lines{"msgbox | Autocheck | 260 | Too light\\r\\nAccept anyway?\\r\\n66.6 > 50 | no"});
  auto checked = Dump("checked.txt");
  EXPECT_EQ(checked["Quillet1.Page(0).BackColor"], "&H00FFFF");
  EXPECT_TRUE(Logged("Autocheck:5;2=66.6 > 50"));
  EXPECT_TRUE(Logged("Autocheck result:5"));

  const Lines report = ReadLines(Bin() / "Quillet_AC.txt");
  ASSERT_EQ(report.size(), 35u);
  EXPECT_EQ(report[0], "AutoCheck results:06.05.2024 07:08:09");
  EXPECT_EQ(report[1],
            "AutoCheck:  Size=320,240; ,Light (192)=66.6% [0-50],Dark  (64)=33.3% [0-100],Middle=0.1% [0-100]%");
  EXPECT_EQ(report[2].substr(0, 12), "000=25600 , ");
  EXPECT_EQ(report[33].substr(report[33].size() - 12), "255=51200 , ");
  EXPECT_FALSE(fs::exists(Bin() / "Quillet_AC.bmp"));  // the sample picture needs level 8
}

}  // namespace

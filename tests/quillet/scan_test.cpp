// Whole-program tests of sheet selection, scanning and file drop import:
// Quillet runs from its command line with the scanner stack's test device
// (configured by the test's own folder), the operator script presses sheet
// buttons, the scan and info buttons and drops files, and the test reads the
// dumps, the message-box transcript and the exit code.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

Lines ReadLines(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  Lines lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// A 24-bit BMP of width x height pixels of one grey level.
void WriteBmp(const fs::path& p, int32_t width, int32_t height) {
  const int32_t row = (width * 3 + 3) / 4 * 4;
  std::string b = "BM";
  auto u16 = [&b](uint32_t v) { b.append({static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}); };
  auto u32 = [&](uint32_t v) {
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
  b.append(static_cast<size_t>(row * height), '\x90');
  std::ofstream(p, std::ios::binary) << b;
}

// Two document types: a card of two sheets that takes dropped BMP files of
// at least 100 x 60 pixels, and a letter that takes no drops, scans grey
// stored as black and white, and whose resolution list is no number.
const std::string kIni =
    "[General]\r\nDebugLevel=1\r\nForceSequence=no\r\nTwainClose=yes\r\n"
    "[Layout]\r\nTools=CHEK/SCAN/INFO/SETU/ZFAC/MOVE/\r\n"
    "[Text]\r\nLabel_01=Colour\r\nLabel_02=Resolution\r\nLabel_09=Scan\r\nMessage_08=Too small\r\n"
    "[DEMO_1]\r\nPages=2\r\nName=Card\r\nColors=GRAY8/COL24/\r\nResolutions=50/100/\r\n"
    "Width=8\r\nHeight=5\r\nBrightness=3/0/\r\nOleDrop=BMP/TIF/\r\n"
    "Size=0000.0000.0100.0060.9999.9999\r\nTools=CHEK/SCAN/INFO/SETU/ZFAC/MOVE/\r\n"
    "[DEMO_2]\r\nPages=1\r\nName=Letter\r\nColors=G2/B&W/\r\nResolutions=abc/\r\nTools=CHEK/SCAN/\r\n";

class ScanRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillet-scan-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    for (const char* d : {"bin", "c", "tmp", "out", "sane"}) fs::create_directories(root_ / d);
    fs::copy_file(QUILLET_EXE, root_ / "bin" / "Quillet");
    std::ofstream(root_ / "bin" / "Quillet.ini", std::ios::binary) << kIni;
    std::ofstream(root_ / "sane" / "dll.conf") << "test\n";
    Device("");
    env_ = {
        {"ORN_DRIVE_C", (root_ / "c").string()},
        {"ORN_TEMP_PATH", (root_ / "tmp").string() + "/"},
        {"ORN_EVENTLOG", (root_ / "events.txt").string()},
        {"ORN_UI_TRANSCRIPT", (root_ / "transcript.txt").string()},
        {"ORN_UI_SCRIPT", (root_ / "script.txt").string()},
        {"ORN_FIXED_TIME", "2024-05-06 07:08:09"},
        {"ORN_COMPUTER_NAME", "PC7"},
        {"ORN_USER_NAME", "anna"},
        {"ORN_UI_TIMEOUT", "60"},
        {"ORN_PIXO_JOURNAL", (root_ / "journal.txt").string()},
        {"SANE_CONFIG_DIR", (root_ / "sane").string()},
    };
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  // The test device: white paper, 50 dpi to start, plus `extra` lines.
  void Device(const std::string& extra) const {
    std::ofstream(root_ / "sane" / "test.conf") << "number_of_devices 1\nmode Gray\ndepth 8\nresolution 50\n"
                                                   "geometry_max 300.0\ntest-picture \"Solid white\"\n"
                                                << extra;
  }
  // The script's "dump NAME" steps write into the test's folder.
  void Script(std::string text) const {
    for (size_t at = text.find("dump "); at != std::string::npos; at = text.find("dump ", at + 5)) {
      text.insert(at + 5, root_.string() + "/");
    }
    std::ofstream(root_ / "script.txt") << text;
  }
  void Env(const std::string& name, const std::string& value) { env_[name] = value; }

  // Runs Quillet with the demo command line; returns its exit status.
  int Run() {
    std::vector<std::string> argv{(root_ / "bin" / "Quillet").string(), "demo", "12345", (root_ / "out").string()};
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
    const std::string errPath = (root_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
    EXPECT_FALSE(m.empty()) << "no dump " << name << ": " << Stderr();
    return m;
  }
  Lines Boxes() const {
    Lines boxes;
    for (const std::string& l : ReadLines(root_ / "transcript.txt")) {
      if (l.rfind("msgbox | ", 0) == 0) boxes.push_back(l);
    }
    return boxes;
  }
  Lines Transcript() const { return ReadLines(root_ / "transcript.txt"); }
  // The imaging controls' calls of one member ("put 248", "call 467").
  Lines Journal(const std::string& what) const {
    Lines out;
    for (const std::string& l : ReadLines(root_ / "journal.txt")) {
      const size_t at = l.find(" " + what + " ");
      if (at != std::string::npos) out.push_back(l.substr(at + 1));
    }
    return out;
  }
  std::string Stderr() const {
    std::ifstream in(root_ / "stderr.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path Root() const { return root_; }

 private:
  fs::path root_;
  std::map<std::string, std::string> env_;
};

// The run ends with the session's close of the window: exit code -9.
constexpr int kClosed = 256 - 9;

TEST_F(ScanRun, SheetButtonScansTheSheet) {
  Script("click Page(1)\ndump scanned.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  auto d = Dump("scanned.txt");
  // The scan options of the type, the first item of each list shown.
  EXPECT_EQ(d["Quillet1.Twain(0).Text"], "\"GRAY8\"");
  EXPECT_EQ(d["Quillet1.Twain(0).List(1)"], "\"COL24\"");
  EXPECT_EQ(d["Quillet1.Twain(1).Text"], "\"50\"");
  EXPECT_EQ(d["Quillet1.Twain(4).ListCount"], "2");
  EXPECT_EQ(d["Quillet1.Twain(5).Text"], "\"0\"");  // the fallback
  EXPECT_EQ(d["Quillet1.DoAqu.Caption"], "\"Scan\\rCard 2\"");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"1\"");
  // 8 x 5 cm at 50 dpi in 8-bit grey, in the untouched scan, the base and
  // the thumbnail of sheet 1 only.
  EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "157x98x8 grey");
  EXPECT_EQ(d["Quillet1.Thbas(1).Image"], "157x98x8 grey");
  EXPECT_EQ(d["Quillet1.Thumb(1).Image"], "157x98x8 grey");
  EXPECT_EQ(d["Quillet1.Thsav(1).Resolution"], "50x50");
  EXPECT_EQ(d["Quillet1.Thsav(1).Left"], "1");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "none");
  EXPECT_EQ(d["Quillet1.Thsav(0).Left"], "0");
  // The automatic check passed: the sheet and the scan button are green.
  EXPECT_EQ(d["Quillet1.Page(1).BackColor"], "&H00FF00");
  EXPECT_EQ(d["Quillet1.DoAqu.BackColor"], "&H00FF00");
  EXPECT_EQ(d["Quillet1.DoOK.BackColor"], "&H0000FF");  // sheets 0 and 2 are not checked
  EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
  // The settings put before the acquire: grey 8 bits, 50 dpi, 8 x 5 cm,
  // brightness 3 and the source's own contrast.
  EXPECT_EQ(Journal("put 81"), (Lines{"put 81 TwainPixelType 0&", "put 81 TwainPixelType 1&"}));
  EXPECT_EQ(Journal("put 87"), (Lines{"put 87 TwainBits 1%", "put 87 TwainBits 8%"}));
  EXPECT_EQ(Journal("put 82"), Lines{"put 82 TwainResolution 50#"});
  EXPECT_EQ(Journal("put 85"), (Lines{"put 85 TwainFrameWidth -1&", "put 85 TwainFrameWidth 4536#"}));
  EXPECT_EQ(Journal("put 248"), Lines{"put 248 TwainBrightness 300#"});
  EXPECT_EQ(Journal("put 249"), Lines{"put 249 TwainContrast 2000&"});
  EXPECT_EQ(Journal("call 308").size(), 1u);
  EXPECT_EQ(Journal("call 467").size(), 1u);  // TwainClose ends the session
}

TEST_F(ScanRun, GreyTwoBecomesBlackAndWhiteAtTheFallbackResolution) {
  Script("click Page(2)\ndump letter.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  auto d = Dump("letter.txt");
  EXPECT_EQ(d["Quillet1.Twain(0).Text"], "\"G2\"");
  EXPECT_EQ(d["Quillet1.Twain(1).Text"], "\" 150\"");
  // 20.9 x 29.7 cm at 150 dpi, scanned in 8-bit grey, kept as 1 bit.
  EXPECT_EQ(d["Quillet1.Thsav(2).Image"], "1234x1753x1 grey");
  EXPECT_EQ(d["Quillet1.Thsav(2).Resolution"], "150x150");
  EXPECT_EQ(Journal("put 82"), Lines{"put 82 TwainResolution 150#"});
  EXPECT_EQ(Journal("put 87").back(), "put 87 TwainBits 8%");
}

TEST_F(ScanRun, ScanButtonUsesTheChosenOptions) {
  // Colour at 100 dpi, chosen after the sheet button's scan.
  Script("click Page(0)\nclick DoSetup\ntype Twain(0) C8\ndump typed.txt\n"
         "pick Twain(0) COL24\npick Twain(1) 100\nclick DoAqu\ndump rescanned.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  EXPECT_EQ(Dump("typed.txt")["Quillet1.Twain(0).Text"], "\"GRAY8\"");  // typed text does not stand
  auto d = Dump("rescanned.txt");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "314x196x24");
  EXPECT_EQ(d["Quillet1.Thsav(0).Resolution"], "100x100");
}

TEST_F(ScanRun, ScanOffTheTypesProportionsLaysACropRectangle) {
  // A square card with the crop tool: the 8 x 5 cm scan fails the aspect
  // check, and the crop tool lays a square crop rectangle at once.
  std::string ini = kIni;
  ini.replace(ini.find("Size=0000.0000.0100.0060"), 24, "Size=0001.0001.0010.0010");
  ini.replace(ini.find("Tools=CHEK/SCAN/INFO/SETU/ZFAC/MOVE/\r\n[DEMO_2]"), 36, "Tools=CHEK/SCAN/CROP/");
  std::ofstream(Root() / "bin" / "Quillet.ini", std::ios::binary) << ini;
  Script("click Page(0)\ndump cropped.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  auto d = Dump("cropped.txt");
  EXPECT_EQ(d["Quillet1.Tool(3).Visible"], "True");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "157x98x8 grey");
  const std::string tag = d["Quillet1.Thsav(0).Tag"];
  ASSERT_EQ(tag.size(), 21u) << tag;  // 19 characters in quotes
  EXPECT_EQ(tag.substr(11, 4), tag.substr(16, 4)) << tag;  // as wide as high
  EXPECT_NE(d["Quillet1.L1.Region"], "none");
}

TEST_F(ScanRun, ShiftAndCtrlSelectWithoutScanning) {
  Script("mouseup Page(2) 1 3 0 0\ndump selected.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  auto d = Dump("selected.txt");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"2\"");
  EXPECT_EQ(d["Quillet1.Twain(0).Text"], "\"G2\"");
  EXPECT_EQ(d["Quillet1.Twain(1).Text"], "\"abc\"");
  EXPECT_EQ(d["Quillet1.Twain(2).Text"], "\"20.9\"");
  EXPECT_EQ(d["Quillet1.Thsav(2).Image"], "none");
  EXPECT_EQ(d["Quillet1.L1.Image"], "none");
}

TEST_F(ScanRun, WithoutScannerSheetButtonOnlyLaysOutTheRow) {
  Env("ORN_SCANNER", "none");
  Script("click Page(1)\ndump noscan.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  auto d = Dump("noscan.txt");
  EXPECT_EQ(d["Quillet1.DoAqu.Visible"], "False");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"0\"");
  EXPECT_EQ(d["Quillet1.Twain(0).ListCount"], "0");
  EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "none");
  EXPECT_EQ(d["Quillet1.DoCheck.Visible"], "True");  // the card's row
}

TEST_F(ScanRun, FailedAcquireShowsTheErrorAndKeepsTheSheet) {
  Device("read-status-code \"SANE_STATUS_JAMMED\"\n");
  Script("click Page(0)\ndump failed.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0], "msgbox | Quillet | 0 | TWAIN Error:-10 | ok (default)");
  auto d = Dump("failed.txt");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "none");
  EXPECT_EQ(d["Quillet1.Thsav(0).Left"], "0");
  EXPECT_EQ(d["Quillet1.Page(0).BackColor"], "&H0000FF");
  EXPECT_EQ(d["Quillet1.DoAqu.Enabled"], "True");  // the controls are enabled again
  EXPECT_EQ(Journal("call 467").size(), 1u);        // the session is ended all the same
}

TEST_F(ScanRun, InfoButtonReportsTheSourceSettings) {
  Script("click DoInfo\nclick Page(0)\nclick DoInfo\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  Lines boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  // Before any scan the source's own values; after it the values put.
  EXPECT_EQ(boxes[0].rfind("msgbox | Quillet | 0 | TWAIN settings:test:0\\r\\n=====================\\r\\n"
                           "Flags:\t\t\\r\\n",
                           0),
            0u)
      << boxes[0];
  EXPECT_NE(boxes[0].find("\\r\\nColorMode:\tGray\\r\\nBits/Pixel:  \t8\\r\\nResolution:  \t50 dpi\\r\\n"),
            std::string::npos)
      << boxes[0];
  EXPECT_NE(boxes[1].find("Flags:\t\tShowStatus;CacheSource;\\r\\nAppl.Name  :\tQuillet\\r\\n"
                          "Top/Left:    \t-1/-1\\r\\nHeight/Width:\t2835/4536\\r\\n"),
            std::string::npos)
      << boxes[1];
  EXPECT_NE(boxes[1].find("Intensity:   \t300\\r\\nEnableFeeder:\t2\\r\\n"), std::string::npos) << boxes[1];
}

TEST_F(ScanRun, SourceDialogSelectsTheTestDevice) {
  Script("answer cancel\nclick DoSelect\nclick DoSelect\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  Lines dialogs;
  for (const std::string& l : Transcript()) {
    if (l.rfind("dialog | ", 0) == 0) dialogs.push_back(l);
  }
  EXPECT_EQ(dialogs, (Lines{"dialog | Select Source | test:0 | cancel", "dialog | Select Source | test:0 | test:0"}));
}

TEST_F(ScanRun, DroppedFileBecomesTheSheetsImage) {
  WriteBmp(Root() / "card.bmp", 200, 120);
  Script("drop Thumb(1) " + (Root() / "card.bmp").string() + "\ndump dropped.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  auto d = Dump("dropped.txt");
  // Converted to the type's first colour mode, 8-bit grey.
  EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "200x120x8 grey");
  EXPECT_EQ(d["Quillet1.Thbas(1).Image"], "200x120x8 grey");
  EXPECT_EQ(d["Quillet1.Thumb(1).Image"], "200x120x8 grey");
  EXPECT_EQ(d["Quillet1.Thsav(1).Left"], "1");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"1\"");
  EXPECT_EQ(d["Quillet1.Twain(0).Text"], "\"GRAY8\"");
  EXPECT_EQ(d["Quillet1.Page(1).BackColor"], "&H00FF00");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ScanRun, DropOnSheetButtonChecksFilesAndSize) {
  WriteBmp(Root() / "small.bmp", 64, 48);
  WriteBmp(Root() / "big.bmp", 100, 80);
  WriteBmp(Root() / "two.bmp", 100, 80);
  const std::string small = (Root() / "small.bmp").string(), big = (Root() / "big.bmp").string();
  Script("drop Page(0) " + big + " " + (Root() / "two.bmp").string() + "\n" +  // two files: refused
         "drop Page(2) " + big + "\n" +                                        // the letter takes no drops
         "drop Page(0) " + small + "\ndump refused.txt\n" +                    // below the minimum
         "drop Page(0) " + big + "\ndump taken.txt\n");
  EXPECT_EQ(Run(), kClosed) << Stderr();
  Lines drops;
  for (const std::string& l : Transcript()) {
    if (l.rfind("drop | ", 0) == 0) drops.push_back(l.substr(l.rfind(" | ") + 3));
  }
  EXPECT_EQ(drops, (Lines{"effect 0", "effect 0", "effect 7", "effect 7"}));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0], "msgbox | Fehler ! | 0 | Too small\\r\\n0064x0048 < 0100.0060 | ok (default)");
  auto refused = Dump("refused.txt");
  EXPECT_EQ(refused["Quillet1.Thsav(0).Image"], "none");
  EXPECT_EQ(refused["Quillet1.Twain(0).ListCount"], "0");  // nothing else changed
  auto taken = Dump("taken.txt");
  EXPECT_EQ(taken["Quillet1.Thsav(0).Image"], "100x80x8 grey");
  EXPECT_EQ(taken["Quillet1.Thsav(0).Left"], "1");
}

}  // namespace

// Whole-program tests of the view: Quillet runs from its command line with
// a one-sheet profile whose sheet is pre-loaded, and the operator script
// works the thumbnail, the zoom box and the mouse tools on L1 as a user's
// hand does; the dumps and the log show what the program made of it.

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

// A 24-bit BMP of width x height mid-grey pixels.
void WriteBmp(const fs::path& p, int32_t width, int32_t height) {
  const int32_t row = (width * 3 + 3) / 4 * 4;
  std::string b;
  auto u16 = [&b](uint16_t v) { b.append({static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}); };
  auto u32 = [&](uint32_t v) {
    u16(static_cast<uint16_t>(v & 0xFFFF));
    u16(static_cast<uint16_t>(v >> 16));
  };
  b += "BM";
  u32(static_cast<uint32_t>(54 + row * height));
  u32(0);
  u32(54);
  u32(40);
  u32(static_cast<uint32_t>(width));
  u32(static_cast<uint32_t>(height));
  u16(1);
  u16(24);
  u32(0);  // no compression
  u32(static_cast<uint32_t>(row * height));
  u32(2835);  // 72 dpi
  u32(2835);
  u32(0);
  u32(0);
  b.append(static_cast<size_t>(row * height), '\x80');
  std::ofstream(p, std::ios::binary) << b;
}

constexpr const char kStamp[] = "2024-05-06 07:08:09 ";

class ViewRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillet-view-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    for (const char* d : {"bin", "c", "tmp", "out"}) fs::create_directories(root_ / d);
    fs::copy_file(QUILLET_EXE, root_ / "bin" / "Quillet");
    WriteBmp(root_ / "bin" / "sheet.bmp", 800, 600);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  // A profile of one sheet, pre-loaded, with every view tool and the size
  // rules 4:3, at least 100 x 75, at most 400 x 300.
  void Ini(const std::string& general = "DebugLevel=1") {
    std::ofstream(root_ / "bin" / "Quillet.ini", std::ios::binary)
        << "[General]\r\n" << general << "\r\n[Text]\r\nLabel_07=OK\r\n"
        << "[DEMO_1]\r\nPages=1\r\nName=Card\r\nFile_1={APP.PATH}/sheet.bmp\r\n"
           "Tools=CHEK/ZFAC/ZWID/ZHEI/ZOPT/MOVE/ZWIN/ZOOM/CROP/\r\n"
           "Size=0004.0003.0100.0075.0400.0300\r\n";
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
  std::string Stderr() const { return ReadText(root_ / "stderr.txt"); }
  bool Logged(const std::string& text) const {
    const Lines log = Log();
    return std::find(log.begin(), log.end(), kStamp + text) != log.end();
  }

 private:
  fs::path root_;
};

// The sheet shown at 50 percent: 800 x 600 image pixels are 400 x 300 on screen.
constexpr char kShowSheet[] = "click Thumb(0)\ntype ZoomFact 50\n";

TEST_F(ViewRun, CropDragStoresTheTagAndTheRegion) {
  Ini();
  // From (10, 20) 300 pixels right and 30 down: the 4:3 band is held to the
  // maximum 400 x 300 image pixels.
  EXPECT_EQ(Run(std::string(kShowSheet) +
                "click Tool(3)\nmousedown L1 left 0 150 300\nmousemove L1 left 0 4650 750\n"
                "mouseup L1 left 0 4650 750\ndump crop.txt\n"),
            256 - 9)
      << Stderr();
  auto d = Dump("crop.txt");
  EXPECT_EQ(d["Quillet1.L1.Zoom"], "50");
  EXPECT_EQ(d["Quillet1.Thsav(0).Tag"], "\"0020.0040-0400.0300\"");
  EXPECT_EQ(d["Quillet1.L1.Region"], "20,40,400,300");
  EXPECT_EQ(d["Quillet1.L1.MousePointer"], "0");
  EXPECT_EQ(d["Quillet1.Tool(3).BackColor"], "&H80000014");
  EXPECT_EQ(d["Quillet1.Tool(0).BackColor"], "&H8000000F");
  EXPECT_EQ(d["Quillet1.L1.ToolTipText"], "\" 800 x 600\"");
}

TEST_F(ViewRun, ShownCropComesBackWithTheThumbnail) {
  Ini();
  EXPECT_EQ(Run(std::string(kShowSheet) +
                "click Tool(3)\nmousedown L1 left 0 150 300\nmouseup L1 left 0 150 300\n"
                "click Tool(0)\nclick Thumb(0)\ndump again.txt\n"),
            256 - 9)
      << Stderr();
  auto d = Dump("again.txt");
  // A click lays the minimum (100 x 75 is 50 x 38 on screen, 100 x 76 back
  // in the image, within the ratio); the thumbnail click shows it again.
  EXPECT_EQ(d["Quillet1.Thsav(0).Tag"], "\"0020.0040-0100.0076\"");
  EXPECT_EQ(d["Quillet1.L1.Region"], "20,40,100,76");
  EXPECT_EQ(d["Quillet1.ZoomFact.Tag"], "\"0\"");
}

TEST_F(ViewRun, ClickZoomAndZoomWindow) {
  Ini();
  EXPECT_EQ(Run(std::string(kShowSheet) +
                "click Tool(2)\nclick L1\ndump zoom.txt\n"
                "click Tool(1)\nmousedown L1 left 0 0 0\nmousemove L1 left 0 1500 1500\n"
                "mouseup L1 left 0 1500 1500\ndump window.txt\n"),
            256 - 9)
      << Stderr();
  auto zoom = Dump("zoom.txt");
  EXPECT_EQ(zoom["Quillet1.L1.Zoom"], "83");  // Int(50 / 0.6)
  EXPECT_EQ(zoom["Quillet1.ZoomFact.Text"], "\"83\"");
  EXPECT_EQ(zoom["Quillet1.L1.PanEnabled"], "False");
  auto window = Dump("window.txt");
  // 100 x 100 display pixels fill the view: the box shows the whole percentage.
  const double zoomed = std::stod(window["Quillet1.L1.Zoom"]);
  EXPECT_GT(zoomed, 83 * 4);
  EXPECT_EQ(window["Quillet1.ZoomFact.Text"], "\"" + std::to_string(static_cast<int>(zoomed)) + "\"");
}

TEST_F(ViewRun, FitButtonsAndTheFactorBox) {
  Ini();
  EXPECT_EQ(Run(std::string(kShowSheet) + "dump typed.txt\nclick Zoom(2)\ndump fit.txt\n"), 256 - 9) << Stderr();
  auto typed = Dump("typed.txt");
  auto fit = Dump("fit.txt");
  EXPECT_EQ(typed["Quillet1.ZoomFact.Text"], "\"50\"");
  EXPECT_EQ(fit["Quillet1.ZoomFact.Tag"], "\"0\"");
  EXPECT_NE(fit["Quillet1.L1.Zoom"], "50");
  EXPECT_EQ(fit["Quillet1.ZoomFact.Text"], "\"" + fit["Quillet1.L1.Zoom"] + "\"");
}

TEST_F(ViewRun, MouseTraceLines) {
  Ini("DebugLevel=8");
  EXPECT_EQ(Run(std::string(kShowSheet) +
                "click Tool(0)\nmousedown L1 left 0 300 300\nmousemove L1 0 0 600 600\n"
                "mousemove L1 left shift 900 600\nmouseup L1 left 0 900 600\n"),
            256 - 9)
      << Stderr();
  EXPECT_TRUE(Logged("BEG-ThumbClk,0"));
  EXPECT_TRUE(Logged("BEG-ZoomFact"));
  EXPECT_TRUE(Logged("BEG-L1_Zoom,50"));
  EXPECT_TRUE(Logged("BEG-Tool,0"));
  EXPECT_TRUE(Logged("BEG-MouseDown,1/0/300/300"));
  EXPECT_FALSE(Logged("BEG-MouseMove,0/0/600/600"));  // no button, no modifier
  EXPECT_TRUE(Logged("BEG-MouseMove,1/1/900/600"));
  EXPECT_TRUE(Logged("BEG-MouseUp,1/0/900/600"));
}

TEST_F(ViewRun, ModifierMovesAreTracedAtAnyLevel) {
  Ini("DebugLevel=1");
  EXPECT_EQ(Run("mousemove L1 0 alt 150 150\nmousemove L1 0 0 300 300\n"), 256 - 9) << Stderr();
  EXPECT_TRUE(Logged("BEG-MouseMove,0/4/150/150"));
  EXPECT_FALSE(Logged("BEG-MouseMove,0/0/300/300"));
}

TEST_F(ViewRun, PreloadedSheetIsNotCheckedByADoubleClick) {
  Ini();
  EXPECT_EQ(Run("dblclick Thumb(0)\ndump checked.txt\n"), 256 - 9) << Stderr();
  auto d = Dump("checked.txt");
  EXPECT_EQ(d["Quillet1.Page(0).BackColor"], "&H0000FF");
  EXPECT_EQ(d["Quillet1.DoOK.Tag"], "\"-1\"");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"0\"");
  EXPECT_NE(d["Quillet1.L1.Image"], "none");  // the click before it showed the sheet
}

}  // namespace

// Runs the real Glimpra from its command line under operator scripts and
// reads what it showed: the transcript of its boxes and captions and the
// dumps of its window.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"
#include "tests/support/exif_jpeg.h"
#include "viewer/test_fixtures.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using viewer::testing::WriteTiff;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// One dump: "Form.Control.Property" -> value as written (texts in quotes).
using Dump = std::map<std::string, std::string>;

Dump ParseDump(const std::string& text) {
  Dump d;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find(" = ");
    if (eq != std::string::npos) d[line.substr(0, eq)] = line.substr(eq + 3);
  }
  return d;
}

struct Outcome {
  int exitCode = -1;
  std::vector<std::string> transcript;  // lines
  std::vector<Dump> dumps;              // in the order the script wrote them
  std::string Boxes() const {
    std::string out;
    for (const std::string& l : transcript)
      if (l.rfind("msgbox", 0) == 0) out += l + "\n";
    return out;
  }
};

class GlimpraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orn-glimpra-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs Glimpra with `args` and the script lines; "dump" alone in a line
  // becomes a dump into a file of its own. `env` adds or replaces variables.
  Outcome RunGlimpra(const std::vector<std::string>& args, const std::vector<std::string>& script,
                 const std::map<std::string, std::string>& env = {}) {
    fs::path scriptFile = dir_ / "run.script";
    fs::path transcriptFile = dir_ / "run.transcript";
    fs::remove(transcriptFile);
    std::vector<fs::path> dumps;
    {
      std::ofstream out(scriptFile);
      for (const std::string& line : script) {
        if (line == "dump") {
          dumps.push_back(dir_ / ("dump" + std::to_string(dumps.size()) + ".txt"));
          fs::remove(dumps.back());
          out << "dump \"" << dumps.back().string() << "\"\n";
        } else {
          out << line << "\n";
        }
      }
    }
    std::map<std::string, std::string> vars = {
        {"ORN_UI_SCRIPT", scriptFile.string()},
        {"ORN_UI_TRANSCRIPT", transcriptFile.string()},
        {"ORN_UI_TIMEOUT", "60"},
        {"ORN_SCREEN", "1280x1024"},
        {"ORN_TWIPS_PER_PIXEL", "15"},
        {"ORN_COMPUTER_NAME", "desk07"},
        {"ORN_USER_NAME", "tester"},
        {"ORN_TEMP_PATH", dir_.string() + "/"},
        {"ORN_FAIL", ""},
    };
    for (const auto& [k, v] : env) vars[k] = v;

    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
      std::string s = *e;
      if (!vars.count(s.substr(0, s.find('=')))) envStrings.push_back(s);
    }
    for (const auto& [k, v] : vars) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (std::string& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = {GLIMPRA_EXE};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    Outcome run;
    pid_t pid = fork();
    if (pid == 0) {
      // Files are named relative to the test's folder.
      if (chdir(dir_.c_str()) != 0) _exit(126);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::istringstream t(ReadFile(transcriptFile));
    for (std::string line; std::getline(t, line);) run.transcript.push_back(line);
    for (const fs::path& p : dumps)
      if (fs::exists(p)) run.dumps.push_back(ParseDump(ReadFile(p)));
    return run;
  }

  fs::path dir_;
};

const char* kCaption = "Glimpra1.Caption";

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

TEST_F(GlimpraTest, FatalStartUpBoxesEndTheProgramWithoutAnExitCode) {
  std::string file = "a.tif";
  WriteTiff(Path(file), {{64, 48, 24}});
  struct Case {
    std::vector<std::string> args;
    std::string fail;
    std::string box;
  } cases[] = {
      {{}, "", "msgbox | Glimpra | 0 | Error:-5=Too few parameters\\r\\n | ok (default)\n"},
      // The environment is checked before the command line is read, so these
      // boxes show no command line.
      {{file}, "temppath", "msgbox | Glimpra | 0 | Error:-2=GetTempPath failed!\\r\\n | ok (default)\n"},
      {{file}, "computername", "msgbox | Glimpra | 0 | Error:-3=GetComputerName failed!\\r\\n | ok (default)\n"},
      {{file}, "username", "msgbox | Glimpra | 0 | Error:-4=GetUserName failed!\\r\\n | ok (default)\n"},
      {{"/T=x", "/W=y"}, "", "msgbox | ERROR | 0 | File not found | ok (default)\n"},
      {{"missing.tif", "/T=x"}, "", "msgbox | ERROR | 0 | File not found | ok (default)\n"},
      // The file test takes the name as it is: a pattern finds nothing.
      {{"*.tif"}, "", "msgbox | ERROR | 0 | File not found | ok (default)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fail + " " + (c.args.empty() ? "" : c.args[0]));
    Outcome run = RunGlimpra(c.args, {"dump"}, {{"ORN_FAIL", c.fail}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Boxes(), c.box);
    EXPECT_TRUE(run.dumps.empty()) << "the script ran on after the end";
  }
  // A temporary path longer than the buffer is a failure, not a success.
  Outcome run = RunGlimpra({file}, {"dump"}, {{"ORN_TEMP_PATH", "/tmp/" + std::string(70, 'x') + "/"}});
  EXPECT_EQ(run.Boxes(), "msgbox | Glimpra | 0 | Error:-2=GetTempPath failed!\\r\\n | ok (default)\n");
  EXPECT_TRUE(run.dumps.empty());
}

TEST_F(GlimpraTest, PagesThroughAMultiPageFileAndSizesTheWindowToEachPage) {
  std::string file = "three.tif";
  WriteTiff(Path(file), {{400, 300, 24, 0x00FF00}, {500, 260, 8}, {200, 100, 1}});
  Outcome run = RunGlimpra({file}, {"dump", "key PageDown", "dump", "key PageDown", "dump", "key PageDown", "dump",
                                "key PageUp", "dump", "key PageUp", "key PageUp", "dump"});
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.dumps.size(), 6u);
  struct Expect {
    const char* caption;
    const char* width;  // form, twips
    const char* height;
    const char* image;
  } expect[] = {
      {"three.tif:400x300.24  1/3 (100%)    Glimpra 1.4", "6120", "4980", "400x300x24"},
      {"three.tif:500x260.8  2/3 (100%)    Glimpra 1.4", "7620", "4380", "500x260x24"},
      // 208 x 132 pixels is below the window's start size, which is its minimum.
      {"three.tif:200x100.1  3/3 (100%)    Glimpra 1.4", "4800", "3600", "200x100x24"},
      // No page after the last: the control shows the last one again.
      {"three.tif:200x100.1  3/3 (100%)    Glimpra 1.4", "4800", "3600", "200x100x24"},
      {"three.tif:500x260.8  2/3 (100%)    Glimpra 1.4", "7620", "4380", "500x260x24"},
      {"three.tif:400x300.24  1/3 (100%)    Glimpra 1.4", "6120", "4980", "400x300x24"},
  };
  for (size_t i = 0; i < run.dumps.size(); ++i) {
    SCOPED_TRACE("dump " + std::to_string(i));
    const Dump& d = run.dumps[i];
    EXPECT_EQ(d.at(kCaption), Quoted(expect[i].caption));
    EXPECT_EQ(d.at("Glimpra1.Width"), expect[i].width);
    EXPECT_EQ(d.at("Glimpra1.Height"), expect[i].height);
    EXPECT_EQ(d.at("Glimpra1.L1.Image"), expect[i].image);
    EXPECT_EQ(d.at("Glimpra1.L1.ScaleMode"), "0");
    // The view fills the window less the frame.
    EXPECT_EQ(std::stoi(d.at("Glimpra1.L1.Width")), std::stoi(expect[i].width) - 8 * 15);
    EXPECT_EQ(std::stoi(d.at("Glimpra1.L1.Height")), std::stoi(expect[i].height) - 32 * 15);
    EXPECT_EQ(d.at("Glimpra1.L1.Tag"), Quoted(file));
  }
}

TEST_F(GlimpraTest, WindowTakesThePageOrEightyPercentOfTheScreen) {
  WriteTiff(Path("wide.tif"), {{700, 300, 24}});
  WriteTiff(Path("small.tif"), {{400, 300, 24}});
  struct Case {
    std::vector<std::string> args;
    const char *left, *top, *width, *height, *scaleMode, *zoom;
  } cases[] = {
      // 640 x 480 screen: the page fits within 608 x 456 pixels.
      {{"wide.tif"}, "0", "0", "7680", "5760", "3", "72"},
      {{"small.tif"}, "0", "0", "6120", "4980", "0", "100"},
      {{"small.tif", "/P=C"}, "1740", "1110", "6120", "4980", "0", "100"},
      {{"wide.tif", "/P=C"}, "0", "0", "7680", "5760", "3", "72"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    Outcome run = RunGlimpra(c.args, {"dump"}, {{"ORN_SCREEN", "640x480"}});
    ASSERT_EQ(run.dumps.size(), 1u);
    const Dump& d = run.dumps[0];
    EXPECT_EQ(d.at("Glimpra1.Left"), c.left);
    EXPECT_EQ(d.at("Glimpra1.Top"), c.top);
    EXPECT_EQ(d.at("Glimpra1.Width"), c.width);
    EXPECT_EQ(d.at("Glimpra1.Height"), c.height);
    EXPECT_EQ(d.at("Glimpra1.L1.ScaleMode"), c.scaleMode);
    std::string caption = d.at(kCaption);
    EXPECT_NE(caption.find(std::string("(") + c.zoom + "%)"), std::string::npos) << caption;
  }
}

TEST_F(GlimpraTest, ClicksZoomWithinBoundsHoldsDoNotAndShiftRotates) {
  WriteTiff(Path("page.tif"), {{400, 300, 24}});
  std::vector<std::string> script = {"dump"};
  auto add = [&](const std::vector<std::string>& lines, int times = 1) {
    for (int i = 0; i < times; ++i) script.insert(script.end(), lines.begin(), lines.end());
    script.push_back("dump");
  };
  const std::vector<std::string> leftClick = {"click L1"};
  const std::vector<std::string> rightClick = {"mousedown L1 right 0 300 300", "mouseup L1 right 0 300 300"};
  add(leftClick);                                                                   // 1
  add({"mousedown L1 left 0 300 300", "wait 299", "mouseup L1 left 0 300 300"});    // 2: a click
  add({"mousedown L1 left 0 300 300", "wait 300", "mouseup L1 left 0 300 300"});    // 3: a hold
  add(leftClick, 9);                                                                // 4: past 1000 %
  add(leftClick);                                                                   // 5: no step
  add({"key F5"});                                                                  // 6
  add({"mousedown L1 right 0 300 300", "wait 300", "mouseup L1 right 0 300 300"});  // 7: a hold
  add({"mousedown L1 right ctrl 300 300", "mouseup L1 right ctrl 300 300"});        // 8: fit
  add(rightClick, 11);                                                              // 9: below 10 %
  add(rightClick);                                                                  // 10: no step
  add({"mousedown L1 left shift 300 300", "wait 500", "mouseup L1 left shift 300 300"});  // 11
  add({"mousedown L1 right shift 300 300", "mouseup L1 right shift 300 300"});           // 12
  Outcome run = RunGlimpra({"page.tif"}, script);
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.dumps.size(), 13u);

  auto steps = [](double z, int n, double f) {
    for (int i = 0; i < n; ++i) z *= f;
    return z;
  };
  const double top = steps(100, 11, 1.25);      // 931.3 % -> 1164.2 %
  const double bottom = steps(100, 11, 0.8);    // 10.7 % -> 8.6 %
  struct Expect {
    double zoom;
    const char* scaleMode;
    const char* image;
    const char* captionZoom;  // a click zoom leaves the caption as it was
  } expect[] = {
      {100, "0", "400x300x24", "(100%)"},    {125, "4", "400x300x24", "(100%)"},
      {156.25, "4", "400x300x24", "(100%)"}, {156.25, "4", "400x300x24", "(100%)"},
      {top, "4", "400x300x24", "(100%)"},    {top, "4", "400x300x24", "(100%)"},
      {top, "4", "400x300x24", "(1164%)"},   {top, "4", "400x300x24", "(1164%)"},
      {100, "3", "400x300x24", "(1164%)"},   {bottom, "4", "400x300x24", "(1164%)"},
      {bottom, "4", "400x300x24", "(1164%)"}, {bottom, "4", "300x400x24", "(1164%)"},
      {bottom, "4", "400x300x24", "(1164%)"},
  };
  for (size_t i = 0; i < run.dumps.size(); ++i) {
    SCOPED_TRACE("dump " + std::to_string(i));
    const Dump& d = run.dumps[i];
    EXPECT_NEAR(std::stod(d.at("Glimpra1.L1.Zoom")), expect[i].zoom, 1e-9);
    EXPECT_EQ(d.at("Glimpra1.L1.ScaleMode"), expect[i].scaleMode);
    EXPECT_EQ(d.at("Glimpra1.L1.Image"), expect[i].image);
    EXPECT_NE(d.at(kCaption).find(expect[i].captionZoom), std::string::npos) << d.at(kCaption);
  }
}

TEST_F(GlimpraTest, DeletesOnlyTheShownFileAndOnlyForTheExactSwitch) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> script;
    bool fileKept;
  } cases[] = {
      // After the delete a page key finds no file and changes nothing.
      {{"three.tif", "/D"}, {"key PageDown", "dump"}, false},
      {{"three.tif", "/d=0"}, {"dump"}, false},  // any value counts
      {{"three.tif", "/DEBUG"}, {"dump"}, true},
      {{"three.tif"}, {"dump"}, true},
      // A file that is no image is not shown, so it is not deleted.
      {{"bad.tif", "/D"}, {"dump"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    WriteTiff(Path("three.tif"), {{400, 300, 24}, {500, 260, 24}, {200, 100, 24}});
    { std::ofstream(Path("bad.tif")) << "no image"; }
    Outcome run = RunGlimpra(c.args, c.script);
    ASSERT_EQ(run.dumps.size(), 1u);
    EXPECT_EQ(fs::exists(Path(c.args[0])), c.fileKept);
    if (c.args[0] == "three.tif") {
      EXPECT_EQ(run.dumps[0].at(kCaption), Quoted("three.tif:400x300.24  1/3 (100%)    Glimpra 1.4"));
      EXPECT_EQ(run.dumps[0].at("Glimpra1.L1.Image"), "400x300x24");
    }
  }
}

TEST_F(GlimpraTest, APlatformPathReachesItsFileThroughDriveC) {
  WriteTiff(Path("three.tif"), {{400, 300, 24}, {500, 260, 24}, {200, 100, 24}});
  Outcome run = RunGlimpra({"C:\\three.tif", "/D"}, {"dump"}, {{"ORN_DRIVE_C", dir_.string()}});
  ASSERT_EQ(run.dumps.size(), 1u);
  EXPECT_EQ(run.dumps[0].at(kCaption), Quoted("three.tif:400x300.24  1/3 (100%)    Glimpra 1.4"));
  EXPECT_EQ(run.dumps[0].at("Glimpra1.L1.Tag"), Quoted("C:\\\\three.tif"));
  EXPECT_FALSE(fs::exists(Path("three.tif")));
}

TEST_F(GlimpraTest, AnAbsolutePathIsTheFileNotASwitch) {
  WriteTiff(Path("a.tif"), {{64, 48, 24}});
  Outcome run = RunGlimpra({Path("a.tif"), "/T=Akte"}, {"dump"}, {});
  EXPECT_EQ(run.Boxes(), "");
  ASSERT_EQ(run.dumps.size(), 1u);
  EXPECT_EQ(run.dumps[0].at("Glimpra1.L1.Tag"), Quoted(Path("a.tif")));
  EXPECT_EQ(run.dumps[0].at("Glimpra1.L1.ToolTipText"), Quoted("Akte"));
}

TEST_F(GlimpraTest, DroppedFilesAreShownFromPageOneAndNeverDeleted) {
  WriteTiff(Path("three.tif"), {{400, 300, 24}, {500, 260, 24}, {200, 100, 24}});
  WriteTiff(Path("other.tif"), {{320, 400, 8}, {100, 100, 8}});
  Outcome run = RunGlimpra({"three.tif", "/D"},
                           {"key PageDown", "drop L1 missing.tif", "dump", "drop L1 other.tif", "dump",
                            "key PageDown", "dump"});
  ASSERT_EQ(run.dumps.size(), 3u);
  EXPECT_EQ(run.dumps[0].at(kCaption), Quoted("three.tif:400x300.24  1/3 (100%)    Glimpra 1.4"));
  EXPECT_EQ(run.dumps[0].at("Glimpra1.L1.Tag"), Quoted("three.tif"));
  EXPECT_EQ(run.dumps[1].at(kCaption), Quoted("other.tif:320x400.8  1/2 (100%)    Glimpra 1.4"));
  EXPECT_EQ(run.dumps[2].at(kCaption), Quoted("other.tif:100x100.8  2/2 (100%)    Glimpra 1.4"));
  EXPECT_FALSE(fs::exists(Path("three.tif")));
  EXPECT_TRUE(fs::exists(Path("other.tif")));
}

TEST_F(GlimpraTest, F1ShowsTheGermanHelpBox) {
  WriteTiff(Path("page.tif"), {{400, 300, 24}});
  Outcome run = RunGlimpra({"page.tif"}, {"key F1"});
  EXPECT_EQ(run.Boxes(),
            "msgbox | Glimpra V1.4 | 0 | Tastatur:\\r\\n    ESC:\t\tProgramm Ende\\r\\n"
            "    F1:\t\tProgramm Hilfe\\r\\n    F5:\t\tBild Refresh\\r\\n"
            "    PageUp:\tVorherige Seite (Multipage TIF)\\r\\n"
            "    PageDown:\tN\xC3\xA4" "chste Seite (Multipage TIF)\\r\\nMaus:\\r\\n"
            "    Links:\t\tZoom-In / Pan\\r\\n    Rechts:\t\tZoom-Out\\r\\n    Links+Strg:\tZoom Fenster\\r\\n"
            "    Rechts+Strg:\tZoom Vollbild\\r\\n    Links+Shift:\tDrehen -90\\r\\n"
            "    Rechts+Shift:\tDrehen +90\\r\\n | ok (default)\n");
}

TEST_F(GlimpraTest, TheWindowKeepsItsStartSizeAndIgnoresMaximising) {
  WriteTiff(Path("page.tif"), {{400, 300, 24}});
  Outcome run = RunGlimpra({"page.tif"}, {"resize 100 100", "dump", "resize 500 400", "dump", "click L1",
                                          "maximize", "dump", "restore", "dump"});
  ASSERT_EQ(run.dumps.size(), 4u);
  struct Expect {
    const char *width, *height, *viewWidth, *viewHeight, *captionZoom;
  } expect[] = {
      {"4800", "3600", "4680", "3120", "(100%)"},
      {"7500", "6000", "7380", "5520", "(100%)"},
      {"19200", "15360", "7380", "5520", "(100%)"},  // maximised: the view and caption stay
      {"7500", "6000", "7380", "5520", "(125%)"},
  };
  for (size_t i = 0; i < run.dumps.size(); ++i) {
    SCOPED_TRACE("dump " + std::to_string(i));
    const Dump& d = run.dumps[i];
    EXPECT_EQ(d.at("Glimpra1.Width"), expect[i].width);
    EXPECT_EQ(d.at("Glimpra1.Height"), expect[i].height);
    EXPECT_EQ(d.at("Glimpra1.L1.Width"), expect[i].viewWidth);
    EXPECT_EQ(d.at("Glimpra1.L1.Height"), expect[i].viewHeight);
    EXPECT_NE(d.at(kCaption).find(expect[i].captionZoom), std::string::npos) << d.at(kCaption);
  }
}

TEST_F(GlimpraTest, KeyCodesShowInTheCaptionAboveDebugLevelSix) {
  WriteTiff(Path("page.tif"), {{400, 300, 24}});
  const std::string normal = Quoted("page.tif:400x300.24  1/1 (100%)    Glimpra 1.4");
  struct Case {
    std::vector<std::string> args;
    std::string computer;
    std::string caption;
  } cases[] = {
      {{"page.tif", "/Z=7"}, "desk07", Quoted("Key:65/2")},
      {{"page.tif", "/Z=abc"}, "desk07", normal},
      {{"page.tif", "/Z=6"}, "desk07", normal},
      {{"page.tif"}, "qx71dev", Quoted("Key:65/2")},  // development machines trace at 9
      {{"page.tif", "/Z=0"}, "qx71dev", normal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back() + " on " + c.computer);
    Outcome run = RunGlimpra(c.args, {"key A ctrl", "dump"}, {{"ORN_COMPUTER_NAME", c.computer}});
    ASSERT_EQ(run.dumps.size(), 1u);
    EXPECT_EQ(run.dumps[0].at(kCaption), c.caption);
  }
}

TEST_F(GlimpraTest, TheTooltipTellsSizeAndDateOrTheFixedTitle) {
  WriteTiff(Path("three.tif"), {{400, 300, 24}, {500, 260, 24}});
  struct timespec times[2] = {};
  struct tm when = {};
  when.tm_year = 2024 - 1900, when.tm_mon = 0, when.tm_mday = 31, when.tm_hour = 13, when.tm_min = 5;
  when.tm_isdst = -1;
  times[0].tv_sec = times[1].tv_sec = mktime(&when);
  ASSERT_EQ(utimensat(AT_FDCWD, Path("three.tif").c_str(), times, 0), 0);
  const std::string kb = std::to_string(fs::file_size(Path("three.tif")) / 1024);

  Outcome plain = RunGlimpra({"three.tif"}, {"dump"});
  ASSERT_EQ(plain.dumps.size(), 1u);
  EXPECT_EQ(plain.dumps[0].at("Glimpra1.L1.ToolTipText"), Quoted("three.tif  (" + kb + " kb)  31.01.2024 13:05:00"));

  Outcome titled = RunGlimpra({"three.tif", "/T=Akte 17"}, {"dump", "key PageDown", "click L1", "key F5", "dump"});
  ASSERT_EQ(titled.dumps.size(), 2u);
  for (const Dump& d : titled.dumps) {
    EXPECT_EQ(d.at(kCaption), Quoted("Akte 17"));
    EXPECT_EQ(d.at("Glimpra1.L1.ToolTipText"), Quoted("Akte 17"));
  }
  EXPECT_EQ(titled.dumps[1].at("Glimpra1.L1.Image"), "500x260x24");
}

TEST_F(GlimpraTest, ARunTimeErrorAtStartUpIsShownAndTheStartGoesOn) {
  WriteTiff(Path("page.tif"), {{400, 300, 24}});
  Outcome run = RunGlimpra({"page.tif", "/Z=99999"}, {"dump"});
  EXPECT_EQ(run.Boxes(), "msgbox | Error ! | 0 | Error: 6/ 0=Overflow in Load Step- 2\\r\\npage.tif /Z=99999 | ok (default)\n");
  ASSERT_EQ(run.dumps.size(), 1u);
  EXPECT_EQ(run.dumps[0].at(kCaption), Quoted("page.tif:400x300.24  1/1 (100%)    Glimpra 1.4"));
}

TEST_F(GlimpraTest, EscEndsAtOnce) {
  WriteTiff(Path("page.tif"), {{400, 300, 24}});
  Outcome esc = RunGlimpra({"page.tif"}, {"key Escape", "dump"});
  EXPECT_EQ(esc.exitCode, 0);
  EXPECT_TRUE(esc.dumps.empty());
}

}  // namespace

TEST_F(GlimpraTest, AnAbsolutePathAloneAndACtrlRectangleZoomIn) {
  WriteTiff(Path("page.tif"), {{400, 300, 24}});
  // The rectangle is drawn on the view by the script's mouse, so the control
  // tracks it itself, as it does for an operator's hand.
  Outcome run = RunGlimpra({Path("page.tif")},
                           {"dump", "mousedown L1 left ctrl 300 300", "mousemove L1 left ctrl 900 900",
                            "mousemove L1 left ctrl 1500 1200", "mouseup L1 left ctrl 1500 1200",
                            "dump"});
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.dumps.size(), 2u);
  EXPECT_EQ(run.dumps[0].at("Glimpra1.L1.Image"), "400x300x24");
  const double before = std::stod(run.dumps[0].at("Glimpra1.L1.Zoom"));
  const double after = std::stod(run.dumps[1].at("Glimpra1.L1.Zoom"));
  EXPECT_GT(after, before * 2) << "zoom " << before << " -> " << after;
}

namespace {

// Files of the kinds users bring open, and the caption (the file's
// information) and the picture shown agree: a photo stored on its side is
// shown upright, a 16-bit bitmap opens.
TEST_F(GlimpraTest, PhotosOnTheirSideAndOtherKindsOpenUpright) {
  imaging::Image photo;
  photo.Create(64, 32, 24);
  std::vector<uint8_t> jpeg;
  ASSERT_EQ(imaging::WriteImageMemory(jpeg, photo, imaging::kFormatJpeg, 24, 90), imaging::kPixoOk);
  const std::vector<uint8_t> sideways = orn_test::WithExifOrientation(jpeg, 6);
  std::ofstream(Path("photo.jpg"), std::ios::binary)
      .write(reinterpret_cast<const char*>(sideways.data()), static_cast<std::streamsize>(sideways.size()));
  // 3 x 1 pixels of 5-6-5 (BI_BITFIELDS).
  std::string bmp = "BM";
  const auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bmp += static_cast<char>(v >> (8 * i));
  };
  put(74, 4);
  put(0, 4);
  put(66, 4);
  for (uint32_t v : {40u, 3u, 1u}) put(v, 4);
  put(1, 2);
  put(16, 2);
  for (uint32_t v : {3u, 8u, 0u, 0u, 0u, 0u, 0xF800u, 0x07E0u, 0x001Fu}) put(v, 4);
  for (uint32_t v : {0xF800u, 0x07E0u, 0x001Fu, 0u}) put(v, 2);
  std::ofstream(Path("card.bmp"), std::ios::binary) << bmp;
  const std::pair<const char*, const char*> cases[] = {
      {"photo.jpg", "photo.jpg:32x64.24"},
      {"card.bmp", "card.bmp:3x1.16"},
  };
  for (const auto& [file, caption] : cases) {
    SCOPED_TRACE(file);
    Outcome run = RunGlimpra({file}, {"dump"});
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.dumps.size(), 1u);
    EXPECT_EQ(run.dumps[0].at(kCaption).substr(0, std::strlen(caption) + 1), "\"" + std::string(caption));
    const std::string size = std::string(caption).substr(std::string(caption).find(':') + 1);
    EXPECT_EQ(run.dumps[0].at("Glimpra1.L1.Image"), size.substr(0, size.find('.')) + "x24");
  }
}

}  // namespace

// Whole-program tests: each test copies the Quillet executable into a folder
// of its own with the INI file it needs next to it, runs it with a command
// line and fixed names, time and screen, and reads what it left: the exit
// code, the log, the event log, the message-box transcript and the dumps of
// the operator script.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/quillet/quillet_run.h"

namespace {

using namespace quillet_test;

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

constexpr const char kGeneral[] = "06.05.2024 07:08:09";

// A small profile: two document types (two sheets and one), every trace line.
const std::string kIni =
    "[General]\r\nTitle=Archive\r\nDebugLevel=1\r\n"
    "[Layout]\r\nTools=CHEK/SETU/ZFAC/MOVE/\r\n"
    "[Text]\r\nLabel_01=Colour\r\nLabel_07=OK\r\n"
    "[DEMO_1]\r\nPages=2\r\nName=Invoice\r\n"
    "[DEMO_2]\r\nPages=1\r\nName=Letter\r\nName_1=Letter{CR}page\r\n";

std::string WithLevel(int level) {
  std::string ini = kIni;
  ini.replace(ini.find("DebugLevel=1"), 12, "DebugLevel=" + std::to_string(level));
  return ini;
}

struct FatalCase {
  const char* name;
  const char* failEnv;   // ORN_FAIL
  bool longTemp;         // a temporary path longer than the buffer
  bool writeIni;
  int args;
  int code;
  const char* text;
};

void PrintTo(const FatalCase& c, std::ostream* os) { *os << c.name; }

class FatalStartup : public QuilletRun, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(FatalStartup, EndsWithItsCodeLineAndBox) {
  const FatalCase& c = GetParam();
  if (c.writeIni) Ini(kIni);
  if (*c.failEnv) Env("ORN_FAIL", c.failEnv);
  if (c.longTemp) Env("ORN_TEMP_PATH", "/" + std::string(70, 't') + "/");
  std::vector<std::string> args{"demo", "12345", Out().string()};
  args.resize(static_cast<size_t>(c.args));
  EXPECT_EQ(Run(args), c.code & 0xFF);
  std::string message = "Error:" + std::to_string(c.code) + "=" + c.text;
  EXPECT_EQ(FallbackLog(), Lines{kStamp + message});
  EXPECT_FALSE(fs::exists(Bin() / "Quillet.log"));
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].rfind("msgbox | Quillet | 0 | " + message + " | ok", 0), 0u) << MessageBoxes()[0];
  EXPECT_TRUE(Events().empty());  // no "Ended" summary and no record at start-up
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FatalStartup,
    ::testing::Values(FatalCase{"TempPath", "temppath", false, true, 3, -2, "GetTempPath failed!"},
                      FatalCase{"TempTooLong", "", true, true, 3, -2, "GetTempPath failed!"},
                      FatalCase{"ComputerName", "computername", false, true, 3, -3, "GetComputerName failed!"},
                      FatalCase{"UserName", "username", false, true, 3, -4, "GetUserName failed!"},
                      FatalCase{"TwoParameters", "", false, true, 2, -5, "Too few parameters"},
                      FatalCase{"NoIni", "", false, false, 3, -6, "INI file not found!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuilletRun, StartupLogFollowsNoLinkPlantedInTheSharedFolder) {
  // Drive C stands for the temporary folder, where any user may plant a link
  // under the start-up log's name.
  fs::permissions(Root() / "c", fs::perms::all | fs::perms::sticky_bit);
  std::ofstream(Root() / "victim.txt") << "precious";
  fs::create_symlink(Root() / "victim.txt", Root() / "c" / "Quillet.log");
  Ini(kIni);
  // Too few parameters: logged before the INI is read. The line is lost, the
  // program still ends as it should.
  EXPECT_EQ(Run({"demo", "12345"}), -5 & 0xFF);
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].rfind("msgbox | Quillet | 0 | Error:-5=Too few parameters | ok", 0), 0u);
  EXPECT_EQ(ReadText(Root() / "victim.txt"), "precious");
  EXPECT_TRUE(fs::is_symlink(Root() / "c" / "Quillet.log"));
}

TEST_F(QuilletRun, DevelopmentMachineEndsWithoutExitCode) {
  // The development rule comes after the parameter count: -5 still has its
  // code, the missing INI file (-6) has none.
  Env("ORN_COMPUTER_NAME", "qx71dev");
  EXPECT_EQ(Run({"demo", "12345"}), 256 - 5);
  EXPECT_EQ(RunDemo(), 0);
  EXPECT_EQ(FallbackLog(), (Lines{std::string(kStamp) + "Error:-5=Too few parameters",
                                  std::string(kStamp) + "Error:-6=INI file not found!"}));
}

TEST_F(QuilletRun, ThreeSwitchesPassTheParameterCount) {
  // Three named rows count as three parameters; the profile is then empty,
  // which has no document type.
  Ini(kIni);
  EXPECT_EQ(Run({"/z=1", "/Z=2", "/z=1"}), 256 - 7);
}

TEST_F(QuilletRun, SystemCloseEndsWithMinusNine) {
  Ini(WithLevel(3));
  EXPECT_EQ(RunDemo({"/z=3"}), 256 - 9);
  const std::string tail = std::string(";") + (Root() / "tmp").string() + "/;PC7;ANNA;" +
                           (Bin() / "Quillet.ini").string() + ";" + (Bin() / "Quillet.log").string();
  EXPECT_EQ(Log(), (Lines{kStamp + std::string("Started:") + kGeneral + tail,
                          kStamp + std::string("Cmd:1=demo,2=12345,3=") + Out().string() + ",Z=3,",
                          kStamp + std::string("BEG-ExitNow,-9"),
                          kStamp + std::string("Ended RC=-9:") + kGeneral + tail}));
  auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].source, "Quillet");
  EXPECT_EQ(events[0].type, 4);
  EXPECT_EQ(events[0].strings, Lines{std::string("Started:") + kGeneral});
  EXPECT_EQ(events[1].strings, Lines{std::string("Ended RC=-9:") + kGeneral});
  EXPECT_EQ(std::string(events[1].data.begin(), events[1].data.end()), "20240506 070809");
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(QuilletRun, EventLogThatIsAPipeFailsItsReportsInsteadOfBlocking) {
  // A pipe without a reader would hold the program in its open for ever.
  const fs::path pipe = Root() / "events.pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  Env("ORN_EVENTLOG", pipe.string());
  Ini(WithLevel(3));
  EXPECT_EQ(RunDemo({"/z=3"}), 256 - 9);
  // Both records, the start and the end, fail with the log's write fault.
  EXPECT_EQ(MessageBoxes(), (Lines{"msgbox | Quillet | 0 | Error writing to event log:29 | ok (default)",
                                   "msgbox | Quillet | 0 | Error writing to event log:29 | ok (default)"}));
}

TEST_F(QuilletRun, OnlyItsOwnSwitchIsASwitchAbsolutePathsAreValues) {
  Ini(WithLevel(3));
  EXPECT_EQ(Run({"DEMO", "12", "/scans", "/Trace", "/z=3"}), 256 - 9);
  EXPECT_TRUE(Logged("Cmd:1=DEMO,2=12,3=/scans,4=/Trace,Z=3,"));
}

TEST_F(QuilletRun, TraceLevelsOfTheLog) {
  struct Case {
    std::string iniLevel;
    std::vector<std::string> args;
    size_t lines;  // 0: no log at all
  } cases[] = {
      {"0", {}, 0},
      {"1", {}, 3},        // Started, BEG-ExitNow, Ended
      {"-3", {}, 3},       // below 0 becomes 1
      {"12", {}, 3},       // above 8 becomes 1 off a development machine
      {"abc", {"/Z=3"}, 4},  // the switch overrides; 3 adds the command line
  };
  for (const Case& c : cases) {
    fs::remove(Bin() / "Quillet.log");
    std::string ini = kIni;
    ini.replace(ini.find("DebugLevel=1"), 12, "DebugLevel=" + c.iniLevel);
    Ini(ini);
    EXPECT_EQ(RunDemo(c.args), 256 - 9) << c.iniLevel;
    EXPECT_EQ(Log().size(), c.lines) << c.iniLevel;
  }
}

TEST_F(QuilletRun, EntryLinesFromLevelEight) {
  Ini(WithLevel(8));
  EXPECT_EQ(RunDemo(), 256 - 9);
  Lines log = Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[2], std::string(kStamp) + "BEG-ReadIni,demo");
  EXPECT_TRUE(Contains(log, std::string(kStamp) + "BEG-Tools,0"));
  EXPECT_TRUE(Contains(log, std::string(kStamp) + "BEG-Resize"));
  EXPECT_TRUE(Contains(log, std::string(kStamp) + "BEG-UnLoad,0/2"));
  EXPECT_FALSE(Contains(log, std::string(kStamp) + "BEG-Load"));  // the level is still 0 there
}

TEST_F(QuilletRun, DumpShowsTheBuiltWindow) {
  Ini(kIni);
  Script("dump built.txt\n");
  EXPECT_EQ(RunDemo(), 256 - 9);
  auto d = Dump("built.txt");
  ASSERT_FALSE(d.empty()) << Stderr();
  EXPECT_EQ(d["Quillet1.Caption"], "\"Quillet 2.14:Archive\"");
  EXPECT_EQ(d["Quillet1.Page(0).Caption"], "\"Invoice 1\"");
  EXPECT_EQ(d["Quillet1.Page(1).Caption"], "\"Invoice 2\"");
  EXPECT_EQ(d["Quillet1.Page(2).Caption"], "\"Letter\\rpage\"");
  EXPECT_EQ(d["Quillet1.Page(0).Tag"], "\" 1\"");
  EXPECT_EQ(d["Quillet1.Page(2).Tag"], "\" 2\"");
  EXPECT_EQ(d["Quillet1.Thumb(2).Tag"], "\" 2\"");
  EXPECT_EQ(d.count("Quillet1.Page(3).Caption"), 0u);
  // ForceSequence is on by default: only the first sheet starts enabled.
  EXPECT_EQ(d["Quillet1.Page(0).Enabled"], "True");
  EXPECT_EQ(d["Quillet1.Page(1).Enabled"], "False");
  EXPECT_EQ(d["Quillet1.Thumb(1).Enabled"], "False");
  EXPECT_EQ(d["Quillet1.Page(1).BackColor"], "&H0000FF");
  EXPECT_EQ(d["Quillet1.DoOK.Tag"], "\"-1\"");
  // The tool list of row 0: only the coded controls show.
  EXPECT_EQ(d["Quillet1.DoCheck.Visible"], "True");
  EXPECT_EQ(d["Quillet1.DoSelect.Visible"], "False");
  EXPECT_EQ(d["Quillet1.Tool(0).Visible"], "True");
  EXPECT_EQ(d["Quillet1.Tool(1).Visible"], "False");
  EXPECT_EQ(d["Quillet1.Twain(0).Visible"], "False");
}

TEST_F(QuilletRun, SheetColumnLayout) {
  // Page(0) 300 and Thumb(0) 1200 twips high at 15 twips per pixel: each
  // slot is 1620 twips below the one before; DoOK stands 4 pixels under the
  // last thumbnail.
  Ini(kIni);
  Script("dump built.txt\n");
  EXPECT_EQ(RunDemo(), 256 - 9);
  auto d = Dump("built.txt");
  ASSERT_EQ(d["Quillet1.Page(0).Height"], "300");
  ASSERT_EQ(d["Quillet1.Thumb(0).Height"], "1200");
  double page0 = std::stod(d["Quillet1.Page(0).Top"]);
  double thumb0 = std::stod(d["Quillet1.Thumb(0).Top"]);
  for (int k = 1; k <= 2; ++k) {
    EXPECT_EQ(std::stod(d["Quillet1.Page(" + std::to_string(k) + ").Top"]), page0 + 1620 * k);
    EXPECT_EQ(std::stod(d["Quillet1.Thumb(" + std::to_string(k) + ").Top"]), thumb0 + 1620 * k);
  }
  EXPECT_EQ(std::stod(d["Quillet1.DoOK.Top"]), thumb0 + 2 * 1620 + 1200 + 60);
}

TEST_F(QuilletRun, StartImageAndPreloadedSheet) {
  WriteBmp(Bin() / "start.bmp", 4, 3);
  WriteBmp(Bin() / "sheet.bmp", 5, 2);
  Ini("[General]\r\nStartImage={APP.PATH}/start.bmp\r\n"
      "[DEMO_1]\r\nPages=2\r\nFile_1={APP.PATH}/sheet.bmp\r\nFile_2={APP.PATH}/missing.bmp\r\n");
  Script("dump built.txt\n");
  EXPECT_EQ(RunDemo(), 256 - 9);
  auto d = Dump("built.txt");
  EXPECT_NE(d["Quillet1.L1.Image"], "none");
  EXPECT_EQ(d["Quillet1.Thumb(0).ToolTipText"], "\" 5 x 2\"");
  EXPECT_NE(d["Quillet1.Thsav(0).Image"], "none");
  EXPECT_NE(d["Quillet1.Thbas(0).Image"], "none");
  // A pre-loaded sheet shows its image but does not count as scanned.
  EXPECT_EQ(d["Quillet1.Thsav(0).Left"], "0");
  EXPECT_EQ(d["Quillet1.Thumb(1).ToolTipText"], "\" 0 x 0\"");
  EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "none");
  EXPECT_EQ(d["Quillet1.Status.Text"], "\"\"");
}

TEST_F(QuilletRun, WindowSizeAndPositionFromTheIni) {
  struct Case {
    const char* screen;
    const char* keys;
    double left, top, width, height;  // pixels
  } cases[] = {
      {"1024x768", "WinPos=-1,-1", 1023 - 800, 767 - 600, 800, 600},
      {"1280x1024", "WinSize=2000", 0, 0, 800, 600},
      {"1280x1024", "WinSize=900,640\r\nWinPos=-200,10", 1280 - 200 - 900, 10, 900, 640},
      {"1280x1024", "WinSize=799,1024\r\nWinPos=1280,-1024", 0, 0, 800, 600},
  };
  for (const Case& c : cases) {
    Env("ORN_SCREEN", c.screen);
    Ini(std::string("[General]\r\n") + c.keys + "\r\n[DEMO_1]\r\nPages=1\r\n");
    Script("dump built.txt\n");
    EXPECT_EQ(RunDemo(), 256 - 9);
    auto d = Dump("built.txt");
    EXPECT_EQ(d["Quillet1.Left"], std::to_string(static_cast<int>(c.left * 15))) << c.keys;
    EXPECT_EQ(d["Quillet1.Top"], std::to_string(static_cast<int>(c.top * 15))) << c.keys;
    EXPECT_EQ(d["Quillet1.Width"], std::to_string(static_cast<int>(c.width * 15))) << c.keys;
    EXPECT_EQ(d["Quillet1.Height"], std::to_string(static_cast<int>(c.height * 15))) << c.keys;
  }
}

TEST_F(QuilletRun, SetupModeToggles) {
  Ini(kIni);
  Script("click DoSetup\ndump on.txt\nclick DoSetup\ndump off.txt\n");
  EXPECT_EQ(RunDemo(), 256 - 9) << Stderr();
  auto on = Dump("on.txt");
  auto off = Dump("off.txt");
  EXPECT_EQ(on["Quillet1.DoSetup.Tag"], "\"1\"");
  for (int i = 0; i < 6; ++i) {
    std::string twain = "Quillet1.Twain(" + std::to_string(i) + ").Visible";
    EXPECT_EQ(on[twain], "True") << twain;
    EXPECT_EQ(off[twain], "False") << twain;
  }
  EXPECT_EQ(off["Quillet1.DoSetup.Tag"], "\"0\"");
  // Row 1's default tool list is laid out: its codes show.
  EXPECT_EQ(on["Quillet1.DoSelect.Visible"], "True");
}

TEST_F(QuilletRun, HelpButtonShowsTheHelpText) {
  std::string ini = kIni;
  ini.insert(ini.find("Label_07"), "Label_08=Help\r\nHelp=First{CR}Second\r\n");
  Ini(ini);
  Script("click DoHelp\n");
  EXPECT_EQ(RunDemo(), 256 - 9) << Stderr();
  EXPECT_EQ(MessageBoxes(), Lines{"msgbox | Quillet V2.14 HELP ! | 0 | First\\rSecond | ok (default)"});
}

TEST_F(QuilletRun, ProfileWithoutDocumentTypeEndsWithAClearMessage) {
  Ini("[General]\r\nDebugLevel=1\r\n");
  EXPECT_EQ(Run({"nosuch", "1", Out().string()}), 256 - 7);
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_NE(MessageBoxes()[0].find("Error:-7=No document type found for profile nosuch!"), std::string::npos);
  auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].strings, Lines{std::string("Ended RC=-7:") + kGeneral});
}

TEST_F(QuilletRun, UnwritableLogStillEndsWithTheErrorNumber) {
  std::string ini = kIni;
  ini.replace(ini.find("DebugLevel=1"), 12, "DebugLevel=1\r\nLogFile=" + (Root() / "no" / "dir" / "q.log").string());
  Ini(ini);
  int code = RunDemo();
  // The "Started" line cannot be written: the run-time error report shows
  // and the program ends with the error number.
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_NE(MessageBoxes()[0].find("| Error ! |"), std::string::npos);
  EXPECT_NE(MessageBoxes()[0].find(" in Load Step- 2"), std::string::npos);
  EXPECT_GT(code, 0);
  EXPECT_NE(code, 256 - 9);
  EXPECT_NE(code, 123);  // not left to the runtime's default handling
}

}  // namespace

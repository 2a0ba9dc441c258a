// Whole-program tests of the keyboard, the close box and the small buttons:
// Quillet runs from its command line with an operator script of "key"
// steps; the tests read the log, the transcript, the dumps and the record
// of started programs (ORN_STARTED).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/quillet/quillet_run.h"

namespace {

using namespace quillet_test;

// A profile of one document type with two sheets; `tools` is the start
// tool list, `level` the trace level.
std::string Profile(int level, const std::string& tools, const std::string& text = "Label_07=OK\r\n") {
  return "[General]\r\nDebugLevel=" + std::to_string(level) + "\r\n[Layout]\r\nTools=" + tools + "\r\n[Text]\r\n" +
         text + "[DEMO_1]\r\nPages=2\r\nName=Invoice\r\n";
}

class KeysRun : public QuilletRun {
 protected:
  KeysRun() : QuilletRun("keys") {}
  void SetUp() override {
    QuilletRun::SetUp();
    Env("ORN_STARTED", (Root() / "started.txt").string());
  }

  // Runs Quillet on the profile with the script; returns its exit status.
  // A test may run it more than once: each run starts without a log, a
  // record of started programs and a transcript.
  int Run(const std::string& ini, const std::string& script) {
    Ini(ini);
    Script(script);
    fs::remove(LogPath());
    fs::remove(Root() / "started.txt");
    fs::remove(Root() / "transcript.txt");
    return RunDemo();
  }

  fs::path IniPath() const { return Bin() / "Quillet.ini"; }
  fs::path LogPath() const { return Bin() / "Quillet.log"; }
  // The log without its time stamps.
  Lines Log() const {
    Lines lines = QuilletRun::Log();
    for (std::string& l : lines) l = l.substr(20);
    return lines;
  }
  Lines Started() const { return ReadLines(Root() / "started.txt"); }
};

constexpr int kSystemClose = 256 - 9;  // the session's end closes the window: ExitNow(-9)

TEST_F(KeysRun, F1OpensTheIniAndTheLogInNotepadByTraceLevel) {
  const std::string ini = "Notepad | " + IniPath().string();
  const std::string log = "Notepad | " + LogPath().string();
  struct Case {
    int level;
    Lines started;
  } cases[] = {{3, {}}, {4, {log, log}}, {7, {log, log}}, {8, {ini, log, ini, log}}};
  for (const Case& c : cases) {
    EXPECT_EQ(Run(Profile(c.level, "MOVE/"), "key F1 shift\nkey F1 ctrl\nkey F1 shift+ctrl\nkey F1\n"), kSystemClose)
        << Stderr();
    EXPECT_EQ(Started(), c.started) << "level " << c.level;
  }
}

TEST_F(KeysRun, SliderKeysStepTheShownSlidersAndEchoTheKey) {
  // Brightness and gamma are in the tool list, contrast is not.
  EXPECT_EQ(Run(Profile(7, "MOVE/BRIG/GAMA/"),
                "key F2 ctrl\nkey F2 ctrl\nkey F3 ctrl\nkey F4 shift\nkey F4 shift\nkey F2 shift+ctrl\n"
                "dump keys.txt\nkey F2\ndump reset.txt\n"),
            kSystemClose)
      << Stderr();
  auto d = Dump("keys.txt");
  ASSERT_FALSE(d.empty()) << Stderr();
  EXPECT_EQ(d["Quillet1.SlideB.Value"], "10");
  EXPECT_EQ(d["Quillet1.SlideC.Value"], "0");  // hidden: F3 does nothing
  EXPECT_EQ(d["Quillet1.SlideG.Value"], "8");
  EXPECT_EQ(d["Quillet1.Status.Text"], "\"Key:113/3\"");
  EXPECT_EQ(Dump("reset.txt")["Quillet1.SlideB.Value"], "0");
}

TEST_F(KeysRun, F12ChecksTheSheetOrReportsTheGeometry) {
  EXPECT_EQ(Run(Profile(8, "MOVE/"), "key F12\nkey F12 alt\ndump report.txt\n"), kSystemClose) << Stderr();
  Lines log = Log();
  auto key = std::find(log.begin(), log.end(), "BEG-KeyDown,123/0");
  ASSERT_NE(key, log.end());
  ASSERT_NE(key + 1, log.end());
  EXPECT_EQ(*(key + 1), "BEG-L1Thumb,2");  // CheckPage(2)
  auto alt = std::find(log.begin(), log.end(), "BEG-KeyDown,123/4");
  ASSERT_NE(alt, log.end());
  ASSERT_NE(alt + 1, log.end());
  EXPECT_EQ(*(alt + 1), "BEG-ShowInf,1");
  EXPECT_EQ(Dump("report.txt")["Quillet1.Status.Text"].rfind("\" Img:0000/0000  +0000/+0000 Src:", 0), 0u);
}

TEST_F(KeysRun, ToolKeysActOnlyOnShownToolButtons) {
  EXPECT_EQ(Run(Profile(8, "MOVE/ZOOM/"), "key F8\nkey F7\n"), kSystemClose) << Stderr();
  EXPECT_TRUE(Logged("BEG-Tool,2"));   // ZOOM shows
  EXPECT_FALSE(Logged("BEG-Tool,1"));  // ZWIN does not
}

TEST_F(KeysRun, AltF4CommitsAndTheWindowStaysOpen) {
  // Alt+F4 comes as a close through the control menu: the commit runs in
  // place of the unload; its questions take their default answers here, so
  // nothing ends the run until the session closes the window.
  EXPECT_EQ(Run(Profile(8, "MOVE/"), "key F4 alt\ndump open.txt\n"), kSystemClose) << Stderr();
  Lines log = Log();
  auto unload = std::find(log.begin(), log.end(), "BEG-UnLoad,0/0");
  ASSERT_NE(unload, log.end());
  ASSERT_NE(unload + 1, log.end());
  EXPECT_EQ(*(unload + 1), "BEG-DoOK");
  EXPECT_EQ(Dump("open.txt")["Quillet1.Caption"], "\"Quillet 2.14\"");
  EXPECT_TRUE(Logged("BEG-UnLoad,0/2"));  // the session's end, afterwards
}

TEST_F(KeysRun, CheckButtonChecksTheShownSheet) {
  EXPECT_EQ(Run(Profile(8, "CHEK/MOVE/"), "click DoCheck\n"), kSystemClose) << Stderr();
  Lines log = Log();
  auto check = std::find(log.begin(), log.end(), "BEG-Check");
  ASSERT_NE(check, log.end());
  ASSERT_NE(check + 1, log.end());
  EXPECT_EQ(*(check + 1), "BEG-L1Thumb,2");
}

TEST_F(KeysRun, HelpButtonWithoutHelpTextShowsNothing) {
  const std::string text = "Label_07=OK\r\nLabel_08=Help\r\n";
  EXPECT_EQ(Run(Profile(8, "MOVE/", text), "click DoHelp\n"), kSystemClose) << Stderr();
  EXPECT_TRUE(Logged("BEG-Help"));
  EXPECT_TRUE(MessageBoxes().empty());
  EXPECT_EQ(Run(Profile(1, "MOVE/", text + "Help=One{CR}Two{CR}{CR}Three\r\n"), "click DoHelp\n"), kSystemClose);
  EXPECT_EQ(MessageBoxes(), Lines{"msgbox | Quillet V2.14 HELP ! | 0 | One\\rTwo\\r\\rThree | ok (default)"});
}

}  // namespace

// Whole-program tests of the sheet edits, the border trim and the quality
// check: Quillet runs from its command line with a one-sheet profile whose
// sheet is pre-loaded, and the operator script turns, adjusts, trims, undoes
// and checks it through the tool buttons, the sliders and the check button.

#include <gtest/gtest.h>

#include <string>

#include "tests/quillet/quillet_run.h"

namespace {

using namespace quillet_test;

class EditsRun : public QuilletRun {
 protected:
  EditsRun() : QuilletRun("edits") {}
  void SetUp() override {
    QuilletRun::SetUp();
    // A white 400 x 300 page with a black block at [100, 299] x [50, 249].
    WriteBmp(Bin() / "page.bmp", 400, 300, [](int32_t x, int32_t y) -> uint8_t {
      return x >= 100 && x <= 299 && y >= 50 && y <= 249 ? 0x00 : 0xFF;
    });
    // One pre-loaded sheet with every edit tool and the three sliders; the
    // check runs on it (Debugging) and fails on too much light, as a
    // Yes/No question.
    Ini("[General]\r\nDebugLevel=7\r\nDebugging=Yes\r\n"
        "[Quality]\r\nWhiteMax=50\r\n"
        "[Text]\r\nMessage_05=Too light\r\nMessage_19=Accept anyway?\r\n"
        "[DEMO_1]\r\nPages=1\r\nName=Page\r\nFile_1={APP.PATH}/page.bmp\r\nCheck=11112\r\n"
        "Tools=CHEK/AUTO/UNDO/ROTL/ROTR/FLIP/MIRR/BRIG/CONT/GAMA/\r\n");
  }

  // Runs the demo command line with the script; returns the exit status.
  int Run(const std::string& script) {
    Script(script);
    return RunDemo();
  }
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

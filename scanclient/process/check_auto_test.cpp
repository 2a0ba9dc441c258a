// The quality check: one failing fixture per check, the order in which
// failures decide, the flags, the presentation and the report file.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/uiscript/uiscript.h"
#include "scanclient/core/quillet2.h"
#include "scanclient/process/check_report.h"
#include "scanclient/process/edit_view.h"
#include "scanclient/process/edit_test_env.h"

namespace quillet {
namespace {

using imaging::Image;
using testing::Plain;

constexpr char kStamp[] = "2024-05-06 07:08:09 ";

class CheckTest : public testing::SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    App.DebugLevel = 3;  // the result lines in the log
    for (int i = 1; i <= 32; ++i) App.Messages[static_cast<size_t>(i)] = "Message " + std::to_string(i);
  }
  // Lines of the log without their time stamps.
  std::vector<std::string> Lines() {
    std::vector<std::string> out;
    for (const std::string& line : Log()) out.push_back(line.substr(sizeof kStamp - 1));
    return out;
  }
  std::string& Size() { return App.DocTypeTable[1][Doc::Size]; }
  std::string& Check() { return App.DocTypeTable[1][Doc::Check]; }
};

TEST_F(CheckTest, EachCheckFailsOnItsOwnFixture) {
  // A 40 x 20 page of middle grey passes every default limit; each case
  // moves one limit (or the page) so that exactly its check fails.
  struct Case {
    int16_t result;
    std::function<Image()> page;
    std::function<void()> limit;
    const char* detail;
  } cases[] = {
      {1, [] { return Plain(40, 20, 128); }, [] { App.MidMax = 50; }, "100 : 0 - 50"},
      {2, [] { return Plain(40, 20, 128); }, [] { App.MaxSizeX = 30; }, "40 > 30"},
      {3, [] { return Plain(40, 20, 128); }, [] { App.MaxSizeY = 10; }, "20 > 10"},
      {4, [] { return Plain(40, 20, 128); }, [] { App.WhiteMin = 10; }, "0 < 10"},
      {5, [] { return Plain(40, 20, 255); }, [] { App.WhiteMax = 90.5; }, "100 > 90.5"},
      {6, [] { return Plain(40, 20, 128); }, [] { App.BlackMin = 10; }, "0 < 10"},
      {7, [] { return Plain(40, 20, 0); }, [] { App.BlackMax = 50; }, "100 > 50"},
      {8, [] { return Plain(40, 20, 128); }, [this] { Size() = "0000 0000 0100 0010 9999 9999"; }, "40x20 < 100x10"},
      {9, [] { return Plain(40, 20, 128); }, [this] { Size() = "0000 0000 0000 0000 0030 9999"; }, "40x20 > 30x9999"},
      {10, [] { return Plain(40, 20, 128); }, [this] { Size() = "0001 0001 0000 0000 9999 9999"; }, "2 <> 1"},
  };
  for (const Case& c : cases) {
    const AppState fresh = App;
    Scanned(c.page());
    c.limit();
    std::filesystem::remove(App.LogPath);
    EXPECT_EQ(w->AutoCheck(0), c.result) << c.result;
    EXPECT_EQ(Lines(), (std::vector<std::string>{"Autocheck:" + std::to_string(c.result) + ";1=" + c.detail,
                                                 "Autocheck result:" + std::to_string(c.result)}))
        << c.result;
    App = fresh;
  }
  // And the unchanged page passes.
  Scanned(Plain(40, 20, 128));
  std::filesystem::remove(App.LogPath);
  EXPECT_EQ(w->AutoCheck(2), 0);
  EXPECT_FALSE(std::filesystem::exists(App.LogPath));
  EXPECT_FALSE(std::filesystem::exists(TranscriptFile()));
}

TEST_F(CheckTest, TheLastFailingCheckInTheRunningOrderDecides) {
  Image half = Plain(40, 20, 128);
  testing::Paint(half, 0, 0, 19, 19, 255);  // 50 % light
  struct Case {
    const char* name;
    std::function<void()> limits;
    int16_t result;
  } cases[] = {
      {"4 and 5", [] { App.WhiteMin = 60, App.WhiteMax = 40; }, 5},
      {"2 and 9", [this] { App.MaxSizeX = 30, Size() = "0000 0000 0000 0000 0030 9999"; }, 9},
      {"10 and 8", [this] { Size() = "0001 0001 0100 0100 9999 9999"; }, 8},
      {"blank maximum fails 9", [this] { Size() = "0000 0000 0000 0000"; }, 9},
  };
  for (const Case& c : cases) {
    const AppState fresh = App;
    Scanned(half);
    c.limits();
    EXPECT_EQ(w->AutoCheck(0), c.result) << c.name;
    App = fresh;
  }
}

TEST_F(CheckTest, FlagsChooseTheChecksThatRun) {
  struct Case {
    const char* check;
    std::function<void()> limits;
    int16_t result;
  } cases[] = {
      {"1100000000", [] { App.WhiteMin = 10; }, 0},   // check 4 off
      {"1100000000", [] { App.MaxSizeX = 30; }, 2},
      {"111", [] { App.BlackMin = 10; }, 0},          // beyond the field: off
      {"111/", [] { App.WhiteMin = 10; }, 0},         // "/" sorts below "0": off
      {"1119", [] { App.WhiteMin = 10; }, 4},
      {"", [] { App.MaxSizeX = 30; }, 0},
  };
  for (const Case& c : cases) {
    const AppState fresh = App;
    Scanned(Plain(40, 20, 128));
    Check() = c.check;
    c.limits();
    EXPECT_EQ(w->AutoCheck(0), c.result) << c.check;
    App = fresh;
  }
}

TEST_F(CheckTest, MiddleShareIsCheckedOnlyOnGreyOrColourImages) {
  Image page = Plain(40, 20, 255);
  testing::Paint(page, 0, 0, 19, 19, 0);
  App.MidMin = 50;
  Scanned(page, 1);  // a black-and-white image
  EXPECT_EQ(w->AutoCheck(0), 0);
  Scanned(page);  // the same as a true-colour image
  EXPECT_EQ(w->AutoCheck(0), 1);
}

TEST_F(CheckTest, SizeRulesUseTheCropAndAnEmptySizeLeavesThemAlone) {
  Scanned(Plain(40, 20, 128));
  App.SizeAspectX = 7;
  EXPECT_EQ(w->AutoCheck(0), 0);
  EXPECT_EQ(App.SizeAspectX, 7);

  Size() = "0001 0001 0000 0000 9999 9999";
  w->Thsav(0).Tag = "0000.0000-1000.1400";
  std::filesystem::remove(App.LogPath);
  EXPECT_EQ(w->AutoCheck(0), 10);
  EXPECT_EQ(Lines().at(0), "Autocheck:10;1=0.71 <> 1");
  EXPECT_EQ(App.SizeAspectX, 1);
  EXPECT_EQ(App.SizeMaxHeight, 9999);
  EXPECT_EQ(App.ViewWidth, 40);  // the whole image's size
  EXPECT_EQ(App.CropTagBuf, "0000.0000-1000.1400");
}

TEST_F(CheckTest, SharesAndStatusLine) {
  // A 10 x 10 page measured 1:1: 12 light and 30 dark pixels; the levels
  // themselves (192, 64) count as middle.
  Image page = Plain(10, 10, 128);
  testing::Paint(page, 0, 0, 9, 0, 255);
  testing::Paint(page, 0, 1, 1, 1, 255);
  testing::Paint(page, 0, 2, 9, 4, 0);
  testing::Paint(page, 5, 5, 5, 5, 192);
  testing::Paint(page, 6, 5, 6, 5, 64);
  Scanned(page);
  App.CheckSample = 10;
  EXPECT_EQ(w->AutoCheck(1), 0);
  EXPECT_EQ(w->Status.Text.Get(),
            "AutoCheck:  Size=10,10; ,Light (192)=12% [0-100],Dark  (64)=30% [0-100],Middle=58% [0-100]%");
}

TEST_F(CheckTest, SharesAreRoundedDownToOneDecimal) {
  Histogram h{};
  h[255] = 12345;
  h[0] = 2000;
  h[128] = 51200 - 12345 - 2000;
  const Shares s = ComputeShares(h, 51200, 192, 64);
  EXPECT_DOUBLE_EQ(s.light, 24.1);
  EXPECT_DOUBLE_EQ(s.dark, 3.9);
  EXPECT_DOUBLE_EQ(s.mid, 72);
}

TEST_F(CheckTest, SampleScaleTruncatesToTwoDecimals) {
  struct Case {
    int16_t w, h;
    double scale;
  } cases[] = {{1000, 500, 0.32}, {100, 80, 3.2}, {333, 100, 0.96}, {20, 200, 1.6}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(SampleScale(320, c.w, c.h), c.scale) << c.w << "x" << c.h;
}

TEST_F(CheckTest, FailuresArePresentedByModeAndFlag) {
  struct Case {
    int16_t mode;
    char flag;
    const char* answer;  // queued for the box, "" for none
    int16_t result;
    const char* box;     // the transcript line, "" for none
  } cases[] = {
      {2, '2', "yes", 0, "msgbox | Autocheck | 260 | Message 4\\r\\nMessage 19\\r\\n0 < 10 | yes"},
      {2, '2', "no", 4, "msgbox | Autocheck | 260 | Message 4\\r\\nMessage 19\\r\\n0 < 10 | no"},
      {2, '1', "", 4, "msgbox | Autocheck | 0 | Message 4\\r\\n0 < 10 | ok (default)"},
      {1, '2', "", 4, ""},
      {0, '2', "", 4, ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(TranscriptFile());
    Scanned(Plain(40, 20, 128));
    App.WhiteMin = 10;
    Check() = std::string("111") + c.flag;
    w->Status.Text = "before";
    if (*c.answer) uiscript::AnswerQueue::Instance().Push(*uiscript::ParseAnswer(c.answer));
    EXPECT_EQ(w->AutoCheck(c.mode), c.result) << c.mode << c.flag << c.answer;
    const std::vector<std::string> boxes = testing::ReadLines(TranscriptFile());
    EXPECT_EQ(boxes, *c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{}) << c.mode << c.flag;
    const std::string status = w->Status.Text;
    EXPECT_EQ(status.rfind(c.mode == 1 ? "Autocheck:Message 4" : "AutoCheck:  Size=", 0), 0u) << status;
  }
}

TEST_F(CheckTest, ReportFileFromLevelSevenSampleFilesFromEight) {
  Scanned(Plain(40, 20, 128));
  App.DebugLevel = 7;
  EXPECT_EQ(w->AutoCheck(0), 0);
  const std::filesystem::path report = Prog() / "Quillet_AC.txt";
  const std::string text = testing::ReadText(report);
  const std::vector<std::string> lines = testing::ReadLines(report);
  ASSERT_EQ(lines.size(), 35u);
  EXPECT_EQ(lines[0], "AutoCheck results:06.05.2024 07:08:09");
  EXPECT_EQ(lines[1], w->Status.Text.Get());
  EXPECT_EQ(lines[2], "000=0     , 001=0     , 002=0     , 003=0     , 004=0     , 005=0     , 006=0     , "
                      "007=0     , ");
  EXPECT_EQ(lines[2 + 16].substr(0, 22), "128=51200 , 129=0     ");
  EXPECT_EQ(lines[33].substr(0, 12), "248=0     , ");
  EXPECT_EQ(lines[34], "");
  EXPECT_EQ(text.substr(text.size() - 6), ", \r\n\r\n");
  EXPECT_FALSE(std::filesystem::exists(Prog() / "Quillet_AC.bmp"));

  App.DebugLevel = 9;
  EXPECT_EQ(w->AutoCheck(0), 0);
  EXPECT_TRUE(std::filesystem::exists(Prog() / "Quillet_AC.bmp"));
  EXPECT_FALSE(w->SampleWindow().Visible());
  EXPECT_EQ(testing::ReadLines(TranscriptFile()),
            std::vector<std::string>{"msgbox | Quillet | 0 | Light=0% ,Dark=0%, Middle=100% | ok (default)"});
}

TEST_F(CheckTest, ARunTimeErrorEndsTheProgramWithItsNumber) {
  // A crop of height 0 cannot give an aspect ratio.
  Scanned(Plain(40, 20, 128));
  Size() = "0001 0001 0000 0000 9999 9999";
  w->Thsav(0).Tag = "0000.0000-0010.0000";
  try {
    w->AutoCheck(0);
    FAIL() << "the check went on";
  } catch (const testing::ProgramEnded& e) {
    EXPECT_EQ(e.code, 11);
  }
  EXPECT_NE(testing::ReadText(TranscriptFile()).find(" in AutoCheck Step- 0"), std::string::npos);
}

}  // namespace
}  // namespace quillet

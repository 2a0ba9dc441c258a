// The border trim on pages with known margins.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/imaging/edits.h"
#include "platform/imaging/pixo_control.h"
#include "scanclient/core/quillet2.h"
#include "scanclient/process/edit_test_env.h"

namespace quillet {
namespace {

using imaging::Image;
using imaging::Pixo;
using testing::Paint;
using testing::Plain;

class TrimTest : public testing::SheetTest {};

// A white page with a black block at [40, 159] x [20, 79].
Image Page200() {
  Image img = Plain(200, 100, 255);
  Paint(img, 40, 20, 159, 79, 0);
  return img;
}

TEST_F(TrimTest, CutsViewAndBaseToTheContent) {
  struct Case {
    const char* name;
    std::function<Image()> page;
    int16_t sample;
    const char* trim;   // the status line's values: Left,Top/Right,Bottom
    int32_t cut[4];     // image pixels
    int shapes;         // margins marked on the sample
  } cases[] = {
      {"Margins", Page200, 200, "Size=200,100, Trim=40,20/159,79", {40, 20, 120, 60}, 4},
      {"HalfScale",
       [] {
         Image img = Plain(400, 200, 255);
         Paint(img, 80, 40, 319, 159, 0);
         return img;
       },
       200, "Size=200,100, Trim=40,20/159,79", {80, 40, 240, 120}, 4},
      {"TrimPixelDarkPixelsStillMargin",
       [] {
         Image img = Plain(100, 50, 255);
         Paint(img, 30, 10, 69, 39, 0);
         Paint(img, 10, 20, 10, 21, 0);  // two dark pixels: margin
         Paint(img, 20, 20, 20, 22, 0);  // three: content
         return img;
       },
       100, "Size=100,50, Trim=20,10/69,39", {20, 10, 50, 30}, 4},
      {"BlankPageKeepsTheCentralBand", [] { return Plain(320, 160, 255); }, 320,
       "Size=320,160, Trim=145,73/174,86", {145, 73, 30, 14}, 4},
      {"FrameLineInTheRightMargin",
       [] {
         Image img = Page200();
         Paint(img, 180, 0, 180, 99, 0);
         return img;
       },
       200, "Size=200,100, Trim=40,20/180,79", {40, 20, 141, 60}, 4},
      {"DarkPixelsLeftOfTheContentDoNotCountInRows",
       [] {
         Image img = Page200();
         Paint(img, 0, 5, 30, 5, 0);
         return img;
       },
       200, "Size=200,100, Trim=40,20/159,79", {40, 20, 120, 60}, 4},
      {"NoMargins", [] { return Plain(50, 20, 0); }, 50, "Size=50,20, Trim=0,0/49,19", {0, 0, 50, 20}, 0},
  };
  for (const Case& c : cases) {
    const Image page = c.page();
    Scanned(page);
    w->Thsav(0).Tag = "0001.0001-0002.0002";
    App.TrimSample = c.sample;
    imaging::StartJournal();
    w->AutoTrim();
    int shapes = 0;
    for (const std::string& line : imaging::StopJournal()) shapes += line.find(" DrawShape(") != std::string::npos;
    Image expected = page;
    imaging::Crop(expected, c.cut[0], c.cut[1], c.cut[2], c.cut[3]);
    EXPECT_EQ(w->Status.Text.Get(), std::string("Sample trim: ") + c.trim) << c.name;
    EXPECT_TRUE(testing::Same(ImageOf(w->L1), expected)) << c.name;
    EXPECT_TRUE(testing::Same(ImageOf(w->Thbas(0)), expected)) << c.name;
    EXPECT_TRUE(testing::Same(ImageOf(w->Thumb(0)), expected)) << c.name;
    EXPECT_TRUE(testing::Same(ImageOf(w->Thsav(0)), page)) << c.name;
    EXPECT_EQ(w->Thsav(0).Tag.Get(), "") << c.name;
    EXPECT_EQ(shapes, c.shapes) << c.name;
  }
}

TEST_F(TrimTest, ASliderMoveAfterTheTrimKeepsIt) {
  Scanned(Page200());
  App.TrimSample = 200;
  w->AutoTrim();
  forms::OperatorAction a;
  a.kind = forms::OperatorAction::Slide;
  a.value = 10;
  w->SlideB.Operate(a);
  EXPECT_EQ(ImageOf(w->L1).width(), 120);
  EXPECT_EQ(ImageOf(w->L1).height(), 60);
}

TEST_F(TrimTest, HighTraceLevelsShowSaveAndReportTheSample) {
  Scanned(Page200());
  App.TrimSample = 200;
  App.DebugLevel = 9;
  w->AutoTrim();
  const std::filesystem::path bmp = Prog() / "Quillet_AT.bmp";
  ASSERT_TRUE(std::filesystem::exists(bmp));
  EXPECT_FALSE(w->SampleWindow().Visible());  // shown during the trim, hidden at its end
  EXPECT_EQ(w->SampleWindow().Left, w->Left + w->Width);
  const std::vector<std::string> transcript = testing::ReadLines(TranscriptFile());
  ASSERT_EQ(transcript.size(), 1u);
  EXPECT_EQ(transcript[0], "msgbox | Quillet | 0 | 200,100,Trim=40,20/159,79 | ok (default)");
  const std::vector<std::string> log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.front().find("BEG-AutoTrim"), std::string::npos);
  EXPECT_NE(log.back().find("END-AutoTrim"), std::string::npos);
}

TEST_F(TrimTest, ANarrowBlankSampleKeepsOneLine) {
  // 20 sample columns: the left scan ends at 10, the right one at 9; the
  // rows between them hold no pixel, so each row scan runs to its limit.
  Scanned(Plain(20, 200, 255));
  App.TrimSample = 200;
  w->AutoTrim();
  EXPECT_EQ(w->Status.Text.Get(), "Sample trim: Size=20,200, Trim=10,91/9,108");
  EXPECT_EQ(ImageOf(w->L1).width(), 1);
  EXPECT_EQ(ImageOf(w->L1).height(), 18);
}

}  // namespace
}  // namespace quillet

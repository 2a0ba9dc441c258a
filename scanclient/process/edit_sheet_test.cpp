// The sheet edits and the sliders on a window with real imaging and slider
// controls: pixel-exact results on small images made here.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/imaging/edits.h"
#include "platform/imaging/pixo_control.h"
#include "scanclient/process/edit_test_env.h"

namespace quillet {
namespace {

using imaging::Image;
using imaging::Pixo;
using testing::Grid;

const std::vector<imaging::Colour> kSix = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x808080};
const Image kScan = Grid({"abc", "def"}, kSix);
constexpr const char kCrop[] = "0001.0000-0002.0001";

class EditTest : public testing::SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    Scanned(kScan);
    w->Thsav(0).Tag = kCrop;
  }
  Image Adjusted(Image base, int32_t b, int32_t c, int32_t g) {
    imaging::AdjustBrightness(base, b);
    imaging::AdjustContrast(base, c);
    imaging::AdjustGamma(base, g);
    return base;
  }
};

TEST_F(EditTest, GeometryEditsChangeViewBaseAndThumbnailAlike) {
  struct Case {
    const char* name;
    void (Quillet1::*edit)();
    std::vector<std::string> expected;
  } cases[] = {
      {"RotRight", &Quillet1::RotRight, {"da", "eb", "fc"}},
      {"RotLeft", &Quillet1::RotLeft, {"cf", "be", "ad"}},
      {"Mirror", &Quillet1::Mirror, {"cba", "fed"}},
      {"Flip", &Quillet1::Flip, {"def", "abc"}},
  };
  for (const Case& c : cases) {
    Scanned(kScan);
    w->Thsav(0).Tag = kCrop;
    forms::Screen().Reset();
    (w.get()->*c.edit)();
    const Image expected = Grid(c.expected, kSix);
    EXPECT_TRUE(testing::Same(ImageOf(w->L1), expected)) << c.name;
    EXPECT_TRUE(testing::Same(ImageOf(w->Thbas(0)), expected)) << c.name;
    EXPECT_TRUE(testing::Same(ImageOf(w->Thumb(0)), expected)) << c.name;
    EXPECT_TRUE(testing::Same(ImageOf(w->Thsav(0)), kScan)) << c.name;  // the untouched scan stays
    EXPECT_EQ(w->Thsav(0).Tag.Get(), "") << c.name;    // a crop does not survive
    EXPECT_EQ(forms::Screen().PointerHistory(), (std::vector<int16_t>{11, 0})) << c.name;
  }
}

TEST_F(EditTest, TurnsComposeBackToTheScan) {
  w->RotLeft();
  w->RotRight();
  EXPECT_TRUE(testing::Same(ImageOf(w->Thbas(0)), kScan));
  for (int i = 0; i < 4; ++i) w->RotRight();
  EXPECT_TRUE(testing::Same(ImageOf(w->Thbas(0)), kScan));
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), kScan));
  EXPECT_EQ(w->Thsav(0).Tag.Get(), "");
}

TEST_F(EditTest, NeutralSliderPositionsLeaveTheBaseAsItIs) {
  imaging::StartJournal();
  w->Slider(1);
  const std::vector<std::string> journal = imaging::StopJournal();
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), kScan));
  auto called = [&](const std::string& what) {
    for (const std::string& line : journal)
      if (line.find(what) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(called("AdjustBrightness(0%)"));
  EXPECT_TRUE(called("AdjustContrast(0%)"));
  EXPECT_TRUE(called("AdjustGamma(100%)"));
}

TEST_F(EditTest, SliderMovesRebuildTheViewFromTheBase) {
  Slide(w->SlideB, 20);
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), Adjusted(kScan, 200, 0, 100)));
  EXPECT_TRUE(testing::Same(ImageOf(w->Thumb(0)), ImageOf(w->L1)));
  EXPECT_TRUE(testing::Same(ImageOf(w->Thbas(0)), kScan));  // the sliders never touch the base
  Slide(w->SlideC, -30);
  Slide(w->SlideG, 25);
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), Adjusted(kScan, 200, -300, 250)));  // not piled up
}

TEST_F(EditTest, RotationKeepsTheAdjustmentsAndTheNextMoveUsesTheTurnedBase) {
  Slide(w->SlideB, 20);
  w->RotRight();
  const Image turned = Grid({"da", "eb", "fc"}, kSix);
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), Adjusted(turned, 200, 0, 100)));
  EXPECT_TRUE(testing::Same(ImageOf(w->Thbas(0)), turned));
  Slide(w->SlideC, 10);
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), Adjusted(turned, 200, 100, 100)));
}

TEST_F(EditTest, CropStaysAsTheRegionOfASliderMoveAndGoesWithARotation) {
  Slide(w->SlideB, 5);
  EXPECT_TRUE(rt::CBool(PixGet(w->L1, Pixo::HasRegion)));
  EXPECT_EQ(App.CropTagBuf, kCrop);
  w->Thsav(0).Tag = "0001.0000-0002.000";  // 18 characters: no crop
  Slide(w->SlideB, 6);
  EXPECT_FALSE(rt::CBool(PixGet(w->L1, Pixo::HasRegion)));
  w->Thsav(0).Tag = kCrop;
  Slide(w->SlideB, 7);
  w->RotRight();
  EXPECT_FALSE(rt::CBool(PixGet(w->L1, Pixo::HasRegion)));
  EXPECT_EQ(w->Thsav(0).Tag.Get(), "");
}

TEST_F(EditTest, DraggingChangesTheViewAndOnlyTheReleaseTheThumbnail) {
  Slide(w->SlideB, 30, /*hold=*/true);
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), Adjusted(kScan, 300, 0, 100)));
  EXPECT_TRUE(testing::Same(ImageOf(w->Thumb(0)), kScan));
  Slide(w->SlideB, 30);
  EXPECT_TRUE(testing::Same(ImageOf(w->Thumb(0)), ImageOf(w->L1)));
}

TEST_F(EditTest, UndoAfterTrimAndTwoTurnsShowsTheScanWithNeutralSliders) {
  Image page = testing::Plain(40, 20, 255);
  testing::Paint(page, 10, 5, 29, 14, 0);
  Scanned(page);
  w->Thsav(0).Tag = kCrop;
  App.TrimSample = 40;
  w->AutoTrim();
  ASSERT_EQ(ImageOf(w->Thbas(0)).width(), 20);
  w->RotRight();
  w->RotRight();
  Slide(w->SlideB, -40);
  Slide(w->SlideG, 3);
  w->Thsav(0).Tag = kCrop;
  w->Undo();
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), page));
  EXPECT_TRUE(testing::Same(ImageOf(w->Thbas(0)), page));
  EXPECT_TRUE(testing::Same(ImageOf(w->Thumb(0)), page));
  EXPECT_EQ(SliderValue(w->SlideB), 0);
  EXPECT_EQ(SliderValue(w->SlideC), 0);
  EXPECT_EQ(SliderValue(w->SlideG), 10);
  EXPECT_EQ(w->Thsav(0).Tag.Get(), "");
  // A later move rebuilds from the restored base.
  Slide(w->SlideB, 10);
  EXPECT_TRUE(testing::Same(ImageOf(w->L1), Adjusted(page, 100, 0, 100)));
}

TEST_F(EditTest, WithoutAnImageInTheViewNothingChanges) {
  PixPut(w->L1, Pixo::BitmapHandle, int32_t{0});
  forms::Screen().Reset();
  App.DebugLevel = 8;
  const std::vector<std::function<void()>> procedures = {
      [&] { w->RotLeft(); }, [&] { w->RotRight(); }, [&] { w->Mirror(); }, [&] { w->Flip(); },
      [&] { w->Undo(); },    [&] { w->Slider(1); },  [&] { w->AutoTrim(); },
      [&] { EXPECT_EQ(w->AutoCheck(2), 0); }};
  for (const auto& run : procedures) run();
  Slide(w->SlideB, 50);  // the slider moves, the view stays empty
  EXPECT_EQ(SliderValue(w->SlideB), 50);
  EXPECT_EQ(rt::CLng(PixGet(w->L1, Pixo::BitmapHandle)), 0);
  EXPECT_TRUE(testing::Same(ImageOf(w->Thbas(0)), kScan));
  EXPECT_EQ(w->Thsav(0).Tag.Get(), kCrop);
  EXPECT_TRUE(forms::Screen().PointerHistory().empty());
  // Only the entry lines: no procedure went past its first test.
  for (const std::string& line : Log()) EXPECT_NE(line.find(" BEG-"), std::string::npos) << line;
  EXPECT_EQ(Log().size(), 10u);  // eight procedures and the two slider events
}

TEST_F(EditTest, SlidersStartNeutralWithTheirRanges) {
  struct Case {
    forms::OleControl* slider;
    int32_t min, max, value;
  } cases[] = {{&w->SlideB, -100, 100, 0}, {&w->SlideC, -100, 100, 0}, {&w->SlideG, 1, 100, 10}};
  for (const Case& c : cases) {
    EXPECT_EQ(rt::CLng(c.slider->Get(slider::kMin)), c.min) << c.slider->FullName();
    EXPECT_EQ(rt::CLng(c.slider->Get(slider::kMax)), c.max) << c.slider->FullName();
    EXPECT_EQ(SliderValue(*c.slider), c.value) << c.slider->FullName();
  }
}

}  // namespace
}  // namespace quillet

// The view procedures on a main window built from its design table (not
// loaded: no start-up runs), with the real imaging and slider controls. The
// mouse reaches L1 as a user's hand does: through the control, which raises
// the events that the window's handlers answer.

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>

#include "platform/imaging/pixo_control.h"
#include "platform/runtime/convert.h"
#include "platform/slider/slider.h"
#include "scanclient/acquire/view_geometry.h"
#include "scanclient/acquire/view_sheets.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/window_test_env.h"

namespace quillet {
namespace {

using imaging::Pixo;
using testing::MainWindowTest;
constexpr float px = 15;  // twips per pixel

class ViewTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    w->L1.Width = 500 * px;  // a view of 500 x 500 display pixels
    w->L1.Height = 500 * px;
    w->L1.Tag = "0";
    w->Page(0).Tag = " 1";
    w->Thumb(0).Tag = " 1";
  }
  void TearDown() override {
    if (HasFailure()) {
      for (const std::string& line : Log()) std::cerr << line << "\n";
    }
    MainWindowTest::TearDown();
  }
  imaging::PixoControl& View() { return *dynamic_cast<imaging::PixoControl*>(w->L1.Object()); }
  void Image(forms::OleControl& c, int width, int height) {
    ASSERT_EQ(rt::CInt(PixCall(c, Pixo::CreateImage, {int32_t{width}, int32_t{height}, int16_t{24}})), 0);
  }
  double Get(Pixo m) { return rt::CDbl(PixGet(w->L1, m)); }
  // Gives sheet 0 an image of width x height and shows it fitted.
  void Sheet(int width, int height) {
    Image(w->Thumb(0), width, height);
    PixPut(w->Thbas(0), Pixo::BitmapHandle, PixGet(w->Thumb(0), Pixo::BitmapHandle));
    PixPut(w->Thsav(0), Pixo::BitmapHandle, PixGet(w->Thumb(0), Pixo::BitmapHandle));
    w->Thsav(0).Left = 1;
    w->ThumbClk(0);
    w->L1.Width = 500 * px;  // the click laid the window out again
    w->L1.Height = 500 * px;
  }
};

TEST_F(ViewTest, FitButtonsZoomAndFillTheFactorBox) {
  struct Case {
    int imageW, imageH;
    int16_t index;
    double percent;
  } cases[] = {{1000, 2000, 2, 25}, {1000, 2000, 0, 48}, {1000, 2000, 1, 25}, {250, 100, 2, 200}};
  for (const Case& c : cases) {
    Image(w->L1, c.imageW, c.imageH);
    w->ZoomFact.Tag = "1";
    w->Zoom_Click(c.index);
    EXPECT_EQ(Get(Pixo::ZoomPercent), c.percent) << c.index;
    EXPECT_EQ(Get(Pixo::ScaleMode), 4);
    EXPECT_EQ(w->ZoomFact.Text.Get(), rt::CStr(c.percent));
    EXPECT_EQ(w->ZoomFact.Tag.Get(), "0");  // a fit follows the window from now on
  }
}

TEST_F(ViewTest, FactorBoxTextsBeforeAZoomButton) {
  Image(w->L1, 1000, 2000);
  w->L1_Zoom(40);
  // Not numeric: the box is set to 100 and the zoom runs.
  w->ZoomFact.Text = "abc";
  w->Zoom_Click(2);
  EXPECT_EQ(Get(Pixo::ZoomPercent), 25);
  // Out of range: neither the box nor a zoom button changes anything.
  for (const char* text : {"1", "3001"}) {
    w->L1_Zoom(40);
    w->ZoomFact.Text = text;
    w->Zoom_Click(2);
    EXPECT_EQ(Get(Pixo::ZoomPercent), 40) << text;
    EXPECT_EQ(w->ZoomFact.Text.Get(), text);
  }
  // A fraction is cut to a whole percentage.
  w->ZoomFact.Text = "150.7";
  EXPECT_EQ(w->ZoomFact.Text.Get(), "150");
  EXPECT_EQ(Get(Pixo::ZoomPercent), 150);
}

TEST_F(ViewTest, ZoomWithoutImageOrToRegionWithoutRegion) {
  w->ZoomFact.Text = "abc";
  w->Zoom_Click(2);  // no image: nothing at all
  EXPECT_EQ(w->ZoomFact.Text.Get(), "abc");
  Image(w->L1, 1000, 1000);
  w->L1_Zoom(80);
  w->Zoom_Click(3);  // no region: the zoom stays, the box shows it
  EXPECT_EQ(w->ZoomFact.Text.Get(), "80");
  EXPECT_EQ(Get(Pixo::ZoomPercent), 80);
  // With a region: 100 x 100 image pixels are 80 x 80 on screen, enlarged
  // to fill the 500 pixel view.
  PixCall(w->L1, Pixo::SetRectRegion, {0.0, 0.0, 100.0, 100.0, int16_t{1}});
  PixPut(w->L1, Pixo::RubberBandState, int16_t{1});
  w->Zoom_Click(3);
  EXPECT_EQ(Get(Pixo::ZoomPercent), 500);
  EXPECT_EQ(w->ZoomFact.Text.Get(), "500");
}

TEST_F(ViewTest, L1ZoomRefitsOrOnlyRepaints) {
  Image(w->L1, 1000, 3000);
  w->L1_Zoom(0);
  EXPECT_EQ(Get(Pixo::ZoomPercent), 16);  // 500 / 3000 cut down to a whole number
  EXPECT_EQ(w->ZoomFact.Text.Get(), "16");
  w->L1_Zoom(100);
  const int repaints = View().RepaintCalls(), paints = View().AutoPaints();
  w->L1_Zoom(100);
  EXPECT_EQ(View().RepaintCalls(), repaints + 1);
  EXPECT_EQ(View().AutoPaints(), paints);  // the view itself is not touched again
}

TEST_F(ViewTest, ToolButtonsSelectTheModeOrMarkTheSheetChanged) {
  w->Tool_Click(2);
  EXPECT_EQ(App.ToolMode, 3);
  EXPECT_FALSE(rt::CBool(PixGet(w->L1, Pixo::PanEnabled)));
  EXPECT_EQ(w->Tool(2).BackColor, ToolActiveColor);
  w->Tool_Click(0);
  EXPECT_EQ(App.ToolMode, 1);
  EXPECT_TRUE(rt::CBool(PixGet(w->L1, Pixo::PanEnabled)));
  EXPECT_EQ(w->Tool(0).BackColor, ToolActiveColor);
  EXPECT_EQ(w->Tool(2).BackColor, ToolIdleColor);
  // An edit button (Undo here, on a view without image) colours a green
  // sheet yellow and leaves the mode.
  w->Page(0).BackColor = SheetOkColor;
  w->Tool_Click(5);
  EXPECT_EQ(w->Page(0).BackColor, SheetChangedColor);
  EXPECT_EQ(App.ToolMode, 1);
}

TEST_F(ViewTest, ClickZoomStepsWithinItsLimits) {
  Image(w->L1, 1000, 1000);
  w->Tool_Click(2);
  struct Case {
    double start;
    int16_t button;
    double result;
  } cases[] = {{100, 1, 166}, {100, 2, 60}, {3000, 1, 3000}, {8, 2, 8}, {9, 2, 5}, {100, 4, 100}};
  for (const Case& c : cases) {
    w->L1_Zoom(c.start);
    View().UserMouseDown(c.button, 0, 10, 10);
    View().UserMouseUp(c.button, 0, 10, 10);
    EXPECT_EQ(Get(Pixo::ZoomPercent), c.result) << c.start << " button " << c.button;
  }
}

TEST_F(ViewTest, ZoomWindowZoomsToTheDrawnBand) {
  Image(w->L1, 1000, 1000);
  w->L1_Zoom(0);  // 50 percent
  w->Tool_Click(1);
  View().UserMouseDown(1, 0, 0, 0);
  View().UserMouseMove(1, 0, 100, 100);
  View().UserMouseUp(1, 0, 100, 100);
  EXPECT_EQ(Get(Pixo::ZoomPercent), 250);
  EXPECT_EQ(w->ZoomFact.Text.Get(), "250");
  EXPECT_FALSE(rt::CBool(PixGet(w->L1, Pixo::RubberBandActive)));
  // A click without a drag zooms nothing.
  View().UserMouseDown(1, 0, 50, 50);
  View().UserMouseUp(1, 0, 50, 50);
  EXPECT_EQ(Get(Pixo::ZoomPercent), 250);
}

TEST_F(ViewTest, PanKeepsTheImageEdgesAndLocksAnAxisWithShift) {
  Image(w->L1, 2000, 2000);
  w->L1_Zoom(100);
  w->Tool_Click(0);
  struct Case {
    int16_t shift;
    float dx, dy;  // display pixels
    double left, top;
  } cases[] = {
      {0, -50, -10, -50, -10},
      {0, 30, -10, 0, -10},   // the left edge never comes right of the view's
      {1, -50, -10, -50, 0},  // Shift: the axis that moved further
      {1, -10, -50, 0, -50},
      {1, 40, 10, 0, 0},      // to the right: horizontal, and held at 0
      {1, -20, -20, 0, 0},    // equal offsets: no pan
  };
  for (const Case& c : cases) {
    PixPut(w->L1, Pixo::DstLeft, int32_t{0});
    PixPut(w->L1, Pixo::DstTop, int32_t{0});
    w->MouseDown(1, c.shift, 3000, 3000);
    w->MouseMove(1, c.shift, 3000 + c.dx * px, 3000 + c.dy * px);
    EXPECT_EQ(Get(Pixo::DstLeft), c.left) << c.shift << " " << c.dx << "," << c.dy;
    EXPECT_EQ(Get(Pixo::DstTop), c.top) << c.shift << " " << c.dx << "," << c.dy;
  }
}

TEST_F(ViewTest, AltShowsTheImagePixelUnderThePointer) {
  Image(w->L1, 1000, 1000);
  w->L1_Zoom(50);
  w->MouseMove(0, 4, 150 * px, 75 * px);
  EXPECT_EQ(w->Status.Text.Get(), "300x150");
}

TEST_F(ViewTest, NoImageOrNoButtonDoesNothing) {
  w->Tool_Click(1);
  w->MouseDown(1, 0, 100, 100);  // no image
  EXPECT_FALSE(rt::CBool(PixGet(w->L1, Pixo::RubberBandEnabled)));
  Image(w->L1, 100, 100);
  w->MouseDown(0, 0, 100, 100);  // no button
  EXPECT_FALSE(rt::CBool(PixGet(w->L1, Pixo::RubberBandEnabled)));
  w->MouseDown(1, 0, 100, 100);
  EXPECT_TRUE(rt::CBool(PixGet(w->L1, Pixo::RubberBandEnabled)));
}

TEST_F(ViewTest, CheckColoursCountTheGreenSheets) {
  w->Page.Load(1);
  w->Page.Load(2);
  w->Page(0).BackColor = SheetOkColor;
  w->Page(1).BackColor = SheetOkColor;
  w->Page(2).BackColor = NotAllOkColor;
  w->L1.Tag = "2";
  ColourChecked(*w, 4);
  EXPECT_EQ(w->Page(2).BackColor, SheetChangedColor);
  EXPECT_EQ(w->DoAqu.BackColor, SheetChangedColor);
  EXPECT_EQ(w->DoOK.Tag.Get(), "1");
  EXPECT_EQ(w->DoOK.BackColor, NotAllOkColor);
  ColourChecked(*w, 0);
  EXPECT_EQ(w->Page(2).BackColor, SheetOkColor);
  EXPECT_EQ(w->DoOK.Tag.Get(), "0");
  EXPECT_EQ(w->DoOK.BackColor, SheetOkColor);
}

TEST_F(ViewTest, SheetWithoutImageIsNotChecked) {
  w->Thsav(0).Left = 0;
  w->Page(0).BackColor = NotAllOkColor;
  EXPECT_TRUE(w->CheckPage(2).IsEmpty());
  EXPECT_EQ(w->Page(0).BackColor, NotAllOkColor);
  EXPECT_EQ(w->DoAqu.BackColor, forms::kColorButtonFace);
}

TEST_F(ViewTest, ThumbnailClickShowsTheSheetWithItsCrop) {
  struct Case {
    std::string tag;
    std::string region;
  } cases[] = {{"0010.0020-0030.0040", "10,20,30,40"}, {"0010.0020-0030.004", "none"}, {"", "none"}};
  for (const Case& c : cases) {
    w->Thsav(0).Tag = c.tag;
    Image(w->Thumb(0), 640, 480);
    w->L1.Tag = "5";
    w->ThumbClk(0);
    EXPECT_EQ(w->L1.Tag.Get(), "0");
    EXPECT_EQ(w->L1.ToolTipText.Get(), " 640 x 480");
    std::string region;
    for (const auto& [name, value] : View().DumpState())
      if (name == "Region") region = value;
    EXPECT_EQ(region, c.region) << c.tag;
  }
}

TEST_F(ViewTest, L1ThumbCopiesTheViewAndRefitsOnlyWhenAsked) {
  Sheet(1000, 1000);
  w->L1_Zoom(120);
  PixCall(w->L1, Pixo::MirrorImage);
  PixCall(w->L1, Pixo::ResizeImage, {int32_t{200}, int32_t{100}});
  w->L1Thumb(0);
  EXPECT_EQ(w->Thumb(0).ToolTipText.Get(), " 200 x 100");
  EXPECT_EQ(w->L1.ToolTipText.Get(), " 200 x 100");
  EXPECT_NE(rt::CLng(PixGet(w->Thumb(0), Pixo::BitmapHandle)), rt::CLng(PixGet(w->L1, Pixo::BitmapHandle)));
  EXPECT_EQ(Get(Pixo::ZoomPercent), 120);
  w->L1Thumb(1);
  EXPECT_EQ(Get(Pixo::ZoomPercent), 250);
}

class CropTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    App.DocTypeTable[1][Doc::Size] = "0004.0003.0400.0300.1200.0900";
    Sheet(1600, 1200);  // fitted at 31 percent
    w->L1_Zoom(50);     // 800 x 600 on screen
    w->Tool_Click(3);
  }
  std::string Tag() { return w->Thsav(0).Tag.Get(); }
  // Press, drag and release through the control, display pixels.
  void Drag(double x0, double y0, double x1, double y1) {
    View().UserMouseDown(1, 0, x0, y0);
    View().UserMouseMove(1, 0, x1, y1);
    View().UserMouseUp(1, 0, x1, y1);
  }
};

TEST_F(CropTest, DrawStoresTheTagTheRegionAndTheThumbnail) {
  w->Page(0).BackColor = SheetOkColor;
  w->DoOK.BackColor = SheetOkColor;
  Drag(10, 20, 310, 50);  // 300 right, 30 down: 300 x 225 on screen
  EXPECT_EQ(Tag(), "0020.0040-0600.0450");
  EXPECT_EQ(w->Page(0).BackColor, SheetChangedColor);
  EXPECT_EQ(w->DoOK.BackColor, SheetChangedColor);
  EXPECT_EQ(w->Thumb(0).ToolTipText.Get(), " 1600 x 1200");
  EXPECT_TRUE(rt::CBool(PixGet(w->L1, Pixo::HasRegion)));
  EXPECT_TRUE(rt::CBool(PixCall(w->L1, Pixo::IsPointInRegion, {100.0, 100.0})));
  EXPECT_FALSE(rt::CBool(PixCall(w->L1, Pixo::IsPointInRegion, {700.0, 100.0})));
}

TEST_F(CropTest, ClickLaysTheMinimumAndAnUpwardDragDrawsNothing) {
  Drag(100, 100, 90, 90);
  EXPECT_EQ(Tag(), "0200.0200-0400.0300");
}

TEST_F(CropTest, MoveInsideAndResizeAtTheCorner) {
  Drag(10, 20, 310, 50);  // 20,40 600 x 450: on screen 10,20 300 x 225
  // A press inside the region moves the rectangle.
  Drag(100, 100, 150, 120);
  EXPECT_EQ(Tag(), "0120.0080-0600.0450");
  // Over the corner (within 6 pixels) the pointer shows the sizing cursor
  // and the press resizes, though the point is inside the region too.
  View().UserMouseMove(0, 0, 60 + 300 - 3, 40 + 225 - 3);
  EXPECT_EQ(rt::CInt(PixGet(w->L1, Pixo::MousePointer)), 8);
  Drag(357, 262, 397, 262);
  EXPECT_EQ(Tag(), "0120.0080-0680.0510");
}

TEST_F(CropTest, SheetBelowTheMinimumFallsBackToMove) {
  App.DocTypeTable[1][Doc::Size] = "0004.0003.2000.1500.3000.2250";
  Drag(10, 20, 310, 50);
  EXPECT_EQ(App.ToolMode, 1);
  EXPECT_EQ(Tag(), "");
}

TEST_F(CropTest, TypeWithoutSizeRulesDrawsFreely) {
  App.DocTypeTable[1][Doc::Size] = "";
  Drag(10, 20, 110, 30);  // 100 x 10 on screen
  EXPECT_EQ(Tag(), "0020.0040-0200.0020");
  Drag(500, 500, 500, 500);  // no area: the crop stays as it was
  EXPECT_EQ(Tag(), "0020.0040-0200.0020");
}

}  // namespace
}  // namespace quillet

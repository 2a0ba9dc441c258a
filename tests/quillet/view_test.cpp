// Whole-program tests of the view: Quillet runs from its command line with
// a one-sheet profile whose sheet is pre-loaded, and the operator script
// works the thumbnail, the zoom box and the mouse tools on L1 as a user's
// hand does; the dumps and the log show what the program made of it.

#include <gtest/gtest.h>

#include <string>

#include "tests/quillet/quillet_run.h"

namespace {

using namespace quillet_test;

class ViewRun : public QuilletRun {
 protected:
  ViewRun() : QuilletRun("view") {}
  void SetUp() override {
    QuilletRun::SetUp();
    WriteBmp(Bin() / "sheet.bmp", 800, 600);
  }

  // A profile of one sheet, pre-loaded, with every view tool and the size
  // rules 4:3, at least 100 x 75, at most 400 x 300 (or `size`).
  void Ini(const std::string& general = "DebugLevel=1", const std::string& size = "0004.0003.0100.0075.0400.0300",
           const std::string& file = "sheet.bmp") {
    QuilletRun::Ini("[General]\r\n" + general +
                    "\r\n[Text]\r\nLabel_07=OK\r\n"
                    "[DEMO_1]\r\nPages=1\r\nName=Card\r\nFile_1={APP.PATH}/" + file + "\r\n"
                    "Tools=CHEK/ZFAC/ZWID/ZHEI/ZOPT/MOVE/ZWIN/ZOOM/CROP/\r\n"
                    "Size=" + size + "\r\n");
  }
  // The profile's sheet of width x height pixels, larger than the view.
  void LargeSheet(int32_t width, int32_t height, const std::string& size = "") {
    WriteBmp(Bin() / "large.bmp", width, height);
    Ini("DebugLevel=1", size, "large.bmp");
  }
  // Runs the demo command line with the script; returns the exit status.
  int Run(const std::string& script) {
    Script(script);
    return RunDemo();
  }
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

// The sheet at 100 percent with the MOVE tool.
constexpr char kMoveAt100[] = "click Thumb(0)\ntype ZoomFact 100\nclick Tool(0)\n";
// Then panned by 200 display pixels left and 100 up.
constexpr char kPanned[] =
    "mousedown L1 left 0 6000 6000\nmousemove L1 left 0 3000 4500\nmouseup L1 left 0 3000 4500\n";

TEST_F(ViewRun, CropOnAScrolledViewTakesTheScrollIntoAccount) {
  LargeSheet(1800, 1400, "0004.0003.1200.0900.9999.9999");
  // A click at 300 x 300 display pixels lays the minimum rectangle there,
  // which is image pixel 500 x 400 on the scrolled view.
  EXPECT_EQ(Run(std::string(kMoveAt100) + kPanned +
                "dump panned.txt\nclick Tool(3)\nmousedown L1 left 0 4500 4500\nmouseup L1 left 0 4500 4500\n"
                "dump crop.txt\n"),
            256 - 9)
      << Stderr();
  EXPECT_EQ(Dump("panned.txt")["Quillet1.L1.Dst"], "-200,-100,1800,1400");
  auto d = Dump("crop.txt");
  EXPECT_EQ(d["Quillet1.Thsav(0).Tag"], "\"0500.0400-1200.0900\"");
  EXPECT_EQ(d["Quillet1.L1.Region"], "500,400,1200,900");
  EXPECT_EQ(d["Quillet1.L1.Dst"], "-200,-100,1800,1400");  // the view stays where it was
}

TEST_F(ViewRun, MoveWithShiftPansOneAxisOnly) {
  LargeSheet(1800, 1400);
  // 200 display pixels left and 50 up with Shift: only the left offset follows.
  EXPECT_EQ(Run(std::string(kMoveAt100) +
                "mousedown L1 left 0 6000 6000\nmousemove L1 left shift 3000 5250\ndump moved.txt\n"
                "mousemove L1 left shift 4500 4500\ndump equal.txt\nmouseup L1 left shift 4500 4500\n"),
            256 - 9)
      << Stderr();
  EXPECT_EQ(Dump("moved.txt")["Quillet1.L1.Dst"], "-200,0,1800,1400");
  EXPECT_EQ(Dump("equal.txt")["Quillet1.L1.Dst"], "0,0,1800,1400");  // equal offsets pan neither axis
}

TEST_F(ViewRun, PressFarIntoALargeViewIsNoOverflow) {
  // On a large screen the view is wider than 32767 twips.
  Env("ORN_SCREEN", "3840x2160");
  LargeSheet(4000, 1400);
  EXPECT_EQ(Run(std::string(kMoveAt100) +
                "mousedown L1 left 0 45000 1500\nmousemove L1 left 0 42000 1500\n"
                "mousemove L1 0 alt 45000 1500\nmouseup L1 left 0 42000 1500\ndump far.txt\n"),
            256 - 9)
      << Stderr();
  auto d = Dump("far.txt");
  EXPECT_EQ(d["Quillet1.L1.Dst"], "-200,0,4000,1400");
  EXPECT_EQ(d["Quillet1.Status.Text"], "\"3000x100\"");  // the image pixel under the pointer
  EXPECT_FALSE(LoggedStartingWith("Error"));
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

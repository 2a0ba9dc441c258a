#include "viewer/layout.h"

#include <gtest/gtest.h>

#include <string>

#include "guicommon/cmdline.h"
#include "platform/runtime/error.h"

namespace viewer {
namespace {

ViewerState Screen1920x1080(int16_t shownWidth, int16_t shownHeight) {
  ViewerState s;
  s.TwipsPerPixelX = s.TwipsPerPixelY = 15;
  s.ScreenWidthPx = 1920;
  s.ScreenHeightPx = 1080;
  s.ShownWidth = shownWidth;
  s.ShownHeight = shownHeight;
  return s;
}

TEST(PlaceWindowTest, FitsAtMostNinetyFivePercentElseEightyPercentFitted) {
  struct Case {
    int16_t w, h;
    bool centre;
    double widthPx, heightPx;
    double leftTw, topTw;  // -1: position unchanged
    int16_t scaleMode;
  } cases[] = {
      {800, 600, false, 808, 632, -1, -1, kScaleActual},
      {800, 600, true, 808, 632, (28800 - 12120) / 2.0, (16200 - 9480) / 2.0, kScaleActual},
      {1824, 1026, false, 1832, 1058, -1, -1, kScaleActual},  // exactly 95 % both ways
      {1825, 1000, true, 1536, 864, -1, -1, kScaleFit},       // one pixel too wide; no centring
      {1900, 1000, false, 1536, 864, -1, -1, kScaleFit},
      {1000, 1027, false, 1536, 864, -1, -1, kScaleFit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.centre ? " centred" : ""));
    WindowPlacement p = PlaceWindow(Screen1920x1080(c.w, c.h), c.centre);
    EXPECT_DOUBLE_EQ(p.Width, c.widthPx * 15);
    EXPECT_DOUBLE_EQ(p.Height, c.heightPx * 15);
    EXPECT_DOUBLE_EQ(p.Left.value_or(-1), c.leftTw);
    EXPECT_DOUBLE_EQ(p.Top.value_or(-1), c.topTw);
    EXPECT_EQ(p.ScaleMode, c.scaleMode);
  }
}

TEST(TilePlanTest, CoversThePagePlusOneCellWithAlternatingModes) {
  std::vector<Tile> tiles = TilePlan(250, 120, 100);
  ASSERT_EQ(tiles.size(), 12u);  // x 0..300, y 0..200
  auto flagsAt = [&](int32_t x, int32_t y) {
    for (const Tile& t : tiles)
      if (t.x == x && t.y == y) return static_cast<int>(t.flags);
    return -1;
  };
  EXPECT_EQ(flagsAt(0, 0), 0);
  EXPECT_EQ(flagsAt(100, 0), 512);
  EXPECT_EQ(flagsAt(0, 100), 512);
  EXPECT_EQ(flagsAt(100, 100), 0);
  EXPECT_EQ(flagsAt(300, 200), 512);
  EXPECT_EQ(flagsAt(400, 0), -1);
  EXPECT_EQ(flagsAt(0, 300), -1);
}

TEST(CaptionTextTest, NameSizeBitsPageZoomOrTheFixedTitle) {
  ViewerState s;
  s.ProductName = "Glimpra";
  s.ProductVersion = "1.4";
  s.ShownWidth = 1200;
  s.ShownHeight = 1600;
  s.ShownBits = 1;
  s.ShownPage = 2;
  s.ShownPageCount = 3;
  struct Case {
    const char* path;
    const char* title;
    double zoom;
    const char* caption;
  } cases[] = {
      {"C:\\scans\\a.tif", "", 25, "a.tif:1200x1600.1  2/3 (25%)    Glimpra 1.4"},
      {"/tmp/scans/a.tif", "", 1248.75, "a.tif:1200x1600.1  2/3 (1248%)    Glimpra 1.4"},
      {"a.tif", "", 99.99, "a.tif:1200x1600.1  2/3 (99%)    Glimpra 1.4"},
      {"/tmp/a.tif", "Akte 17", 25, "Akte 17"},
  };
  for (const Case& c : cases) EXPECT_EQ(CaptionText(s, c.path, c.title, c.zoom), c.caption) << c.path;
}

TEST(ExactParamTest, OnlyTheWholeNameMatches) {
  struct Case {
    const char* cmd;
    const char* exact;   // ExactParam("D")
    const char* prefix;  // GetParam("D"), for contrast
  } cases[] = {
      {"a.tif /DEBUG", "", "1"},
      {"a.tif /d", "1", "1"},
      {"a.tif /D=no /DEBUG=x", "no", "x"},
      {"a.tif", "", ""},
  };
  for (const Case& c : cases) {
    guicommon::ParseCmd(c.cmd);
    EXPECT_EQ(ExactParam(" d "), c.exact) << c.cmd;
    EXPECT_EQ(guicommon::GetParam("D"), c.prefix) << c.cmd;
  }
}

TEST(ExactParamTest, FindsNothingAfterAFailedParse) {
  std::string cmd = "/D";
  for (int i = 0; i < 32; ++i) cmd += " x";
  EXPECT_THROW(guicommon::ParseCmd(cmd), rt::RuntimeError);
  EXPECT_EQ(ExactParam("D"), "");
}

}  // namespace
}  // namespace viewer

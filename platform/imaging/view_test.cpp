#include "platform/imaging/view.h"

#include <gtest/gtest.h>

namespace imaging {
namespace {

TEST(View, FitRule) {
  struct Case {
    int32_t cw, ch, iw, ih;
    double zoom;
  } cases[] = {
      {500, 500, 1000, 2000, 25},  // the height limits
      {500, 500, 2000, 1000, 25},  // the width limits
      {800, 600, 400, 100, 200},   // a small image is enlarged
      {300, 200, 900, 700, 200.0 * 100 / 700},
      {0, 0, 400, 300, 100},       // no view size: actual size
  };
  for (const Case& c : cases) {
    View v;
    v.SetClientSize(c.cw, c.ch);
    v.NewImage(c.iw, c.ih);
    ASSERT_TRUE(v.SetScaleMode(View::kFit));
    EXPECT_DOUBLE_EQ(v.Zoom(), c.zoom) << c.cw << "x" << c.ch << " " << c.iw << "x" << c.ih;
    EXPECT_DOUBLE_EQ(v.dstHeight(), c.ih * c.zoom / 100);
    EXPECT_EQ(v.dstLeft(), 0);
  }
}

TEST(View, PercentModeStartsFromTheZoomInEffectAndKeepsTheCorner) {
  View v;
  v.SetClientSize(500, 500);
  v.NewImage(1000, 2000);
  v.SetScaleMode(View::kFit);
  v.SetScaleMode(View::kPercent);
  EXPECT_DOUBLE_EQ(v.Zoom(), 25);
  v.SetDstLeft(-40);
  ASSERT_TRUE(v.SetZoom(50));
  EXPECT_DOUBLE_EQ(v.dstLeft(), -80);  // the same image column stays at the view's edge
  EXPECT_DOUBLE_EQ(v.dstWidth(), 500);
  EXPECT_FALSE(v.SetZoom(0));
  EXPECT_FALSE(v.SetScaleMode(2));
  EXPECT_EQ(v.scaleMode(), View::kPercent);
  v.SetScaleMode(View::kActualSize);
  EXPECT_DOUBLE_EQ(v.Zoom(), 100);
  EXPECT_EQ(v.dstLeft(), 0);
}

TEST(View, ZoomToRectangleRule) {
  View v;
  v.SetClientSize(400, 300);
  v.NewImage(800, 600);
  v.SetScaleMode(View::kPercent);
  v.SetDstLeft(-100);
  // Display (100, 50) shows image (200, 50); the rectangle doubles in both axes.
  ASSERT_TRUE(v.ZoomToRect(100, 50, 200, 100));
  EXPECT_DOUBLE_EQ(v.Zoom(), 200);
  EXPECT_DOUBLE_EQ(v.dstLeft(), -400);
  EXPECT_DOUBLE_EQ(v.dstTop(), -100);
  EXPECT_DOUBLE_EQ(v.ToDisplayX(200), 0);
  // A narrow rectangle: the height limits the zoom.
  ASSERT_TRUE(v.ZoomToRect(0, 0, 40, 150));
  EXPECT_DOUBLE_EQ(v.Zoom(), 400);
  EXPECT_FALSE(v.ZoomToRect(0, 0, 0, 10));
  EXPECT_DOUBLE_EQ(v.Zoom(), 400);
}

TEST(View, VisiblePartOfTheImage) {
  View v;
  v.SetClientSize(400, 300);
  v.NewImage(800, 600);
  v.SetScaleMode(View::kPercent);
  v.SetZoom(200);
  v.SetDstLeft(-200);
  double r[4];
  v.Visible(r);
  EXPECT_DOUBLE_EQ(r[0], 100);
  EXPECT_DOUBLE_EQ(r[1], 0);
  EXPECT_DOUBLE_EQ(r[2], 200);
  EXPECT_DOUBLE_EQ(r[3], 150);
}

}  // namespace
}  // namespace imaging

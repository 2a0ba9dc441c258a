// The zoom figures, the pointer mapping and the crop rules on their own.

#include "scanclient/acquire/view_geometry.h"

#include <gtest/gtest.h>

#include "platform/runtime/error.h"

namespace quillet {
namespace {

void ExpectBand(const Band& actual, const Band& expected) {
  EXPECT_NEAR(actual.left, expected.left, 1e-9);
  EXPECT_NEAR(actual.top, expected.top, 1e-9);
  EXPECT_NEAR(actual.width, expected.width, 1e-9);
  EXPECT_NEAR(actual.height, expected.height, 1e-9);
}

TEST(FitCommands, PercentagesAndScrollbarAllowance) {
  struct Case {
    double windowW, windowH, imageW, imageH;
    int16_t index;
    double percent;
  } cases[] = {
      {500, 500, 1000, 2000, 2, 25},   // page: the smaller of 50 and 25
      {500, 500, 1000, 2000, 0, 48},   // width would scroll vertically: (500 - 20) / 1000
      {500, 500, 1000, 2000, 1, 25},   // height fits without a bar
      {520, 300, 1000, 1000, 0, 50},   // 52 against 30: Int(500 / 1000 x 100)
      {520, 300, 1000, 1000, 1, 30},
      {520, 300, 1000, 1000, 2, 30},
      {300, 520, 1000, 1000, 1, 50},   // height would scroll sideways
      {333, 1000, 1000, 1000, 0, 33},  // whole numbers are cut down, never rounded up
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitCommandPercent(c.index, FitPercentsFor(c.windowW, c.windowH, c.imageW, c.imageH)), c.percent)
        << c.windowW << "x" << c.windowH << " image " << c.imageW << "x" << c.imageH << " index " << c.index;
  }
}

TEST(CropTag, TextAndReadBack) {
  EXPECT_EQ(CropTagText({12, 5, 2000, 1500}), "0012.0005-2000.1500");
  EXPECT_EQ(ReadCropTag("0012.0005-2000.1500"), (CropRect{12, 5, 2000, 1500}));
  // Any other length is no crop: the empty tag, one character short, and a
  // value too large for four digits.
  EXPECT_FALSE(ReadCropTag(""));
  EXPECT_FALSE(ReadCropTag("0012.0005-2000.150"));
  EXPECT_FALSE(ReadCropTag(CropTagText({10000, 0, 10, 10})));
  // A field is read as Val reads it and cut to a whole number; one beyond
  // 32 bits is an overflow, not a made-up rectangle.
  EXPECT_EQ(ReadCropTag("12ab.0 5 -1.5x.  7 "), (CropRect{12, 5, 1, 7}));
  try {
    ReadCropTag("9E99.0000-0010.0010");
    ADD_FAILURE() << "no overflow";
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), rt::kOverflow);
  }
}

TEST(SizeRules, FieldAndDefaults) {
  SizeRules r = ReadSizeRules("0004.0003.1000.0750.3000.2250");
  EXPECT_EQ(r.aspectX, 4);
  EXPECT_EQ(r.aspectY, 3);
  EXPECT_EQ(r.minWidth, 1000);
  EXPECT_EQ(r.minHeight, 750);
  EXPECT_EQ(r.maxWidth, 3000);
  EXPECT_EQ(r.maxHeight, 2250);
  EXPECT_DOUBLE_EQ(r.Aspect(), 4.0 / 3);
  SizeRules none = ReadSizeRules("");
  EXPECT_EQ(none.maxWidth, 9999);
  EXPECT_EQ(none.maxHeight, 9999);
  EXPECT_EQ(none.Aspect(), 0);  // no ratio rather than 0 / 0
  EXPECT_EQ(ReadSizeRules("0004.0000.0001.0001.0100.0100").Aspect(), 0);
}

TEST(PointerMapping, TwipsToImagePixels) {
  struct Case {
    double x, y, scale, left, top;
    double imageX, imageY;
  } cases[] = {
      {1500, 750, 1, 0, 0, 100, 50},      // 15 twips per pixel at 100 percent
      {1500, 750, 2, 0, 0, 200, 100},     // 50 percent: two image pixels per display pixel
      {1500, 750, 0.5, -40, -10, 70, 30}, // 200 percent, scrolled left and up
      {1507, 0, 1, 0, 0, 100, 0},         // 100.47 display pixels: halves up, this one down
      {1508, 0, 1, 0, 0, 101, 0},
  };
  for (const Case& c : cases) {
    CropView v;
    v.scale = c.scale;
    v.left = c.left;
    v.top = c.top;
    ImagePoint p = ImagePointAt(c.x, c.y, v);
    EXPECT_EQ(p.x, c.imageX) << c.x << " scale " << c.scale;
    EXPECT_EQ(p.y, c.imageY) << c.y << " scale " << c.scale;
  }
}

class CropRules : public ::testing::Test {
 protected:
  SizeRules rules = ReadSizeRules("0004.0003.1000.0750.3000.2250");
  CropView view = [] {
    CropView v;
    v.scale = 10;  // 10 percent: a 4000 x 3000 image is 400 x 300 on screen
    v.imageWidth = 4000;
    v.imageHeight = 3000;
    return v;
  }();
  // A band of the image rectangle (image pixels) at this view.
  Band Shown(double l, double t, double w, double h) const { return {l / 10, t / 10, w / 10, h / 10}; }
};

TEST_F(CropRules, ReleaseKeepsTheRatioWithinFiveHundredths) {
  EXPECT_EQ(ReleaseRect(Shown(100, 100, 1200, 800), view, rules), (CropRect{100, 100, 1200, 900}));
  EXPECT_EQ(ReleaseRect(Shown(100, 100, 1200, 890), view, rules), (CropRect{100, 100, 1200, 890}));
}

TEST_F(CropRules, ReleaseGrowsToTheMinimumLeftwardsWhereThereIsRoom) {
  SizeRules free = ReadSizeRules("0000.0000.1000.0100.9999.9999");
  EXPECT_EQ(ReleaseRect(Shown(700, 0, 600, 200), view, free), (CropRect{300, 0, 1000, 200}));
  EXPECT_EQ(ReleaseRect(Shown(300, 0, 600, 200), view, free), (CropRect{300, 0, 1000, 200}));
  // The same upwards for the height.
  EXPECT_EQ(ReleaseRect(Shown(0, 500, 1000, 50), view, free), (CropRect{0, 450, 1000, 100}));
}

TEST_F(CropRules, ReleaseWithoutHeightTakesItFromTheRatio) {
  SizeRules ratioOnly = ReadSizeRules("0002.0001.0000.0000.9999.9999");
  EXPECT_EQ(ReleaseRect(Shown(0, 0, 1000, 0), view, ratioOnly), (CropRect{0, 0, 1000, 500}));
}

TEST_F(CropRules, PressShowsTheMinimumAtThePointerInsideTheImage) {
  // 1000 x 750 is 100 x 75 on screen; near the right edge it is pushed back.
  ExpectBand(PressBand(0, {}, 50, 20, view, rules), {50, 20, 100, 75});
  ExpectBand(PressBand(0, {}, 350, 280, view, rules), {300, 225, 100, 75});
  // A move or resize press shows the stored rectangle.
  ExpectBand(PressBand(1, {200, 100, 2000, 1500}, 0, 0, view, rules), {20, 10, 200, 150});
}

TEST_F(CropRules, BandSizeLimitsResetBothAxes) {
  Band b{0, 0, 50, 200};  // too narrow: both become the minimum
  LimitBandSize(b, view, rules);
  EXPECT_EQ(b, (Band{0, 0, 100, 75}));
  b = {0, 0, 400, 100};  // too wide: both become the maximum
  LimitBandSize(b, view, rules);
  EXPECT_EQ(b, (Band{0, 0, 300, 225}));
}

TEST_F(CropRules, DrawFollowsTheLongerAxisAndKeepsTheRatio) {
  // 150 px right and 30 px down (15 twips each): width 150, height 112.5.
  Band b = DrawBand({10, 10, 0, 0}, 150 * 15, 30 * 15, view, rules);
  ExpectBand(b, {10, 10, 150, 112.5});
  // Down further than right: the height leads.
  b = DrawBand({10, 10, 0, 0}, 30 * 15, 150 * 15, view, rules);
  ExpectBand(b, {10, 10, 200, 150});
  // Past the right edge the band is cut there and keeps the ratio.
  b = DrawBand({200, 0, 0, 0}, 280 * 15, 10 * 15, view, rules);
  ExpectBand(b, {200, 0, 200, 150});
}

TEST_F(CropRules, DrawWithoutRatioFollowsBothAxes) {
  SizeRules none;
  ExpectBand(DrawBand({10, 10, 0, 0}, 150 * 15, 30 * 15, view, none), {10, 10, 150, 30});
}

TEST_F(CropRules, MoveKeepsTheSizeAndStaysInsideTheImage) {
  CropRect stored{1000, 1000, 1200, 900};
  ExpectBand(MoveBand(stored, 20 * 15, -10 * 15, view), {120, 90, 120, 90});
  ExpectBand(MoveBand(stored, -500 * 15, 0, view), {0, 100, 120, 90});
  ExpectBand(MoveBand(stored, 500 * 15, 500 * 15, view), {280, 210, 120, 90});
}

TEST_F(CropRules, ResizeKeepsTheCornerAndMayShrink) {
  CropRect stored{1000, 1000, 1600, 1200};  // 160 x 120 on screen at 100, 100
  Band shown{100, 100, 160, 120};
  ExpectBand(ResizeBand(shown, stored, 40 * 15, 0, view, rules), {100, 100, 200, 150});
  ExpectBand(ResizeBand(shown, stored, 0, -30 * 15, view, rules), {100, 100, 120, 90});
  // Below the minimum both axes come back to it.
  ExpectBand(ResizeBand(shown, stored, -150 * 15, 0, view, rules), {100, 100, 100, 75});
}

}  // namespace
}  // namespace quillet

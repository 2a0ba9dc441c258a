#include "platform/screen/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace screen {
namespace {

TEST(UnitsTest, TwipsBecomeWholePixelsRoundedHalfAwayFromZero) {
  struct Case {
    double twips, perPixel;
    int32_t pixels;
  };
  const Case cases[] = {
      {0, 15, 0},       {15, 15, 1},     {7, 15, 0},        {7.5, 15, 1},   {22.4, 15, 1},
      {22.5, 15, 2},    {-22.5, 15, -2}, {12000, 15, 800},  {9000, 15, 600}, {12000, 12, 1000},
      {4680, 15, 312},  {1e12, 15, std::numeric_limits<int32_t>::max()},
      {-1e12, 15, -std::numeric_limits<int32_t>::max()},
      {std::nan(""), 15, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(TwipsToPixels(c.twips, c.perPixel), c.pixels) << c.twips << "/" << c.perPixel;
}

TEST(UnitsTest, PixelsBecomeTwipsWithoutRounding) {
  EXPECT_DOUBLE_EQ(PixelsToTwips(1.5, 15), 22.5);
  EXPECT_DOUBLE_EQ(PixelsToTwips(800, 15), 12000);
  EXPECT_DOUBLE_EQ(PixelsToTwips(-3, 12), -36);
  // There and back again lands on the same pixel.
  for (int px : {0, 1, 311, 799, 1280}) EXPECT_EQ(TwipsToPixels(PixelsToTwips(px, 15), 15), px);
}

}  // namespace
}  // namespace screen

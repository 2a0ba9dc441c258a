#include "platform/imaging/edits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "platform/imaging/pixo_members.h"

namespace imaging {
namespace {

// A true-colour image whose every pixel has its own colour.
Image Pattern(int32_t w, int32_t h) {
  Image img;
  img.Create(w, h, 24);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) img.Set(x, y, MakeColour(10 + 40 * x, 20 + 50 * y, 7 * (x + y)));
  }
  img.SetResolution(200, 300);
  return img;
}

Image Grey(std::initializer_list<std::initializer_list<int>> levels) {
  Image img;
  img.Create(static_cast<int32_t>(levels.begin()->size()), static_cast<int32_t>(levels.size()), 8);
  int32_t y = 0;
  for (const auto& row : levels) {
    int32_t x = 0;
    for (int v : row) img.row(y)[x++] = static_cast<uint8_t>(v);
    ++y;
  }
  return img;
}

TEST(Rotate, QuarterTurnsMovePixelsExactly) {
  const Image src = Pattern(3, 2);
  struct Case {
    int32_t angle;
    int32_t w, h;
    std::function<std::pair<int, int>(int, int)> to;  // where source (x, y) lands
  } cases[] = {
      {9000, 2, 3, [](int x, int y) { return std::pair(1 - y, x); }},
      {-9000, 2, 3, [](int x, int y) { return std::pair(y, 2 - x); }},
      {27000, 2, 3, [](int x, int y) { return std::pair(y, 2 - x); }},
      {18000, 3, 2, [](int x, int y) { return std::pair(2 - x, 1 - y); }},
      {-18000, 3, 2, [](int x, int y) { return std::pair(2 - x, 1 - y); }},
      {36000, 3, 2, [](int x, int y) { return std::pair(x, y); }},
  };
  for (const Case& c : cases) {
    Image img = src;
    ASSERT_EQ(Rotate(img, c.angle, kWhite), kPixoOk);
    ASSERT_EQ(img.width(), c.w) << c.angle;
    ASSERT_EQ(img.height(), c.h) << c.angle;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        const auto [tx, ty] = c.to(x, y);
        EXPECT_EQ(img.At(tx, ty), src.At(x, y)) << c.angle << " at " << x << "," << y;
      }
    }
  }
}

TEST(Rotate, QuarterTurnSwapsResolutionAndKeepsPalette) {
  Image img;
  img.Create(4, 2, 8);
  img.SetPalette({kBlack, 0x0000FF, 0x00FF00});
  img.row(0)[3] = 2;
  img.SetResolution(100, 400);
  ASSERT_EQ(Rotate(img, 9000, kWhite), kPixoOk);
  EXPECT_EQ(img.bits(), 8);
  EXPECT_EQ(img.palette().size(), 3u);
  EXPECT_EQ(img.row(3)[1], 2);  // top right corner went to the bottom right
  EXPECT_EQ(img.xdpi(), 400);
  EXPECT_EQ(img.ydpi(), 100);
}

TEST(Rotate, OtherAnglesGrowAndFillTheCorners) {
  Image img;
  img.Create(10, 10, 24);
  Fill(img, kWhite);
  ASSERT_EQ(Rotate(img, 4500, 0x0000FF), kPixoOk);
  EXPECT_EQ(img.width(), 14);
  EXPECT_EQ(img.height(), 14);
  EXPECT_EQ(img.At(0, 0), 0x0000FFu);
  EXPECT_EQ(img.At(13, 13), 0x0000FFu);
  EXPECT_EQ(img.At(7, 7), kWhite);
}

TEST(MirrorFlip, ExchangeSides) {
  const Image src = Pattern(3, 2);
  Image m = src;
  Mirror(m);
  Image f = src;
  Flip(f);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(m.At(2 - x, y), src.At(x, y));
      EXPECT_EQ(f.At(x, 1 - y), src.At(x, y));
    }
  }
}

TEST(Crop, CutsToTheRectangleInsideTheImage) {
  const Image src = Pattern(5, 4);
  struct Case {
    double l, t, w, h;
    int16_t rc;
    int32_t left, top, width, height;
  } cases[] = {
      {1, 1, 2, 2, kPixoOk, 1, 1, 2, 2},
      {-3, -2, 5, 4, kPixoOk, 0, 0, 2, 2},      // clipped at the top left
      {3.4, 2.6, 9, 9, kPixoOk, 3, 3, 2, 1},    // rounded, clipped at the bottom right
      {6, 0, 2, 2, kPixoBadArgument, 0, 0, 5, 4},  // outside: unchanged
      {1, 1, 0, 3, kPixoBadArgument, 0, 0, 5, 4},
  };
  for (const Case& c : cases) {
    Image img = src;
    EXPECT_EQ(Crop(img, c.l, c.t, c.w, c.h), c.rc) << c.l << "," << c.t;
    ASSERT_EQ(img.width(), c.width);
    ASSERT_EQ(img.height(), c.height);
    EXPECT_EQ(img.At(0, 0), src.At(c.left, c.top));
    EXPECT_EQ(img.At(c.width - 1, c.height - 1), src.At(c.left + c.width - 1, c.top + c.height - 1));
  }
}

TEST(Resize, SmoothAveragesNearestCopies) {
  Image grey = Grey({{0, 0, 255, 255}, {0, 0, 255, 255}, {10, 20, 100, 100}, {30, 40, 100, 100}});
  ASSERT_EQ(Resize(grey, 2, 2, 2), kPixoOk);
  EXPECT_TRUE(grey.IsGrey());
  EXPECT_EQ(grey.row(0)[0], 0);
  EXPECT_EQ(grey.row(0)[1], 255);
  EXPECT_EQ(grey.row(1)[0], 25);
  EXPECT_EQ(grey.row(1)[1], 100);

  Image colour;
  colour.Create(2, 1, 24);
  colour.Set(1, 0, kWhite);
  ASSERT_EQ(Resize(colour, 1, 1, 2), kPixoOk);
  EXPECT_EQ(colour.At(0, 0), MakeColour(128, 128, 128));

  Image near = Pattern(2, 1);
  const Image src = near;
  ASSERT_EQ(Resize(near, 4, 2, 0), kPixoOk);
  EXPECT_EQ(near.At(1, 1), src.At(0, 0));
  EXPECT_EQ(near.At(2, 0), src.At(1, 0));
  EXPECT_EQ(Resize(near, 0, 5, 2), kPixoBadArgument);
}

// The averaging resize against its definition: each target pixel is the
// rounded mean of the source cells it covers (a 600-row source shrunk to 2
// rows puts 300 rows into one sum).
TEST(Resize, AveragesEveryCoveredPixel) {
  Image colour = Pattern(13, 600), grey = Pattern(13, 600);
  ASSERT_EQ(ConvertToGrey(grey, 8), kPixoOk);
  // Large enough (17 MB, 9 MB) to be averaged in bands side by side.
  Image sheet = Pattern(2480, 2300), greySheet = Pattern(4000, 2300);
  ASSERT_EQ(ConvertToGrey(greySheet, 8), kPixoOk);
  const struct {
    Image* img;
    int32_t w, h;
  } cases[] = {{&colour, 3, 2},  {&colour, 5, 7},       {&grey, 4, 3},
               {&colour, 26, 601}, {&sheet, 223, 207}, {&greySheet, 361, 211}};
  for (const auto& c : cases) {
    const Image src = *c.img;
    Image out = src;
    ASSERT_EQ(Resize(out, c.w, c.h, 2), kPixoOk);
    ASSERT_EQ(out.width(), c.w);
    for (int32_t y = 0; y < c.h; ++y) {
      const int32_t y0 = y * src.height() / c.h, y1 = std::max(y0 + 1, (y + 1) * src.height() / c.h);
      for (int32_t x = 0; x < c.w; ++x) {
        const int32_t x0 = x * src.width() / c.w, x1 = std::max(x0 + 1, (x + 1) * src.width() / c.w);
        int64_t sum[3] = {0, 0, 0};
        for (int32_t sy = y0; sy < y1; ++sy) {
          for (int32_t sx = x0; sx < x1; ++sx) {
            const Colour p = src.At(sx, sy);
            sum[0] += RedOf(p);
            sum[1] += GreenOf(p);
            sum[2] += BlueOf(p);
          }
        }
        const int64_t n = int64_t{x1 - x0} * (y1 - y0);
        auto mean = [n](int64_t s) { return static_cast<uint8_t>((s + n / 2) / n); };
        ASSERT_EQ(out.At(x, y), MakeColour(mean(sum[0]), mean(sum[1]), mean(sum[2])))
            << c.w << "x" << c.h << " at " << x << "," << y;
      }
    }
  }
}

TEST(ConvertToGrey, LevelsPerBits) {
  struct Case {
    Colour c;
    int32_t bits;
    Colour expected;
  } cases[] = {
      {MakeColour(255, 0, 0), 8, MakeColour(76, 76, 76)},
      {MakeColour(0, 0, 255), 24, MakeColour(29, 29, 29)},
      {kWhite, 4, kWhite},
      {MakeColour(128, 128, 128), 1, kWhite},  // 128 is white, 127 black
      {MakeColour(127, 127, 127), 1, kBlack},
      {MakeColour(0, 204, 68), 1, kWhite},  // 299 R + 587 G + 114 B = 127500: level 128
      {MakeColour(2, 209, 37), 1, kBlack},  // 127499: level 127
      {MakeColour(136, 136, 136), 4, MakeColour(136, 136, 136)},
  };
  for (const Case& c : cases) {
    Image img;
    img.Create(1, 1, 24);
    img.Set(0, 0, c.c);
    ASSERT_EQ(ConvertToGrey(img, c.bits), kPixoOk);
    EXPECT_EQ(img.bits(), c.bits);
    EXPECT_EQ(img.At(0, 0), c.expected) << std::hex << c.c << " to " << std::dec << c.bits;
    EXPECT_EQ(img.IsGrey(), c.bits != 24);
  }
}

TEST(ChangeDepth, StagedPaletteTakesNearestColours) {
  Image img;
  img.Create(3, 1, 24);
  img.Set(0, 0, MakeColour(10, 10, 10));
  img.Set(1, 0, MakeColour(250, 240, 250));
  img.Set(2, 0, MakeColour(0, 0, 200));
  std::vector<Colour> staged(256, kBlack);
  staged[1] = kWhite;
  staged[2] = 0xFF0000;  // blue
  ASSERT_EQ(ChangeDepth(img, 8, 16, 3, staged), kPixoOk);
  EXPECT_EQ(img.bits(), 8);
  ASSERT_EQ(img.palette().size(), 3u);
  EXPECT_EQ(img.row(0)[0], 0);
  EXPECT_EQ(img.row(0)[1], 1);
  EXPECT_EQ(img.row(0)[2], 2);
}

TEST(ChangeDepth, TwoColourBlackAndWhiteIsBitonal) {
  Image img = Pattern(4, 3);
  std::vector<Colour> staged(256, kBlack);
  staged[1] = kWhite;
  ASSERT_EQ(ChangeDepth(img, 8, 16, 2, staged), kPixoOk);
  EXPECT_EQ(img.bits(), 8);
  EXPECT_TRUE(img.IsBitonal());
  EXPECT_FALSE(Pattern(4, 3).IsBitonal());
}

TEST(ChangeDepth, FewColoursConvertWithoutLossAndBack) {
  Image img;
  img.Create(4, 1, 24);
  const Colour colours[] = {0x123456, 0xABCDEF, 0x123456, 0x00FF00};
  for (int x = 0; x < 4; ++x) img.Set(x, 0, colours[x]);
  ASSERT_EQ(ChangeDepth(img, 4, 2, 0, {}), kPixoOk);
  EXPECT_EQ(img.palette().size(), 3u);
  ASSERT_EQ(ChangeDepth(img, 24, 0, 0, {}), kPixoOk);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(img.At(x, 0), colours[x]);
}

TEST(ChangeDepth, GreyStaysGreyAndBadBitsAreRefused) {
  Image img = Grey({{0, 255, 136}});
  ASSERT_EQ(ChangeDepth(img, 4, 0, 0, {}), kPixoOk);
  EXPECT_TRUE(img.IsGrey());
  EXPECT_EQ(img.row(0)[1], 15);
  EXPECT_EQ(img.At(2, 0), MakeColour(136, 136, 136));
  EXPECT_EQ(ChangeDepth(img, 2, 0, 0, {}), kPixoBadArgument);
  EXPECT_EQ(img.bits(), 4);
  ASSERT_EQ(ChangeDepth(img, 8, 0, 0, {}), kPixoOk);  // and back: still grey, levels kept
  EXPECT_TRUE(img.IsGrey());
  EXPECT_EQ(img.row(0)[1], 255);
  EXPECT_EQ(img.row(0)[2], 136);
}

TEST(ChangeDepth, StandardPalettesHaveTheirSizes) {
  EXPECT_EQ(StandardPalette(1).size(), 2u);
  EXPECT_EQ(StandardPalette(4).size(), 16u);
  const auto pal8 = StandardPalette(8);
  EXPECT_EQ(pal8.size(), 256u);
  EXPECT_EQ(std::set<Colour>(pal8.begin(), pal8.end()).size(), 256u);
}

TEST(Adjust, NeutralValuesChangeNothing) {
  const Image src = Pattern(6, 5);
  Image img = src;
  EXPECT_EQ(AdjustBrightness(img, 0), kPixoOk);
  EXPECT_EQ(AdjustContrast(img, 0), kPixoOk);
  EXPECT_EQ(AdjustGamma(img, 100), kPixoOk);
  EXPECT_EQ(img, src);
}

TEST(Adjust, LevelsMoveByTheRule) {
  struct Case {
    int16_t (*adjust)(Image&, int32_t);
    int32_t value;
    int level, expected;
  } cases[] = {
      {AdjustBrightness, 200, 100, 151},  {AdjustBrightness, -1000, 200, 0},
      {AdjustContrast, -1000, 30, 128},   {AdjustContrast, 1000, 100, 72},
      {AdjustGamma, 200, 64, 128},        {AdjustGamma, 50, 128, 64},
  };
  for (const Case& c : cases) {
    Image grey = Grey({{c.level}});
    ASSERT_EQ(c.adjust(grey, c.value), kPixoOk);
    EXPECT_TRUE(grey.IsGrey());
    EXPECT_EQ(grey.row(0)[0], c.expected) << c.value << " on " << c.level;
    Image colour;
    colour.Create(1, 1, 24);
    colour.Set(0, 0, MakeColour(c.level, c.level, 255));
    ASSERT_EQ(c.adjust(colour, c.value), kPixoOk);
    EXPECT_EQ(RedOf(colour.At(0, 0)), c.expected);
  }
  Image grey = Grey({{1}});
  EXPECT_EQ(AdjustBrightness(grey, 1001), kPixoBadArgument);
  EXPECT_EQ(AdjustGamma(grey, 0), kPixoBadArgument);
}

TEST(Adjust, PaletteImagesChangeTheirPalette) {
  Image img;
  img.Create(2, 1, 8);
  img.SetPalette({MakeColour(100, 0, 0), MakeColour(0, 100, 200)});
  img.row(0)[1] = 1;
  ASSERT_EQ(AdjustBrightness(img, 200), kPixoOk);
  EXPECT_EQ(img.row(0)[1], 1);
  EXPECT_EQ(img.palette()[0], MakeColour(151, 51, 51));
  EXPECT_EQ(img.palette()[1], MakeColour(51, 151, 251));
}

TEST(Regions, RectangleClipsAndColourRegionSelectsTheDrawing) {
  Image img;
  img.Create(5, 4, 24);
  Fill(img, kWhite);
  img.Set(1, 1, 0x9C9CF6);
  img.Set(3, 2, 0x9C9CF6);
  const Region drawing = ColourRegion(img, 6, kWhite);
  EXPECT_EQ(drawing.left, 1);
  EXPECT_EQ(drawing.top, 1);
  EXPECT_EQ(drawing.width, 3);
  EXPECT_EQ(drawing.height, 2);
  EXPECT_TRUE(drawing.Contains(1, 1));
  EXPECT_TRUE(drawing.Contains(3, 2));
  EXPECT_FALSE(drawing.Contains(2, 1));
  EXPECT_TRUE(ColourRegion(img, 1, kWhite).Contains(2, 1));

  const Region r = RectRegion(img, 3, -1, 10, 2);
  EXPECT_EQ(r.left, 3);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.width, 2);
  EXPECT_EQ(r.height, 1);
  EXPECT_TRUE(RectRegion(img, 5, 0, 1, 1).empty());
}

TEST(Combine, CopiesBlendsAndKeepsToTheRegion) {
  Image page;
  page.Create(4, 4, 24);
  Fill(page, MakeColour(100, 100, 100));
  Image cell;
  cell.Create(2, 2, 24);
  Fill(cell, kWhite);
  cell.Set(0, 0, MakeColour(200, 50, 0));
  const Region drawing = ColourRegion(cell, 6, kWhite);

  Image copied = page;
  Combine(copied, cell, drawing, 1, 1, 2, 2, 0, 0, 800);
  EXPECT_EQ(copied.At(1, 1), MakeColour(200, 50, 0));
  EXPECT_EQ(copied.At(2, 2), MakeColour(100, 100, 100));  // white pixel outside the region

  Image blended = page;
  Combine(blended, cell, drawing, 1, 1, 2, 2, 0, 0, kCombineBlend);
  EXPECT_EQ(blended.At(1, 1), MakeColour(150, 75, 50));

  Image whole = page;
  Combine(whole, cell, Region(), 3, 3, 2, 2, 0, 0, 0);  // only one pixel lies inside
  EXPECT_EQ(whole.At(3, 3), MakeColour(200, 50, 0));
  EXPECT_EQ(whole.At(2, 2), MakeColour(100, 100, 100));
  Combine(whole, cell, Region(), -1, -1, 2, 2, 0, 0, 0);
  EXPECT_EQ(whole.At(0, 0), kWhite);
}

TEST(Fill, PaletteImagesTakeTheNearestEntry) {
  Image img;
  img.Create(2, 2, 4);
  img.SetPalette({kBlack, kWhite, MakeColour(200, 0, 0)});
  Fill(img, MakeColour(190, 20, 10));
  EXPECT_EQ(img.row(1)[1], 2);
}

}  // namespace
}  // namespace imaging

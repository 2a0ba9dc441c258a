#include "platform/imaging/nearest_colour.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/imaging/edits.h"

namespace imaging {
namespace {

// The answer of the search over the whole palette, which the mapper must give.
uint8_t Reference(const std::vector<Colour>& palette, Colour c) {
  Image img;
  img.Create(1, 1, 8);
  img.SetPalette(palette);
  return img.NearestIndex(c);
}

TEST(NearestColour, AnswersAsTheSearchOverThePaletteDoes) {
  std::mt19937 rng(7);
  auto any = [&rng] { return static_cast<Colour>(rng() & 0xFFFFFF); };
  std::vector<std::vector<Colour>> palettes = {
      {kBlack},
      {kBlack, kWhite},
      {kWhite, kBlack, kWhite},                     // a repeated entry: the lower index wins
      {MakeColour(10, 0, 0), MakeColour(0, 10, 0)},  // equally near colours between them
      // (15, 15, 15), a corner of the first cell, lies as far from both
      // (675), and no nearer a point of that cell than 675 is the first.
      {MakeColour(40, 20, 20), kBlack},
      StandardPalette(4),
      StandardPalette(8),
      GreyRamp(8),
  };
  std::vector<Colour> random(256);
  for (Colour& c : random) c = any();
  palettes.push_back(random);
  for (const auto& palette : palettes) {
    SCOPED_TRACE("palette of " + std::to_string(palette.size()));
    NearestColour nearest(palette);
    std::vector<Colour> colours = {kBlack, kWhite, MakeColour(5, 5, 0), MakeColour(128, 128, 128),
                                   MakeColour(15, 15, 15)};
    for (int i = 0; i < 3000; ++i) colours.push_back(any());
    for (Colour c : colours) {
      ASSERT_EQ(nearest(c), Reference(palette, c)) << std::hex << c;
      ASSERT_EQ(nearest(c), Reference(palette, c)) << std::hex << c << " (from the cache)";
    }
  }
  NearestColour none({});
  EXPECT_EQ(none(0x123456), 0);
}

}  // namespace
}  // namespace imaging

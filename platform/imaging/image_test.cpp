#include "platform/imaging/image.h"

#include <gtest/gtest.h>

#include "platform/imaging/edits.h"

namespace imaging {
namespace {

Image Striped(int32_t w, int32_t h) {
  Image img;
  img.Create(w, h, 24);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) img.Set(x, y, MakeColour(x * 7 % 256, y * 5 % 256, (x + y) % 256));
  }
  return img;
}

TEST(Image, CopiesShareTheirPixelsUntilOneOfThemWrites) {
  const Image original = Striped(9, 4);
  Image copy = original;
  EXPECT_TRUE(copy.SharesPixelsWith(original));
  EXPECT_EQ(copy.crow(2), original.crow(2));  // reading never copies

  copy.row(1)[0] = 1;
  EXPECT_FALSE(copy.SharesPixelsWith(original));
  EXPECT_EQ(copy.At(0, 1), MakeColour(1, 5, 1));
  EXPECT_EQ(original.At(0, 1), MakeColour(0, 5, 1));
  EXPECT_EQ(copy.At(3, 2), original.At(3, 2));

  // An edit of a copy (a new image, or one changed in place) leaves the
  // original as it was.
  Image mirrored = original, filled = original;
  Mirror(mirrored);
  Fill(filled, kWhite);
  EXPECT_EQ(original, Striped(9, 4));
  EXPECT_NE(mirrored, original);
  EXPECT_EQ(filled.At(8, 3), kWhite);
}

TEST(Image, EqualityComparesWhatTheImagesHold) {
  Image a = Striped(5, 3), b = Striped(5, 3);
  EXPECT_FALSE(a.SharesPixelsWith(b));
  EXPECT_EQ(a, b);
  b.Set(4, 2, kBlack);
  EXPECT_NE(a, b);
  b = a;
  b.SetResolution(300, 300);
  EXPECT_NE(a, b);
  EXPECT_EQ(Image(), Image());
  EXPECT_NE(a, Image());
}

TEST(Image, ANewImageIsBlackAlsoWhereALargeOneWasFreed) {
  // Large pixel blocks are kept for the next image of their size.
  for (int round = 0; round < 2; ++round) {
    Image img;
    ASSERT_TRUE(img.Create(1200, 1000, 24));
    for (int32_t y = 0; y < img.height(); ++y) {
      const uint8_t* p = img.crow(y);
      for (int32_t i = 0; i < img.stride(); ++i) ASSERT_EQ(p[i], 0) << "row " << y << " byte " << i;
    }
    Fill(img, kWhite);
  }
}

}  // namespace
}  // namespace imaging

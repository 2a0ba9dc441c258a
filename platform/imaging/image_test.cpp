#include "platform/imaging/image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

TEST(Image, PixelsAreHandedOverOnlyWhenNoCopySharesThem) {
  for (int32_t width : {9, 800}) {  // a small block and a large one
    Image img = Striped(width, 1000), copy = img;
    EXPECT_EQ(img.ReleasePixels(), nullptr);
    EXPECT_EQ(img, Striped(width, 1000));
    copy = Image();
    uint8_t* pixels = img.ReleasePixels();
    ASSERT_NE(pixels, nullptr);
    EXPECT_TRUE(img.empty());
    const Image expected = Striped(width, 1000);
    EXPECT_EQ(std::memcmp(pixels, expected.crow(0), static_cast<size_t>(expected.stride()) * 1000), 0);
    std::free(pixels);
  }
}

TEST(Image, ALargeBlockGivenBackServesTheNextImageOfItsSize) {
  const size_t bytes = size_t{1200} * 3 * 1000;
  auto* block = static_cast<uint8_t*>(std::malloc(bytes));
  ASSERT_NE(block, nullptr);
  std::memset(block, 0x5A, bytes);
  const auto where = reinterpret_cast<uintptr_t>(block);
  GiveBackPixels(block, bytes);
  GiveBackPixels(static_cast<uint8_t*>(std::malloc(16)), 16);  // small: freed
  GiveBackPixels(nullptr, bytes);
  Image img;
  ASSERT_TRUE(img.Create(1200, 1000, 24));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(img.crow(0)), where);
  EXPECT_EQ(img.At(1199, 999), kBlack);
  EXPECT_EQ(img.At(0, 0), kBlack);
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

// Damaged and truncated files of every format give a failure code, never a
// crash. Built twice: into imaging_test, and with AddressSanitizer (codecs
// included) into imaging_damaged_asan_test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>

#include "platform/imaging/edits.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"
#include "tests/support/scratch_dir.h"

#ifdef ORN_ASAN_BUILD
#define ORN_DAMAGED_SUITE DamagedFilesAsan
#else
#define ORN_DAMAGED_SUITE DamagedFiles
#endif

namespace imaging {
namespace {

namespace fs = std::filesystem;

fs::path TestData() {
  const char* root = std::getenv("ORN_TEST_SRCDIR");
  return fs::path(root ? root : ".") / "platform/imaging/testdata";
}

std::vector<char> Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A marker image that a failed read must leave as it is.
Image Marker() {
  Image img;
  img.Create(3, 2, 24);
  Fill(img, 0x123456);
  return img;
}

TEST(ORN_DAMAGED_SUITE, KeptFixturesFail) {
  const char* fixtures[] = {
      "tiff_ifd_beyond_end.tif", "tiff_strip_beyond_end.tif", "tiff_huge_size.tif",
      "jpeg_bad_huffman.jpg",    "png_bad_crc.png",           "png_truncated_idat.png",
      "bmp_huge_size.bmp",       "bmp_offset_beyond.bmp",     "bmp_palette_count.bmp",
      "bmp_rle_overrun.bmp",
  };
  for (const char* name : fixtures) {
    const std::string path = (TestData() / name).string();
    ASSERT_TRUE(fs::exists(path)) << path;
    Image img = Marker();
    EXPECT_EQ(ReadImageFile(path, 1, img), kPixoDamagedFile) << name;
    EXPECT_EQ(img, Marker()) << name;
    FileInfo info;
    const int16_t rc = ReadImageInfo(path, 1, info);
    EXPECT_TRUE(rc == kPixoOk || rc == kPixoDamagedFile) << name << " " << rc;
  }
}

// BitsPerSample 65535 and SamplesPerPixel 42497: a depth beyond any int,
// once computed by an overflowing multiplication. Kept with the fuzz seeds.
TEST(ORN_DAMAGED_SUITE, DepthBeyondAnyPixelIsDamaged) {
  const char* root = std::getenv("ORN_TEST_SRCDIR");
  const fs::path path = fs::path(root ? root : ".") / "fuzz/corpus/tiff/bits_times_samples_overflow.tif";
  ASSERT_TRUE(fs::exists(path)) << path;
  FileInfo info;
  EXPECT_EQ(ReadImageInfo(path.string(), 1, info), kPixoDamagedFile);
  Image img = Marker();
  EXPECT_EQ(ReadImageFile(path.string(), 1, img), kPixoDamagedFile);
  EXPECT_EQ(img, Marker());
}

TEST(ORN_DAMAGED_SUITE, EveryTruncationOfEveryFormatFails) {
  const orn_test::ScratchDir scratch("orn-damaged");
  const fs::path& dir = scratch.path();
  Image colour;
  colour.Create(40, 30, 24);
  for (int32_t y = 0; y < 30; ++y) {
    for (int32_t x = 0; x < 40; ++x) colour.Set(x, y, MakeColour(6 * x, 8 * y, (x * y) & 0xFF));
  }
  struct Case {
    int32_t format, bits;
  } cases[] = {
      {kFormatTiff, 24},       {kFormatTiffLzw, 8},   {kFormatTiffG4, 1},     {kFormatTiffJbig, 1},
      {kFormatTiffLzwCmyk, 24}, {kFormatTiffG3_2D, 1}, {kFormatJpeg, 24},      {kFormatPng, 24},
      {kFormatPng, 4},         {kFormatBmp, 24},      {kFormatBmpRle, 8},     {kFormatBmpRle, 4},
  };
  for (const Case& c : cases) {
    const fs::path whole = dir / ("whole" + std::to_string(c.format));
    ASSERT_EQ(WriteImageFile(whole.string(), colour, c.format, c.bits, 80, false), kPixoOk);
    const std::vector<char> bytes = Bytes(whole);
    Image check;
    ASSERT_EQ(ReadImageFile(whole.string(), 1, check), kPixoOk);
    const size_t cuts[] = {1, 8, 20, bytes.size() * 2 / 5, bytes.size() * 7 / 10, bytes.size() - 1};
    for (size_t cut : cuts) {
      const fs::path part = dir / "part";
      std::ofstream(part, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(cut));
      Image img = Marker();
      EXPECT_NE(ReadImageFile(part.string(), 1, img), kPixoOk) << c.format << "/" << c.bits << " cut at " << cut;
      EXPECT_EQ(img, Marker());
      FileInfo info;
      ReadImageInfo(part.string(), 1, info);  // may succeed on a whole header; must not crash
      // The same bytes held in memory.
      const std::span<const uint8_t> held(reinterpret_cast<const uint8_t*>(bytes.data()), cut);
      Image fromMemory = Marker();
      EXPECT_NE(ReadImageMemory(held, 1, fromMemory), kPixoOk) << c.format << "/" << c.bits << " cut at " << cut;
      EXPECT_EQ(fromMemory, Marker());
      ReadImageInfoMemory(held, 1, info);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace imaging

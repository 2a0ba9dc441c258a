// The kinds of file other programs write: transparency laid on paper, the
// BMP header kinds and pixel layouts, EXIF orientation, valid kinds the
// control does not read, and the memory writers running out of memory.
// Every fixture is made here, in memory.

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/imaging/edits.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"
#include "tests/support/exif_jpeg.h"
#include "tests/support/png_file.h"
#include "tests/support/scratch_dir.h"

namespace imaging {
namespace {

using Bytes = std::vector<uint8_t>;

Colour Rgb(uint8_t r, uint8_t g, uint8_t b) { return MakeColour(r, g, b); }
Colour Grey(uint8_t v) { return MakeColour(v, v, v); }

std::vector<Colour> Row0(const Bytes& file) {
  Image img;
  EXPECT_EQ(ReadImageMemory(file, 1, img), kPixoOk);
  std::vector<Colour> out;
  for (int32_t x = 0; x < img.width(); ++x) out.push_back(img.At(x, 0));
  return out;
}

// ---- PNG and TIFF with transparency ----

using orn_test::PngSpec;

TEST(FileKinds, PngTransparencyIsLaidOnItsBackgroundOrWhite) {
  png_color_16 red{};
  red.red = 255;
  png_color_16 greyBg{};
  greyBg.gray = 0x8000;  // 16-bit grey background: level 128
  struct Case {
    const char* name;
    PngSpec spec;
    uint32_t width;
    std::vector<Colour> expected;
  } cases[] = {
      // Black at alpha 0, 128 and 255: white paper, blended, black.
      {"rgba", {.type = PNG_COLOR_TYPE_RGB_ALPHA, .depth = 8, .rows = {0, 0, 0, 0, 0, 0, 0, 128, 0, 0, 0, 255}}, 3,
       {kWhite, Grey(127), kBlack}},
      {"rgba on bKGD",
       {.type = PNG_COLOR_TYPE_RGB_ALPHA, .depth = 8, .rows = {0, 0, 0, 0, 0, 0, 0, 128}, .background = red,
        .hasBackground = true},
       2, {Rgb(255, 0, 0), Rgb(127, 0, 0)}},
      {"grey alpha 16",
       {.type = PNG_COLOR_TYPE_GRAY_ALPHA, .depth = 16, .rows = {0, 0, 0, 0, 0x40, 0, 0xFF, 0xFF},
        .background = greyBg, .hasBackground = true},
       2, {Grey(128), Grey(64)}},
      {"palette tRNS",
       {.type = PNG_COLOR_TYPE_PALETTE, .depth = 8, .rows = {0, 1, 2}, .palette = {{0, 0, 0}, {0, 0, 255}, {10, 20, 30}},
        .paletteAlpha = {0, 128}},
       3, {kWhite, Rgb(127, 127, 255), Rgb(10, 20, 30)}},
      {"grey tRNS", {.type = PNG_COLOR_TYPE_GRAY, .depth = 8, .rows = {0, 5}, .trnsGrey = 0}, 2, {kWhite, Grey(5)}},
      {"opaque rgb", {.type = PNG_COLOR_TYPE_RGB, .depth = 8, .rows = {1, 2, 3}}, 1, {Rgb(1, 2, 3)}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Row0(orn_test::WritePng(c.spec, c.width, 1)), c.expected) << c.name;
  }
}

Bytes MakeRgbaTiff(uint16_t extra, const std::vector<uint8_t>& rgba, const std::string& path) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  const auto width = static_cast<uint32_t>(rgba.size() / 4);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, 1u);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
  std::vector<uint8_t> row = rgba;
  TIFFWriteScanline(t, row.data(), 0, 0);
  TIFFClose(t);
  FILE* f = std::fopen(path.c_str(), "rb");
  Bytes out;
  for (int ch; (ch = std::fgetc(f)) != EOF;) out.push_back(static_cast<uint8_t>(ch));
  std::fclose(f);
  return out;
}

TEST(FileKinds, TiffAlphaIsLaidOnWhiteStraightOrPremultiplied) {
  orn_test::ScratchDir dir{"orn-kinds"};
  const std::string path = (dir.path() / "a.tif").string();
  // Straight: black at alpha 0, 128, 255. Premultiplied: (64, 0, 0) at 128
  // is a colour of (127, 0, 0) before it is laid on white.
  EXPECT_EQ(Row0(MakeRgbaTiff(EXTRASAMPLE_UNASSALPHA, {0, 0, 0, 0, 0, 0, 0, 128, 0, 0, 0, 255}, path)),
            (std::vector<Colour>{kWhite, Grey(127), kBlack}));
  EXPECT_EQ(Row0(MakeRgbaTiff(EXTRASAMPLE_ASSOCALPHA, {64, 0, 0, 128, 0, 0, 0, 0, 9, 8, 7, 255}, path)),
            (std::vector<Colour>{Rgb(191, 127, 127), kWhite, Rgb(9, 8, 7)}));
}

// ---- BMP header kinds and pixel layouts ----

void Put32(Bytes& f, uint32_t v) {
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& f, uint32_t v) {
  f.push_back(static_cast<uint8_t>(v));
  f.push_back(static_cast<uint8_t>(v >> 8));
}

struct BmpSpec {
  uint32_t headerSize;
  uint16_t bits;
  uint32_t compression;
  std::vector<uint32_t> masks;    // in the header (52 and more) or after a 40-byte one
  std::vector<uint32_t> palette;  // 0x00RRGGBB
  std::vector<uint32_t> pixels;   // one bottom row: indices or packed 16/32-bit values
};

Bytes MakeBmp(const BmpSpec& s) {
  const auto width = static_cast<uint32_t>(s.pixels.size());
  Bytes pixels;
  for (uint32_t v : s.pixels) {
    if (s.bits == 8) pixels.push_back(static_cast<uint8_t>(v));
    if (s.bits == 16) Put16(pixels, v);
    if (s.bits == 32) Put32(pixels, v);
  }
  while (pixels.size() % 4) pixels.push_back(0);
  Bytes header;
  if (s.headerSize == 12) {
    Put32(header, 12);
    Put16(header, width);
    Put16(header, 1);
    Put16(header, 1);
    Put16(header, s.bits);
  } else {
    Put32(header, s.headerSize);
    Put32(header, width);
    Put32(header, 1);
    Put16(header, 1);
    Put16(header, s.bits);
    Put32(header, s.compression);
    Put32(header, static_cast<uint32_t>(pixels.size()));
    Put32(header, 2835);
    Put32(header, 2835);
    Put32(header, static_cast<uint32_t>(s.palette.size()));
    Put32(header, 0);
    for (uint32_t m : s.masks) Put32(header, m);  // a 40-byte header's masks follow it
    const size_t whole = s.headerSize == 40 ? header.size() : s.headerSize;
    header.resize(std::max(header.size(), whole), 0);
  }
  std::vector<uint32_t> palette = s.palette;
  if (s.headerSize == 12) palette.resize(size_t{1} << s.bits, 0);  // a core palette is always whole
  for (uint32_t c : palette) {
    header.push_back(static_cast<uint8_t>(c));
    header.push_back(static_cast<uint8_t>(c >> 8));
    header.push_back(static_cast<uint8_t>(c >> 16));
    if (s.headerSize != 12) header.push_back(0);
  }
  Bytes f{'B', 'M'};
  Put32(f, static_cast<uint32_t>(14 + header.size() + pixels.size()));
  Put32(f, 0);
  Put32(f, static_cast<uint32_t>(14 + header.size()));
  f.insert(f.end(), header.begin(), header.end());
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}

TEST(FileKinds, BmpHeaderKindsAndPixelLayouts) {
  const uint32_t rgb = 0, fields = 3, alphaFields = 6;
  struct Case {
    const char* name;
    BmpSpec spec;
    std::vector<Colour> expected;
  } cases[] = {
      {"core 8", {12, 8, rgb, {}, {0x102030, 0xFF0000}, {1, 0}}, {Rgb(255, 0, 0), Rgb(0x10, 0x20, 0x30)}},
      {"info 16 5-5-5", {40, 16, rgb, {}, {}, {0x7C00, 0x001F, 0x4210}}, {Rgb(255, 0, 0), Rgb(0, 0, 255), Grey(132)}},
      {"info 16 5-6-5", {40, 16, fields, {0xF800, 0x07E0, 0x001F}, {}, {0x07E0, 0x0400}},
       {Rgb(0, 255, 0), Rgb(0, 130, 0)}},
      {"info 32 fields", {40, 32, fields, {0xFF, 0xFF00, 0xFF0000}, {}, {0x0000FF, 0xFF00FF}},
       {Rgb(255, 0, 0), Rgb(255, 0, 255)}},
      // The X byte of a plain 32-bit bitmap is no alpha.
      {"info 32 X byte", {40, 32, rgb, {}, {}, {0x00FF0000, 0x7F000000}}, {Rgb(255, 0, 0), kBlack}},
      {"info alpha fields", {40, 32, alphaFields, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, {0x00000000, 0x80000000}},
       {kWhite, Grey(127)}},
      {"v3 16 4-4-4-4", {56, 16, fields, {0x0F00, 0x00F0, 0x000F, 0xF000}, {}, {0x0F00, 0xFF00}},
       {kWhite, Rgb(255, 0, 0)}},
      {"v4 32 no alpha mask", {108, 32, fields, {0xFF0000, 0xFF00, 0xFF, 0}, {}, {0x00123456}}, {Rgb(0x12, 0x34, 0x56)}},
      {"v5 32 alpha", {124, 32, fields, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, {0x00FF0000, 0xFF00FF00}},
       {kWhite, Rgb(0, 255, 0)}},
      {"v5 8", {124, 8, rgb, {}, {0x000000, 0xFFFFFF}, {1, 0}}, {kWhite, kBlack}},
      // An index beyond the palette reads black.
      {"index beyond palette", {40, 8, rgb, {}, {0xFFFFFF, 0xFF0000}, {1, 7}}, {Rgb(255, 0, 0), kBlack}},
  };
  for (const Case& c : cases) {
    const Bytes file = MakeBmp(c.spec);
    EXPECT_EQ(Row0(file), c.expected) << c.name;
    FileInfo info;
    EXPECT_EQ(ReadImageInfoMemory(file, 1, info), kPixoOk) << c.name;
    EXPECT_EQ(info.width, static_cast<int32_t>(c.spec.pixels.size())) << c.name;
  }
}

// RLE data that reaches past its row or below the picture is dropped there;
// the pixels inside stay as coded.
TEST(FileKinds, BmpRleBeyondThePictureIsDropped) {
  BmpSpec s{40, 8, 1, {}, {0x000000, 0xFFFFFF, 0xFF0000}, {}};
  s.pixels = {0, 0, 0};  // width 3
  Bytes f = MakeBmp(s);
  const uint8_t rle[] = {5, 1,        // five white pixels in a row of three
                         0, 0,        // end of line
                         2, 2,        // a second row below the one-row picture
                         0, 2, 9, 9,  // a delta far outside
                         1, 2, 0, 1};
  const size_t offBits = f.size() - 4;
  f.resize(offBits);
  f.insert(f.end(), std::begin(rle), std::end(rle));
  EXPECT_EQ(Row0(f), (std::vector<Colour>{kWhite, kWhite, kWhite}));
}

// ---- EXIF orientation ----

TEST(FileKinds, JpegExifOrientationIsTurnedUpright) {
  // 32 x 16, dark only in the top-left quadrant.
  Image img;
  img.Create(32, 16, 24);
  Fill(img, kWhite);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 16; ++x) img.Set(x, y, kBlack);
  }
  Bytes plain;
  ASSERT_EQ(WriteImageMemory(plain, img, kFormatJpeg444, 24, 95), kPixoOk);
  enum Corner { TL, TR, BL, BR };
  const std::pair<int, Corner> cases[] = {{1, TL}, {2, TR}, {3, BR}, {4, BL},
                                          {5, TL}, {6, TR}, {7, BR}, {8, BL}};
  for (const auto& [o, dark] : cases) {
    for (bool little : {false, true}) {
      SCOPED_TRACE(std::to_string(o) + (little ? " II" : " MM"));
      const Bytes file = orn_test::WithExifOrientation(plain, o, little);
      const int32_t w = o >= 5 ? 16 : 32, h = o >= 5 ? 32 : 16;
      FileInfo info;
      ASSERT_EQ(ReadImageInfoMemory(file, 1, info), kPixoOk);
      EXPECT_EQ(info.width, w);
      EXPECT_EQ(info.height, h);
      Image up;
      ASSERT_EQ(ReadImageMemory(file, 1, up), kPixoOk);
      ASSERT_EQ(up.width(), w);
      ASSERT_EQ(up.height(), h);
      const std::pair<int32_t, int32_t> centres[] = {{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4},
                                                     {3 * w / 4, 3 * h / 4}};
      for (int corner = TL; corner <= BR; ++corner) {
        const uint8_t level = GreyOf(up.At(centres[corner].first, centres[corner].second));
        if (corner == dark) {
          EXPECT_LT(level, 40) << corner;
        } else {
          EXPECT_GT(level, 215) << corner;
        }
      }
    }
  }
}

// ---- Valid kinds the control does not read ----

TEST(FileKinds, ValidKindsNotReadAreUnsupportedNotDamaged) {
  orn_test::ScratchDir dir{"orn-kinds"};
  // A 12-bit JPEG: the precision byte of the frame header says 12.
  Image img;
  img.Create(8, 8, 24);
  Bytes jpeg;
  ASSERT_EQ(WriteImageMemory(jpeg, img, kFormatJpeg, 24, 75), kPixoOk);
  size_t precision = 0;
  for (size_t i = 2; i + 4 < jpeg.size() && !precision; ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) precision = i + 4;
  }
  ASSERT_NE(precision, 0u);
  jpeg[precision] = 12;
  // A floating-point grey TIFF.
  const std::string path = (dir.path() / "float.tif").string();
  TIFF* t = TIFFOpen(path.c_str(), "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 2u);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, 1u);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 32);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  float row[2] = {0.25f, 0.75f};
  TIFFWriteScanline(t, row, 0, 0);
  TIFFClose(t);
  Image marker;
  marker.Create(1, 1, 24);
  Image out = marker;
  EXPECT_EQ(ReadImageMemory(jpeg, 1, out), kPixoUnknownFormat);
  FileInfo info;
  EXPECT_EQ(ReadImageInfoMemory(jpeg, 1, info), kPixoUnknownFormat);
  EXPECT_EQ(ReadImageFile(path, 1, out), kPixoUnknownFormat);
  EXPECT_EQ(out, marker);
  // A JPEG cut short stays damaged.
  jpeg[precision] = 8;
  jpeg.resize(jpeg.size() / 2);
  EXPECT_EQ(ReadImageMemory(jpeg, 1, out), kPixoDamagedFile);
}

// ---- The memory writers out of memory ----

// Each codec's writer into memory, its vector allowed `limit` bytes: the
// write fails cleanly, leaving what the vector held, at limits from the
// first bytes to one short of the whole file.
TEST(FileKinds, MemoryWritersOutOfMemoryFailCleanly) {
  Image img;
  img.Create(300, 200, 24);
  for (int32_t y = 0; y < img.height(); ++y) {
    for (int32_t x = 0; x < img.width(); ++x) img.Set(x, y, MakeColour(x * 7, y * 13, (x * y) & 0xFF));
  }
  const std::pair<const ImageCodec*, int32_t> codecs[] = {
      {&PngCodec(), kFormatPng}, {&JpegCodec(), kFormatJpeg}, {&TiffCodec(), kFormatTiffLzw}, {&BmpCodec(), kFormatBmp}};
  for (const auto& [codec, format] : codecs) {
    SCOPED_TRACE(format);
    SaveRequest req;
    req.format = format;
    const Bytes before{'a', 'b', 'c'};
    Bytes whole = before;
    ImageSink free{{}, &whole};
    ASSERT_EQ(codec->Write(free, img, req), kPixoOk);
    const size_t full = whole.size();
    for (size_t limit : {size_t{3}, size_t{64}, full / 2, full - 1}) {
      Bytes bytes = before;
      ImageSink sink{{}, &bytes, limit};
      EXPECT_EQ(codec->Write(sink, img, req), kPixoWriteFailed) << limit;
      EXPECT_EQ(bytes, before) << limit;
    }
  }
}

}  // namespace
}  // namespace imaging

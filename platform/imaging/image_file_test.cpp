#include "platform/imaging/image_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "platform/imaging/edits.h"
#include "platform/imaging/pixo_members.h"
#include "tests/support/scratch_dir.h"

namespace imaging {
namespace {

namespace fs = std::filesystem;

class ImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  orn_test::ScratchDir scratch_{"orn-imaging"};
  fs::path dir_;
};

enum class Kind { Colour, Smooth, SmoothGrey, Palette8, Palette4, Grey8, Grey4, Bitonal };

Image Fixture(Kind kind) {
  Image img;
  const int32_t w = 37, h = 23;
  img.Create(w, h, 24);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const bool smooth = kind == Kind::Smooth || kind == Kind::SmoothGrey;
      img.Set(x, y, smooth ? MakeColour(6 * x, 10 * y, 128)
                                         : MakeColour(7 * x + 3 * y, 255 - 11 * y, (x * y) % 256));
    }
  }
  switch (kind) {
    case Kind::Palette8: ChangeDepth(img, 8, 2, 0, {}); break;
    case Kind::Palette4: ChangeDepth(img, 4, 0, 0, {}); break;
    case Kind::Grey8:
    case Kind::SmoothGrey: ConvertToGrey(img, 8); break;
    case Kind::Grey4: ConvertToGrey(img, 4); break;
    case Kind::Bitonal: ConvertToGrey(img, 1); break;
    default: break;
  }
  img.SetResolution(200, 300);
  return img;
}

// What the file says of itself, read with the library that wrote it.
struct Facts {
  int scheme = -1;  // TIFF compression, BMP compression, PNG colour type, JPEG h x 10 + v sampling
  int detail = -1;  // TIFF photometric (G3: its options), BMP and PNG bits, JPEG components
};

Facts FactsOf(const std::string& path, int32_t format) {
  Facts f;
  if (format == kFormatPng || format == kFormatBmp || format == kFormatBmpRle) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b(64);
    in.read(reinterpret_cast<char*>(b.data()), b.size());
    if (format == kFormatPng) {
      f.scheme = b[25];
      f.detail = b[24];
    } else {
      f.scheme = b[30];
      f.detail = b[28];
    }
  } else if (format == kFormatJpeg || format == kFormatJpeg422 || format == kFormatJpeg444) {
    FILE* file = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, file);
    jpeg_read_header(&d, TRUE);
    f.scheme = d.comp_info[0].h_samp_factor * 10 + d.comp_info[0].v_samp_factor;
    f.detail = d.num_components;
    jpeg_destroy_decompress(&d);
    std::fclose(file);
  } else {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    uint16_t c = 0, p = 0;
    uint32_t g3 = 0;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &c);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p);
    f.scheme = c;
    f.detail = p;
    if (c == COMPRESSION_CCITTFAX3 && TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &g3)) f.detail = static_cast<int>(g3);
    TIFFClose(tif);
  }
  return f;
}

std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// The bytes of the file at `path`, none when it cannot be read.
std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Largest difference of any colour channel between two images of one size.
int MaxDifference(const Image& a, const Image& b) {
  int worst = 0;
  for (int32_t y = 0; y < a.height(); ++y) {
    for (int32_t x = 0; x < a.width(); ++x) {
      const Colour p = a.At(x, y), q = b.At(x, y);
      worst = std::max({worst, std::abs(RedOf(p) - RedOf(q)), std::abs(GreenOf(p) - GreenOf(q)),
                        std::abs(BlueOf(p) - BlueOf(q))});
    }
  }
  return worst;
}

struct RoundTrip {
  int32_t format;
  Kind kind;
  int32_t bits;
  Facts facts;
  const char* tiffinfo;  // libtiff's name of the compression, TIFF only
  int tolerance;         // 0: lossless
};

TEST_F(ImageFileTest, EverySaveCodeRoundTrips) {
  const RoundTrip cases[] = {
      {kFormatTiff, Kind::Colour, 24, {COMPRESSION_NONE, PHOTOMETRIC_RGB}, "None", 0},
      {kFormatTiff, Kind::Palette8, 8, {COMPRESSION_NONE, PHOTOMETRIC_PALETTE}, "None", 0},
      {kFormatTiff, Kind::Grey4, 4, {COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK}, "None", 0},
      {kFormatTiffDeflate, Kind::Colour, 24, {COMPRESSION_ADOBE_DEFLATE, PHOTOMETRIC_RGB}, "AdobeDeflate", 0},
      {kFormatTiffLzw, Kind::Colour, 24, {COMPRESSION_LZW, PHOTOMETRIC_RGB}, "LZW", 0},
      {kFormatTiffLzw, Kind::Bitonal, 1, {COMPRESSION_LZW, PHOTOMETRIC_MINISWHITE}, "LZW", 0},
      {kFormatTiffLzwCmyk, Kind::Colour, 24, {COMPRESSION_LZW, PHOTOMETRIC_SEPARATED}, "LZW", 0},
      {kFormatTiffPackBits, Kind::Grey8, 8, {COMPRESSION_PACKBITS, PHOTOMETRIC_MINISBLACK}, "PackBits", 0},
      {kFormatTiffPackBits, Kind::Palette4, 4, {COMPRESSION_PACKBITS, PHOTOMETRIC_PALETTE}, "PackBits", 0},
      {kFormatTiffJbig, Kind::Bitonal, 1, {COMPRESSION_JBIG, PHOTOMETRIC_MINISWHITE}, "ISO JBIG", 0},
      {kFormatTiffCcittRle, Kind::Bitonal, 1, {COMPRESSION_CCITTRLE, PHOTOMETRIC_MINISWHITE},
       "CCITT RLE", 0},
      {kFormatTiffG3, Kind::Bitonal, 1, {COMPRESSION_CCITTFAX3, 0}, "CCITT Group 3", 0},
      {kFormatTiffG3_2D, Kind::Bitonal, 1, {COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING}, "CCITT Group 3", 0},
      {kFormatTiffG4, Kind::Bitonal, 1, {COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE}, "CCITT Group 4", 0},
      {kFormatJpeg, Kind::Smooth, 24, {22, 3}, nullptr, 12},
      {kFormatJpeg422, Kind::Smooth, 24, {21, 3}, nullptr, 12},
      {kFormatJpeg444, Kind::Smooth, 24, {11, 3}, nullptr, 12},
      {kFormatJpeg, Kind::SmoothGrey, 8, {11, 1}, nullptr, 12},
      {kFormatPng, Kind::Colour, 24, {2, 8}, nullptr, 0},
      {kFormatPng, Kind::Palette8, 8, {3, 8}, nullptr, 0},
      {kFormatPng, Kind::Grey4, 4, {0, 4}, nullptr, 0},
      {kFormatPng, Kind::Bitonal, 1, {0, 1}, nullptr, 0},
      {kFormatBmp, Kind::Colour, 24, {0, 24}, nullptr, 0},
      {kFormatBmp, Kind::Palette8, 8, {0, 8}, nullptr, 0},
      {kFormatBmp, Kind::Palette4, 4, {0, 4}, nullptr, 0},
      {kFormatBmp, Kind::Bitonal, 1, {0, 1}, nullptr, 0},
      {kFormatBmpRle, Kind::Palette8, 8, {1, 8}, nullptr, 0},
      {kFormatBmpRle, Kind::Grey4, 4, {2, 4}, nullptr, 0},
  };
  int n = 0;
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE("format " + std::to_string(c.format) + " bits " + std::to_string(c.bits));
    const Image src = Fixture(c.kind);
    const std::string path = Path("case" + std::to_string(n++));
    ASSERT_EQ(WriteImageFile(path, src, c.format, c.bits, 90, false), kPixoOk);
    Image back;
    ASSERT_EQ(ReadImageFile(path, 1, back), kPixoOk);
    ASSERT_EQ(back.width(), src.width());
    ASSERT_EQ(back.height(), src.height());
    EXPECT_EQ(back.bits(), c.bits);
    EXPECT_EQ(back.IsGrey(), src.IsGrey());
    if (c.tolerance == 0) {
      EXPECT_EQ(MaxDifference(back, src), 0);
    } else {
      EXPECT_LE(MaxDifference(back, src), c.tolerance);
    }
    EXPECT_DOUBLE_EQ(back.xdpi(), 200);
    EXPECT_DOUBLE_EQ(back.ydpi(), 300);
    const Facts f = FactsOf(path, c.format);
    EXPECT_EQ(f.scheme, c.facts.scheme);
    EXPECT_EQ(f.detail, c.facts.detail);
    if (c.tiffinfo) {
      ASSERT_STRNE(ORN_TIFFINFO, "") << "tiffinfo (libtiff-tools) is not installed";
      const std::string info = RunCommand(std::string(ORN_TIFFINFO) + " " + path + " 2>&1");
      EXPECT_NE(info.find(std::string("Compression Scheme: ") + c.tiffinfo + "\n"), std::string::npos) << info;
      EXPECT_NE(info.find("Resolution: 200, 300 pixels/inch"), std::string::npos) << info;
      EXPECT_EQ(info.find("rror"), std::string::npos) << info;
    }
  }
}

TEST_F(ImageFileTest, FewerBitsOnSaveTakeTheNearestColours) {
  Image img;
  img.Create(3, 1, 24);
  img.Set(0, 0, MakeColour(30, 40, 50));
  img.Set(1, 0, MakeColour(200, 220, 210));
  img.Set(2, 0, MakeColour(250, 10, 10));
  const std::string fax = Path("fax.tif"), jpg = Path("grey.jpg");
  ASSERT_EQ(WriteImageFile(fax, img, kFormatTiffG4, 1, 0, false), kPixoOk);
  Image back;
  ASSERT_EQ(ReadImageFile(fax, 1, back), kPixoOk);
  EXPECT_EQ(back.bits(), 1);
  EXPECT_EQ(back.At(0, 0), kBlack);
  EXPECT_EQ(back.At(1, 0), kWhite);
  EXPECT_EQ(back.At(2, 0), kBlack);  // grey level 82
  ASSERT_EQ(WriteImageFile(jpg, img, kFormatJpeg, 8, 95, false), kPixoOk);
  ASSERT_EQ(ReadImageFile(jpg, 1, back), kPixoOk);
  EXPECT_TRUE(back.IsGrey());
  EXPECT_EQ(img.bits(), 24);  // the held image is untouched
  Image grey4 = img;
  ConvertToGrey(grey4, 4);
  ASSERT_EQ(WriteImageFile(jpg, grey4, kFormatJpeg, 8, 95, false), kPixoOk);
  ASSERT_EQ(WriteImageFile(jpg, grey4, kFormatJpeg, 24, 95, false), kPixoOk);
}

TEST_F(ImageFileTest, CodesWithoutCounterpartOrBitsTheyCannotHoldFail) {
  const Image img = Fixture(Kind::Colour);
  struct Case {
    int32_t format, bits;
    int16_t rc;
  } cases[] = {
      {99, 1, kPixoUnsupportedCode},  {66, 1, kPixoUnsupportedCode},  {2, 8, kPixoUnsupportedCode},
      {4, 24, kPixoUnsupportedCode},  {146, 24, kPixoUnsupportedCode}, {0, 24, kPixoUnsupportedCode},
      {kFormatTiffG4, 24, kPixoUnsupportedBits},  {kFormatTiffJbig, 24, kPixoUnsupportedBits},
      {kFormatTiffLzwCmyk, 8, kPixoUnsupportedBits}, {kFormatBmpRle, 24, kPixoUnsupportedBits},
      {kFormatJpeg, 4, kPixoUnsupportedBits},     {kFormatPng, 16, kPixoUnsupportedBits},
  };
  for (const Case& c : cases) {
    const std::string path = Path("x" + std::to_string(c.format));
    EXPECT_EQ(WriteImageFile(path, img, c.format, c.bits, 0, false), c.rc) << c.format << "/" << c.bits;
    EXPECT_FALSE(fs::exists(path)) << c.format;
  }
  EXPECT_EQ(WriteImageFile(Path("none.bmp"), Image(), kFormatBmp, 24, 0, false), kPixoNoImage);
  EXPECT_EQ(WriteImageFile((dir_ / "missing" / "a.bmp").string(), img, kFormatBmp, 24, 0, false), kPixoWriteFailed);
}

TEST_F(ImageFileTest, JpegQualityDecidesTheSize) {
  const Image img = Fixture(Kind::Colour);
  ASSERT_EQ(WriteImageFile(Path("q10.jpg"), img, kFormatJpeg, 24, 10, false), kPixoOk);
  ASSERT_EQ(WriteImageFile(Path("q95.jpg"), img, kFormatJpeg, 24, 95, false), kPixoOk);
  EXPECT_LT(fs::file_size(Path("q10.jpg")) * 3 / 2, fs::file_size(Path("q95.jpg")));
}

TEST_F(ImageFileTest, MultiPageTiffWrittenAndReadPageByPage) {
  const Image pages[] = {Fixture(Kind::Colour), Fixture(Kind::Bitonal), Fixture(Kind::Palette8)};
  Image small = Fixture(Kind::Grey8);
  ASSERT_EQ(Crop(small, 0, 0, 10, 5), kPixoOk);
  const int32_t formats[] = {kFormatTiffLzw, kFormatTiffG4, kFormatTiff, kFormatTiffPackBits};
  const Image* images[] = {&pages[0], &pages[1], &pages[2], &small};
  const std::string path = Path("multi.tif");
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(WriteImageFile(path, *images[i], formats[i], images[i]->bits(), 0, i > 0), kPixoOk) << i;
  }
  FileInfo info;
  ASSERT_EQ(ReadImageInfo(path, 1, info), kPixoOk);
  EXPECT_EQ(info.pageCount, 4);
  EXPECT_EQ(info.sizeOnDisk, static_cast<int64_t>(fs::file_size(path)));
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(ReadImageInfo(path, i + 1, info), kPixoOk);
    EXPECT_EQ(info.page, i + 1);
    EXPECT_EQ(info.width, images[i]->width());
    EXPECT_EQ(info.bits, images[i]->bits());
    Image back;
    ASSERT_EQ(ReadImageFile(path, i + 1, back), kPixoOk);
    EXPECT_EQ(back.bits(), images[i]->bits());
    EXPECT_EQ(back.width(), images[i]->width());
    EXPECT_EQ(MaxDifference(back, *images[i]), 0) << "page " << i + 1;
  }
  // Pages outside 1..4 read as the nearest page.
  ASSERT_EQ(ReadImageInfo(path, 0, info), kPixoOk);
  EXPECT_EQ(info.page, 1);
  ASSERT_EQ(ReadImageInfo(path, 9, info), kPixoOk);
  EXPECT_EQ(info.page, 4);
  Image last;
  ASSERT_EQ(ReadImageFile(path, 9, last), kPixoOk);
  EXPECT_EQ(last.width(), small.width());
  EXPECT_EQ(MaxDifference(last, small), 0);

  ASSERT_STRNE(ORN_TIFFINFO, "");
  const std::string out = RunCommand(std::string(ORN_TIFFINFO) + " " + path + " 2>&1");
  EXPECT_NE(out.find("TIFF Directory at offset"), std::string::npos);
  size_t directories = 0;
  for (size_t at = out.find("TIFF Directory"); at != std::string::npos; at = out.find("TIFF Directory", at + 1)) {
    ++directories;
  }
  EXPECT_EQ(directories, 4u) << out;
  // Each page, the first one too, is marked as a page of the document.
  size_t marked = 0;
  for (size_t at = out.find("Subfile Type: multi-page document"); at != std::string::npos;
       at = out.find("Subfile Type: multi-page document", at + 1)) {
    ++marked;
  }
  EXPECT_EQ(marked, 4u) << out;
}

TEST_F(ImageFileTest, CmykIsReadBackByLibtiffAsTheColoursWritten) {
  const Colour colours[] = {MakeColour(192, 128, 40), MakeColour(0, 0, 0),     MakeColour(255, 255, 255),
                            MakeColour(10, 200, 90),  MakeColour(1, 254, 127), MakeColour(0, 0, 1)};
  Image src;
  ASSERT_TRUE(src.Create(6, 2, 24));
  for (int32_t x = 0; x < 6; ++x) {
    src.Set(x, 0, colours[x]);
    src.Set(x, 1, colours[5 - x]);
  }
  const std::string path = Path("cmyk.tif");
  ASSERT_EQ(WriteImageFile(path, src, kFormatTiffLzwCmyk, 24, 0, false), kPixoOk);
  // libtiff's own reading of the inks, as every other reader takes them.
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  std::vector<uint32_t> raster(12);
  ASSERT_EQ(TIFFReadRGBAImageOriented(tif, 6, 2, raster.data(), ORIENTATION_TOPLEFT, 0), 1);
  TIFFClose(tif);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      const uint32_t p = raster[static_cast<size_t>(y) * 6 + x];
      EXPECT_EQ(MakeColour(TIFFGetR(p), TIFFGetG(p), TIFFGetB(p)), src.At(x, y)) << x << "," << y;
    }
  }
  Image back;
  ASSERT_EQ(ReadImageFile(path, 1, back), kPixoOk);
  EXPECT_EQ(MaxDifference(back, src), 0);
}

TEST_F(ImageFileTest, AppendingStartsAFileThatDoesNotExist) {
  const Image img = Fixture(Kind::Bitonal);
  const std::string path = Path("new.tif");
  ASSERT_EQ(WriteImageFile(path, img, kFormatTiffG4, 1, 0, true), kPixoOk);
  FileInfo info;
  ASSERT_EQ(ReadImageInfo(path, 1, info), kPixoOk);
  EXPECT_EQ(info.pageCount, 1);
  // A page 1 written again starts the file afresh.
  ASSERT_EQ(WriteImageFile(path, img, kFormatTiffG4, 1, 0, true), kPixoOk);
  ASSERT_EQ(WriteImageFile(path, img, kFormatTiffG4, 1, 0, false), kPixoOk);
  ASSERT_EQ(ReadImageInfo(path, 1, info), kPixoOk);
  EXPECT_EQ(info.pageCount, 1);
}

TEST_F(ImageFileTest, FilesAreKnownByTheirContentNotTheirName) {
  const Image img = Fixture(Kind::Colour);
  const std::string path = Path("looks_like.bmp");
  ASSERT_EQ(WriteImageFile(path, img, kFormatPng, 24, 0, false), kPixoOk);
  Image back;
  EXPECT_EQ(ReadImageFile(path, 1, back), kPixoOk);
  EXPECT_EQ(back, img);
  std::ofstream(Path("text.tif")) << "not an image at all";
  EXPECT_EQ(ReadImageFile(Path("text.tif"), 1, back), kPixoUnknownFormat);
  EXPECT_EQ(ReadImageFile(Path("absent.tif"), 1, back), kPixoFileNotFound);
  FileInfo info;
  EXPECT_EQ(ReadImageInfo(Path("absent.tif"), 1, info), kPixoFileNotFound);
  EXPECT_EQ(back, img);  // failed reads leave the target alone
}

// The same bytes whether a codec writes a file or memory, and the same
// image and description read back from either.
TEST_F(ImageFileTest, MemoryAndFilesHoldTheSameBytes) {
  const struct {
    int32_t format;
    Kind kind;
    int32_t bits;
  } cases[] = {
      {kFormatTiff, Kind::Colour, 24},     {kFormatTiffLzw, Kind::Palette8, 8}, {kFormatTiffG4, Kind::Bitonal, 1},
      {kFormatTiffPackBits, Kind::Grey4, 4}, {kFormatJpeg, Kind::Smooth, 24},  {kFormatJpeg, Kind::SmoothGrey, 8},
      {kFormatPng, Kind::Colour, 24},      {kFormatPng, Kind::Palette4, 4},     {kFormatBmp, Kind::Colour, 24},
      {kFormatBmpRle, Kind::Palette8, 8},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE("format " + std::to_string(c.format) + " bits " + std::to_string(c.bits));
    const Image src = Fixture(c.kind);
    const std::string path = Path("case" + std::to_string(n++));
    ASSERT_EQ(WriteImageFile(path, src, c.format, c.bits, 80, false), kPixoOk);
    std::vector<uint8_t> bytes = {'x'};  // the file follows what the vector held
    ASSERT_EQ(WriteImageMemory(bytes, src, c.format, c.bits, 80), kPixoOk);
    const std::vector<uint8_t> file = FileBytes(path);
    ASSERT_EQ(std::vector<uint8_t>(bytes.begin() + 1, bytes.end()), file);
    bytes.erase(bytes.begin());

    Image fromFile, fromMemory = Fixture(Kind::Bitonal);
    ASSERT_EQ(ReadImageFile(path, 1, fromFile), kPixoOk);
    ASSERT_EQ(ReadImageMemory(bytes, 1, fromMemory), kPixoOk);
    EXPECT_EQ(fromMemory, fromFile);
    FileInfo a, b;
    ASSERT_EQ(ReadImageInfo(path, 1, a), kPixoOk);
    ASSERT_EQ(ReadImageInfoMemory(bytes, 1, b), kPixoOk);
    EXPECT_EQ(std::tie(a.width, a.height, a.bits, a.page, a.pageCount, a.xdpi, a.ydpi, a.sizeOnDisk),
              std::tie(b.width, b.height, b.bits, b.page, b.pageCount, b.xdpi, b.ydpi, b.sizeOnDisk));
  }
  Image untouched = Fixture(Kind::Colour);
  const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
  EXPECT_EQ(ReadImageMemory(text, 1, untouched), kPixoUnknownFormat);
  EXPECT_EQ(untouched, Fixture(Kind::Colour));
}

// An uncompressed TIFF appended to bytes is the same file wherever the
// vector's room lies against the image's pixels: at a few bytes past them
// modulo a page, strips are copied in pieces.
TEST_F(ImageFileTest, AnUncompressedTiffIsTheSameFileWhereverItsBytesLie) {
  Image src;
  ASSERT_TRUE(src.Create(300, 300, 24));  // strips of 9 rows, 8100 bytes
  for (int32_t y = 0; y < 300; ++y) {
    uint8_t* p = src.row(y);
    for (int32_t i = 0; i < src.stride(); ++i) p[i] = static_cast<uint8_t>(i * 13 + y);
  }
  std::vector<uint8_t> plain;
  ASSERT_EQ(WriteImageMemory(plain, src, kFormatTiff, 24, 0), kPixoOk);
  for (uintptr_t distance : {1, 8, 15, 16, 0}) {
    SCOPED_TRACE("distance " + std::to_string(distance));
    std::vector<uint8_t> bytes;
    bytes.reserve(4096 + plain.size());
    // The first strip follows the file's 8-byte header.
    const uintptr_t start = reinterpret_cast<uintptr_t>(bytes.data()) + 8;
    const size_t lead = (reinterpret_cast<uintptr_t>(src.crow(0)) + distance - start) % 4096;
    bytes.assign(lead, 0xEE);
    ASSERT_EQ(WriteImageMemory(bytes, src, kFormatTiff, 24, 0), kPixoOk);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(lead), bytes.end()), plain);
  }
}

// An uncompressed RGB TIFF laid out as scanners write one, the directory
// before the strips, which follow each other; returns the file's size.
uint64_t DirectoryFirst(const std::string& path, const std::vector<uint8_t>& pixels, uint32_t w, uint32_t h,
                        uint32_t perStrip) {
  const uint32_t strips = (h + perStrip - 1) / perStrip, line = w * 3;
  std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put = [&](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const uint16_t entries = 9;
  const uint32_t arrays = 8 + 2 + entries * 12 + 4;  // bits, then offsets, then counts
  const uint32_t offsets = arrays + 6, counts = offsets + 4 * strips, data = counts + 4 * strips;
  put(entries, 2);
  const uint32_t tags[][4] = {{256, 4, 1, w},       {257, 4, 1, h},      {258, 3, 3, arrays},
                              {259, 3, 1, 1},       {262, 3, 1, 2},      {273, 4, strips, offsets},
                              {277, 3, 1, 3},       {278, 4, 1, perStrip}, {279, 4, strips, counts}};
  for (const auto& t : tags) {
    put(t[0], 2);
    put(t[1], 2);
    put(t[2], 4);
    put(t[3], 4);
  }
  put(0, 4);
  for (int i = 0; i < 3; ++i) put(8, 2);
  for (uint32_t k = 0; k < strips; ++k) put(data + uint64_t{k} * perStrip * line, 4);
  for (uint32_t k = 0; k < strips; ++k) put(uint64_t{std::min(perStrip, h - k * perStrip)} * line, 4);
  out.insert(out.end(), pixels.begin(), pixels.end());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()),
                                              static_cast<std::streamsize>(out.size()));
  return out.size();
}

// An uncompressed RGB page reads the same from a file, whose strips may be
// read in a few reads side by side, as from memory, where libtiff reads
// each strip: whatever order the strips lie in, whatever their fill order
// and size, and a file cut short is damaged either way. The page is large
// enough (9 MB) to be read in bands.
TEST_F(ImageFileTest, UncompressedStripsReadAsLibtiffReadsThem) {
  constexpr uint32_t kW = 2000, kH = 1500, kLine = kW * 3;
  std::vector<uint8_t> pixels(size_t{kLine} * kH);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + i / kLine);
  const struct {
    const char* name;
    uint32_t perStrip;
    bool backwards;     // strips written last to first
    uint16_t fillOrder;
    uint32_t pad;       // bytes each strip's count claims beyond its rows
    bool first;         // directory first (DirectoryFirst), not written by libtiff
    bool cut;           // such a file ends inside the last strip
    int16_t rc;
  } cases[] = {
      {"one row a strip", 1, false, FILLORDER_MSB2LSB, 0, false, false, kPixoOk},
      {"7 rows a strip, the last one short", 7, false, FILLORDER_MSB2LSB, 0, false, false, kPixoOk},
      {"strips last to first", 3, true, FILLORDER_MSB2LSB, 0, false, false, kPixoOk},
      {"bits in reverse order", 1, false, FILLORDER_LSB2MSB, 0, false, false, kPixoOk},
      {"counts beyond the rows", 5, false, FILLORDER_MSB2LSB, 16, false, false, kPixoOk},
      {"directory first", 2, false, FILLORDER_MSB2LSB, 0, true, false, kPixoOk},
      {"directory first, cut short", 2, false, FILLORDER_MSB2LSB, 0, true, true, kPixoDamagedFile},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path("strips.tif");
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kW);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, kH);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_FILLORDER, c.fillOrder);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, c.perStrip);
    const uint32_t strips = (kH + c.perStrip - 1) / c.perStrip;
    for (uint32_t k = 0; k < strips; ++k) {
      const uint32_t s = c.backwards ? strips - 1 - k : k;
      const uint32_t rows = std::min(c.perStrip, kH - s * c.perStrip);
      std::vector<uint8_t> strip(pixels.begin() + static_cast<std::ptrdiff_t>(size_t{s} * c.perStrip * kLine),
                                 pixels.begin() + static_cast<std::ptrdiff_t>((size_t{s} * c.perStrip + rows) * kLine));
      strip.resize(strip.size() + c.pad, 0xAB);
      ASSERT_GE(TIFFWriteRawStrip(t, s, strip.data(), static_cast<tmsize_t>(strip.size())), 0);
    }
    TIFFClose(t);
    if (c.first) {
      const uint64_t size = DirectoryFirst(path, pixels, kW, kH, c.perStrip);
      if (c.cut) fs::resize_file(path, size - 100);
    }
    const std::vector<uint8_t> bytes = FileBytes(path);
    Image fromFile, fromMemory;
    ASSERT_EQ(ReadImageMemory(bytes, 1, fromMemory), c.rc);
    ASSERT_EQ(ReadImageFile(path, 1, fromFile), c.rc);
    if (c.rc != kPixoOk) continue;
    EXPECT_EQ(fromFile, fromMemory);
    if (c.fillOrder == FILLORDER_MSB2LSB) {
      ASSERT_EQ(fromFile.width(), static_cast<int32_t>(kW));
      EXPECT_EQ(std::memcmp(fromFile.crow(0), pixels.data(), pixels.size()), 0);
    }
  }
}

// Grey and palette pages asked for in true colour come as ChangeDepth to 24
// bits makes them, whether a codec converts as it decodes or afterwards.
TEST_F(ImageFileTest, PagesReadInTrueColourAsTheConversionMakesThem) {
  const struct {
    int32_t format;
    Kind kind;
    int32_t bits;
  } cases[] = {
      {kFormatTiffG4, Kind::Bitonal, 1},   {kFormatTiffLzw, Kind::Bitonal, 1}, {kFormatTiffLzw, Kind::Grey4, 4},
      {kFormatTiff, Kind::Grey8, 8},       {kFormatTiffLzw, Kind::Palette4, 4}, {kFormatTiff, Kind::Palette8, 8},
      {kFormatBmp, Kind::Bitonal, 1},      {kFormatPng, Kind::Palette8, 8},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE("format " + std::to_string(c.format) + " bits " + std::to_string(c.bits));
    const std::string path = Path("page" + std::to_string(n++));
    ASSERT_EQ(WriteImageFile(path, Fixture(c.kind), c.format, c.bits, 0, false), kPixoOk);
    Image expected;
    ASSERT_EQ(ReadImageFile(path, 1, expected), kPixoOk);
    ASSERT_EQ(expected.bits(), c.bits);
    ASSERT_EQ(ChangeDepth(expected, 24, 0, 0, {}), kPixoOk);
    Image read;
    ASSERT_EQ(ReadImageFile(path, 1, 24, read), kPixoOk);
    EXPECT_EQ(read, expected);
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Ends the process with 0 when, in 256 MB of address space, `huge` reads
// as `img` and `claims` is refused as damaged.
[[noreturn]] void ReadWithLittleMemory(const std::string& huge, const std::string& claims, const Image& img) {
  const rlimit limit{256u << 20, 256u << 20};
  setrlimit(RLIMIT_AS, &limit);
  Image back;
  FileInfo info;
  const bool hugeRead = ReadImageInfo(huge, 1, info) == kPixoOk && info.width == 3 &&
                        ReadImageFile(huge, 1, back) == kPixoOk && back == img;
  const bool claimRefused = ReadImageFile(claims, 1, back) == kPixoDamagedFile && back == img;
  std::exit(hugeRead && claimRefused ? 0 : 1);
}

// A BMP far longer than its image is read only as far as the image needs,
// and a header that asks for more pixels than the file holds is refused
// before anything is allocated: neither needs more memory than the image.
// (Run in a child with little address space; sanitizers need more.)
TEST_F(ImageFileTest, BmpReadsOnlyWhatItsHeaderPromisesAndTheFileHolds) {
  Image img;
  img.Create(3, 2, 24);
  img.Set(2, 1, MakeColour(1, 2, 3));
  img.SetResolution(300, 300);  // 11811 pixels a metre read back as 300
  const std::string huge = Path("huge.bmp"), claims = Path("claims.bmp");
  ASSERT_EQ(WriteImageFile(huge, img, kFormatBmp, 24, 0, false), kPixoOk);
  fs::resize_file(huge, uint64_t{1} << 30);  // sparse: a gigabyte that takes no disk
  {
    std::vector<uint8_t> head(1024);
    std::ifstream(huge, std::ios::binary).read(reinterpret_cast<char*>(head.data()), 54);
    const uint32_t w = 20000, h = 6000;  // 360 MB of pixels
    std::memcpy(&head[18], &w, 4);
    std::memcpy(&head[22], &h, 4);
    std::ofstream(claims, std::ios::binary).write(reinterpret_cast<const char*>(head.data()), head.size());
  }
  EXPECT_EXIT(ReadWithLittleMemory(huge, claims, img), ::testing::ExitedWithCode(0), "");
}
#endif

// Two pages of every TIFF code, encoded apart and written in page order,
// are the bytes that the pages written one after the other are.
TEST(EncodedTiffPage, WritesTheBytesOfTheWriteItself) {
  orn_test::ScratchDir dir{"orn-encoded-page"};
  Image pages[2];
  for (int p = 0; p < 2; ++p) {
    ASSERT_TRUE(pages[p].Create(97 + 40 * p, 61, 24));
    for (int32_t y = 0; y < pages[p].height(); ++y) {
      for (int32_t x = 0; x < pages[p].width(); ++x) {
        const auto v = static_cast<uint8_t>((static_cast<uint32_t>(x * 7919 + y * 104729 + p) * 2654435761u) >> 24);
        pages[p].Set(x, y, MakeColour(v, static_cast<uint8_t>(x * 3), static_cast<uint8_t>(y * 5)));
      }
    }
    pages[p].SetResolution(300, 300);
  }
  const std::pair<int32_t, int32_t> codes[] = {
      {kFormatTiff, 24},   {kFormatTiff, 8},         {kFormatTiffDeflate, 24}, {kFormatTiffLzw, 24},
      {kFormatTiffLzw, 4}, {kFormatTiffLzwCmyk, 24}, {kFormatTiffPackBits, 24}, {kFormatTiffCcittRle, 1},
      {kFormatTiffG3, 1},  {kFormatTiffG3_2D, 1},    {kFormatTiffG4, 1},       {kFormatTiffJbig, 1},
  };
  for (const auto& [code, bits] : codes) {
    SCOPED_TRACE(std::to_string(code) + "/" + std::to_string(bits));
    const std::string direct = (dir.path() / "direct.tif").string(), apart = (dir.path() / "apart.tif").string();
    const std::string kept = (dir.path() / "kept.tif").string();
    for (int p = 0; p < 2; ++p) {
      ASSERT_EQ(WriteImageFile(direct, pages[p], code, bits, 75, p > 0), kPixoOk);
      ASSERT_EQ(WriteEncodedTiffPage(apart, EncodeTiffPage(pages[p], code, bits, 75), p > 0), kPixoOk);
      // Kept in an unnamed file of the folder, not in memory; a folder that
      // is not there keeps it in memory.
      const EncodedPage inFile = EncodeTiffPage(pages[p], code, bits, 75, dir.path().string());
      EXPECT_GE(inFile.fd, 0);
      EXPECT_TRUE(inFile.bytes.empty());
      ASSERT_EQ(WriteEncodedTiffPage(kept, inFile, p > 0), kPixoOk);
      const EncodedPage inMemory = EncodeTiffPage(pages[p], code, bits, 75, (dir.path() / "none").string());
      EXPECT_LT(inMemory.fd, 0);
      EXPECT_FALSE(inMemory.bytes.empty());
    }
    const std::vector<uint8_t> da = FileBytes(direct), db = FileBytes(apart), dc = FileBytes(kept);
    EXPECT_GT(da.size(), 200u);
    EXPECT_TRUE(da == db) << da.size() << " and " << db.size() << " bytes";
    EXPECT_TRUE(da == dc) << da.size() << " and " << dc.size() << " bytes";
  }
  size_t names = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++names;
  EXPECT_EQ(names, 3u);  // the pages kept aside left no file behind
  // A page that failed to encode writes nothing.
  EncodedPage failed;
  failed.rc = kPixoUnsupportedBits;
  EXPECT_EQ(WriteEncodedTiffPage((dir.path() / "none.tif").string(), failed, false), kPixoUnsupportedBits);
  EXPECT_FALSE(fs::exists(dir.path() / "none.tif"));
}

// A page kept in an unnamed file is copied through a window of 1 MiB: a page
// of many windows, its strips across their edges, and a JBIG page of one
// strip larger than the window come out as the direct write makes them.
TEST(EncodedTiffPage, PagesLargerThanTheCopysWindowWriteTheSameBytes) {
  orn_test::ScratchDir dir{"orn-encoded-large"};
  const struct {
    int32_t code, bits, width, height;
  } cases[] = {{kFormatTiffLzw, 24, 1500, 1000}, {kFormatTiffJbig, 1, 3200, 3000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.code));
    Image img;
    ASSERT_TRUE(img.Create(c.width, c.height, 24));
    uint32_t noise = 12345;
    for (int32_t y = 0; y < c.height; ++y) {
      uint8_t* p = img.row(y);
      for (int32_t i = 0; i < img.stride(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        p[i] = static_cast<uint8_t>(noise >> 24);
      }
    }
    const std::string direct = (dir.path() / "direct.tif").string(), kept = (dir.path() / "kept.tif").string();
    ASSERT_EQ(WriteImageFile(direct, img, c.code, c.bits, 75, false), kPixoOk);
    const EncodedPage page = EncodeTiffPage(img, c.code, c.bits, 75, dir.path().string());
    ASSERT_GE(page.fd, 0);
    ASSERT_EQ(WriteEncodedTiffPage(kept, page, false), kPixoOk);
    const std::vector<uint8_t> da = FileBytes(direct), db = FileBytes(kept);
    EXPECT_GT(da.size(), size_t{1} << 20);
    EXPECT_TRUE(da == db) << da.size() << " and " << db.size() << " bytes";
  }
}

}  // namespace
}  // namespace imaging

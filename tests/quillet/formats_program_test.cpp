// Whole-program tests of the image files users bring: Quillet runs from its
// command line, the operator drops a file on the sheet (or the sheet is
// pre-loaded from the INI file) and presses OK, and the test reads the
// saved file back with libtiff's own tools or the file's own layout.

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "platform/imaging/edits.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"
#include "tests/quillet/quillet_run.h"
#include "tests/support/exif_jpeg.h"
#include "tests/support/png_file.h"

namespace {

using namespace quillet_test;
using imaging::Colour;
using imaging::MakeColour;
using Bytes = std::vector<uint8_t>;

void WriteBytes(const fs::path& p, const Bytes& b) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A signature as image editors save it: black strokes on a transparent
// background whose hidden colour is black too. Strokes where stroke(x, y) says.
Bytes SignaturePng(int32_t w, int32_t h, const std::function<bool(int32_t, int32_t)>& stroke) {
  orn_test::PngSpec spec{.type = PNG_COLOR_TYPE_RGB_ALPHA, .depth = 8};
  spec.rows.assign(4 * static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) spec.rows[4 * (static_cast<size_t>(y) * w + x) + 3] = stroke(x, y) ? 255 : 0;
  }
  return orn_test::WritePng(spec, static_cast<uint32_t>(w), static_cast<uint32_t>(h));
}

// A 16-bit 5-6-5 bitmap (BI_BITFIELDS) of one row of pixels.
Bytes Bmp565(const std::vector<uint16_t>& pixels) {
  Bytes f{'B', 'M'};
  const auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto w = static_cast<uint32_t>(pixels.size());
  const uint32_t stride = (2 * w + 3) / 4 * 4, off = 14 + 40 + 12;
  put(off + stride, 4);
  put(0, 4);
  put(off, 4);
  for (uint32_t v : {40u, w, 1u}) put(v, 4);
  put(1, 2);
  put(16, 2);
  for (uint32_t v : {3u, stride, 2835u, 2835u, 0u, 0u, 0xF800u, 0x07E0u, 0x001Fu}) put(v, 4);
  for (uint16_t p : pixels) put(p, 2);
  f.resize(off + stride, 0);
  return f;
}

class FormatsRun : public QuilletRun {
 protected:
  FormatsRun() : QuilletRun("formats") {}

  // One document type of one sheet that takes dropped PNG, BMP and JPEG
  // files and saves as `format` with `options`; drops `file` and presses OK.
  int DropAndSave(const fs::path& file, const std::string& format, const std::string& options) {
    Ini("[General]\r\nDebugLevel=3\r\n[DEMO_1]\r\nPages=1\r\nType=SIG\r\nFormat=" + format + "\r\nOptions=" + options +
        "\r\nOleDrop=PNG/BMP/JPG/\r\nCheck=00000000000\r\n");
    Script("drop Thumb(0) " + file.string() + "\nclick DoOK\n");
    return Run({"DEMO", "12345", Out().string()});
  }
  // The saved TIFF as libtiff's RGBA reader hands it out.
  imaging::Image Libtiff(const std::string& name) const {
    const fs::path rgba = Root() / (name + ".rgba.tif");
    EXPECT_EQ(std::system(("tiff2rgba -c none " + (Out() / name).string() + " " + rgba.string()).c_str()), 0);
    imaging::Image img;
    EXPECT_EQ(imaging::ReadImageFile(rgba.string(), 1, img), imaging::kPixoOk) << name;
    return img;
  }
  std::string Diagnostics() const { return "stderr: " + Stderr() + "\nlog:\n" + ReadText(Bin() / "Quillet.log"); }
};

// The case that saved a wholly black picture: the transparent background
// comes out white, the strokes black.
TEST_F(FormatsRun, TransparentSignatureDroppedAndSavedIsBlackOnWhite) {
  auto stroke = [](int32_t x, int32_t y) { return y == x / 3 + 4 || (x > 20 && x < 24); };
  WriteBytes(Root() / "signature.png", SignaturePng(60, 30, stroke));
  ASSERT_EQ(DropAndSave(Root() / "signature.png", "TIF", "ENC-LZW"), 1) << Diagnostics();
  const imaging::Image saved = Libtiff("SIG_12345.TIF");
  ASSERT_EQ(saved.width(), 60);
  ASSERT_EQ(saved.height(), 30);
  int wrong = 0;
  for (int32_t y = 0; y < 30; ++y) {
    for (int32_t x = 0; x < 60; ++x) wrong += saved.At(x, y) != (stroke(x, y) ? imaging::kBlack : imaging::kWhite);
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(FormatsRun, SixteenBitBitmapDroppedKeepsItsColours) {
  WriteBytes(Root() / "card.bmp", Bmp565({0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410}));
  ASSERT_EQ(DropAndSave(Root() / "card.bmp", "TIF", "ENC-LZW"), 1) << Diagnostics();
  const imaging::Image saved = Libtiff("SIG_12345.TIF");
  ASSERT_EQ(saved.width(), 6);
  const Colour expected[] = {MakeColour(255, 0, 0), MakeColour(0, 255, 0), MakeColour(0, 0, 255),
                             imaging::kWhite,       imaging::kBlack,       MakeColour(132, 130, 132)};
  for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(saved.At(x, 0), expected[x]) << x;
}

// A phone photo stored on its side (orientation 6: turn a quarter
// clockwise) is saved upright.
TEST_F(FormatsRun, PhotoWithExifOrientationIsSavedUpright) {
  imaging::Image photo;
  photo.Create(64, 32, 24);
  imaging::Fill(photo, imaging::kWhite);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 32; ++x) photo.Set(x, y, imaging::kBlack);  // dark top-left quadrant
  }
  Bytes jpeg;
  ASSERT_EQ(imaging::WriteImageMemory(jpeg, photo, imaging::kFormatJpeg444, 24, 95), imaging::kPixoOk);
  WriteBytes(Root() / "photo.jpg", orn_test::WithExifOrientation(jpeg, 6));
  ASSERT_EQ(DropAndSave(Root() / "photo.jpg", "TIF", "ENC-LZW"), 1) << Diagnostics();
  const imaging::Image saved = Libtiff("SIG_12345.TIF");
  ASSERT_EQ(saved.width(), 32);
  ASSERT_EQ(saved.height(), 64);
  EXPECT_LT(imaging::GreyOf(saved.At(24, 16)), 40);   // the dark quadrant is now top right
  EXPECT_GT(imaging::GreyOf(saved.At(8, 16)), 215);
  EXPECT_GT(imaging::GreyOf(saved.At(24, 48)), 215);
}

// An RLE bitmap of a picture of twelve colours holds those colours exactly.
TEST_F(FormatsRun, RleBitmapKeepsThePicturesColours) {
  imaging::Image img;
  img.Create(24, 12, 24);
  auto colourAt = [](int32_t x, int32_t y) {
    const int k = (x / 2 + y) % 12;
    return MakeColour(static_cast<uint8_t>(17 * k + 3), static_cast<uint8_t>(250 - 19 * k), static_cast<uint8_t>(k * k));
  };
  for (int32_t y = 0; y < 12; ++y) {
    for (int32_t x = 0; x < 24; ++x) img.Set(x, y, colourAt(x, y));
  }
  ASSERT_EQ(imaging::WriteImageFile((Root() / "twelve.bmp").string(), img, imaging::kFormatBmp, 24, 0, false),
            imaging::kPixoOk);
  ASSERT_EQ(DropAndSave(Root() / "twelve.bmp", "BMP", "ENC-RLE"), 1) << Diagnostics();
  const std::string file = ReadText(Out() / "SIG_12345.BMP");
  ASSERT_GT(file.size(), 54u);
  EXPECT_EQ(static_cast<uint8_t>(file[28]), 8);  // bits per pixel
  EXPECT_EQ(static_cast<uint8_t>(file[30]), 1);  // RLE8
  imaging::Image saved;
  ASSERT_EQ(imaging::ReadImageFile((Out() / "SIG_12345.BMP").string(), 1, saved), imaging::kPixoOk);
  int wrong = 0;
  for (int32_t y = 0; y < 12; ++y) {
    for (int32_t x = 0; x < 24; ++x) wrong += saved.At(x, y) != colourAt(x, y);
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace

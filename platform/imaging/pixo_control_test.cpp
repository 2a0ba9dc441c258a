#include "platform/imaging/pixo_control.h"
#include "platform/imaging/save_faults.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/imaging/image.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/text.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/twain/twain.h"
#include "tests/support/sanitizers.h"
#include "tests/support/scratch_dir.h"

namespace imaging {
namespace {

namespace fs = std::filesystem;
using V = rt::Variant;

int32_t Id(Pixo p) { return static_cast<int32_t>(p); }

std::shared_ptr<PixoControl> New(const char* name) {
  RegisterPixoControl();
  auto c = std::dynamic_pointer_cast<PixoControl>(com::CreateControl(kPixoProgId));
  if (c) c->SetInstanceName(name);
  return c;
}

V Get(PixoControl& c, Pixo p, std::vector<V> args = {}) { return c.Get(Id(p), std::move(args)); }
void Put(PixoControl& c, Pixo p, V v) { c.Put(Id(p), std::move(v)); }
V Call(PixoControl& c, Pixo p, std::vector<V> args = {}) { return c.Call(Id(p), std::move(args)); }
int32_t Long(const V& v) {
  switch (v.kind()) {
    case V::Kind::Integer: return v.AsInteger();
    case V::Kind::Long: return v.AsLong();
    case V::Kind::Double: return static_cast<int32_t>(v.AsDouble());
    case V::Kind::Boolean: return v.AsBool() ? -1 : 0;
    default: return -99999;
  }
}
double Dbl(const V& v) { return v.kind() == V::Kind::Double ? v.AsDouble() : Long(v); }
int32_t PixelAt(PixoControl& c, double x, double y) { return Long(Get(c, Pixo::Pixel, {x, y})); }

int32_t RaisedBy(const std::function<void()>& f) {
  try {
    f();
  } catch (const rt::RuntimeError& e) {
    return e.number();
  }
  return 0;
}

constexpr int32_t kRed = 0x0000FF, kBlue = 0xFF0000, kPink = 246 + 156 * 256 + 156 * 65536;

// A 4 x 2 image, left half red, right half blue.
std::shared_ptr<PixoControl> RedBlue(const char* name = "L1") {
  auto c = New(name);
  Call(*c, Pixo::CreateImage, {4.0, 2.0, int16_t{24}});
  Call(*c, Pixo::FillImage, {kRed});
  auto blue = New("blue");
  Call(*blue, Pixo::CreateImage, {2.0, 2.0, int16_t{24}});
  Call(*blue, Pixo::FillImage, {kBlue});
  Call(*c, Pixo::Combine, {2.0, 0.0, 2.0, 2.0, Get(*blue, Pixo::BitmapHandle), 0.0, 0.0, int16_t{0}});
  return c;
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
  }
  std::string Path(const std::string& n) const { return (dir_ / n).string(); }
  orn_test::ScratchDir scratch_{"orn-pixo"};
  fs::path dir_;
};

TEST(PixoControl, RegisteredUnderItsProgramId) {
  auto a = New("a"), b = New("b");
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->Serial(), b->Serial());
  EXPECT_EQ(Long(Get(*a, Pixo::BitmapHandle)), 0);
}

TEST(PixoControl, UnknownMembersAndWrongUsesRaise) {
  auto c = RedBlue();
  struct Case {
    std::function<void()> use;
    int32_t error;
  } cases[] = {
      {[&] { c->Get(0); }, rt::kNoSuchMember},
      {[&] { c->Get(999); }, rt::kNoSuchMember},
      {[&] { c->Get(static_cast<int32_t>(0x80010003)); }, rt::kNoSuchMember},  // the container's Left
      {[&] { Put(*c, Pixo::ImageWidth, 5); }, rt::kNoSuchMember},            // read-only
      {[&] { Put(*c, Pixo::RotateImage, 5); }, rt::kNoSuchMember},           // a method
      {[&] { Call(*c, Pixo::RotateImage); }, rt::kInvalidCall},              // too few arguments
      {[&] { Call(*c, Pixo::MirrorImage, {1}); }, rt::kInvalidCall},
      {[&] { Get(*c, Pixo::ImageWidth, {1}); }, rt::kInvalidCall},
      {[&] { Put(*c, Pixo::ScaleMode, "abc"); }, rt::kTypeMismatch},
      {[&] { Put(*c, Pixo::ScaleMode, 2); }, rt::kInvalidPropertyValue},
      {[&] { Put(*c, Pixo::ZoomPercent, 0.0); }, rt::kInvalidPropertyValue},
      {[&] { Put(*c, Pixo::XResolution, 0); }, rt::kInvalidPropertyValue},
      {[&] { Put(*c, Pixo::BitmapHandle, 987654); }, rt::kInvalidPropertyValue},
      {[&] { c->Put(Id(Pixo::PaletteEntry), {int16_t{256}}, 0); }, rt::kSubscriptOutOfRange},
      {[&] { Get(*c, Pixo::ImageWidth); }, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(RaisedBy(cases[i].use), cases[i].error) << "case " << i;
}

TEST(PixoControl, AssignedHandleGivesAnIndependentCopy) {
  auto a = RedBlue("a");
  auto b = New("b");
  Put(*b, Pixo::BitmapHandle, Get(*a, Pixo::BitmapHandle));
  EXPECT_NE(Long(Get(*b, Pixo::BitmapHandle)), Long(Get(*a, Pixo::BitmapHandle)));
  EXPECT_EQ(Long(Call(*b, Pixo::RotateImage, {9000, int16_t{5}, 0xFFFFFF})), kPixoOk);
  EXPECT_EQ(Long(Get(*b, Pixo::ImageWidth)), 2);
  EXPECT_EQ(Long(Get(*a, Pixo::ImageWidth)), 4);  // the source is not turned
  EXPECT_EQ(PixelAt(*a, 3, 1), kBlue);
  Call(*a, Pixo::FillImage, {0x00FF00});
  EXPECT_EQ(PixelAt(*b, 0, 0), kRed);  // nor does the copy follow the source
  Put(*b, Pixo::BitmapHandle, 0);
  EXPECT_EQ(Long(Get(*b, Pixo::BitmapHandle)), 0);
  EXPECT_EQ(Long(Get(*b, Pixo::ImageWidth)), 0);
  const V gone = Get(*a, Pixo::BitmapHandle);
  Put(*a, Pixo::BitmapHandle, 0);
  EXPECT_EQ(RaisedBy([&] { Put(*b, Pixo::BitmapHandle, gone); }), rt::kInvalidPropertyValue);
}

TEST(PixoControl, PixelReadsAsBgrLong) {
  auto c = New("c");
  Call(*c, Pixo::CreateImage, {3.0, 2.0, int16_t{24}});
  Call(*c, Pixo::FillImage, {30 * 65536 + 20 * 256 + 10});
  EXPECT_EQ(PixelAt(*c, 2.9, 1.2), 0x1E140A);
  EXPECT_EQ(PixelAt(*c, -1, 0), -1);
  EXPECT_EQ(PixelAt(*c, 3, 0), -1);
  EXPECT_EQ(Get(*c, Pixo::Pixel, {0.0, 0.0}).kind(), V::Kind::Long);
}

TEST(PixoControl, EditMembers) {
  struct Case {
    const char* what;
    std::function<V(PixoControl&)> edit;
    int32_t width, height, bits, pixel00;
  } cases[] = {
      {"rotate right", [](PixoControl& c) { return Call(c, Pixo::RotateImage, {9000, int16_t{5}, 0xFFFFFF}); }, 2, 4, 24, kRed},
      {"rotate left", [](PixoControl& c) { return Call(c, Pixo::RotateImage, {-9000, int16_t{5}, 0xFFFFFF}); }, 2, 4, 24, kBlue},
      {"mirror", [](PixoControl& c) { return Call(c, Pixo::MirrorImage); }, 4, 2, 24, kBlue},
      {"flip", [](PixoControl& c) { return Call(c, Pixo::FlipImage); }, 4, 2, 24, kRed},
      {"crop", [](PixoControl& c) { return Call(c, Pixo::CropToRect, {2.0, 0.0, 2.0, 2.0}); }, 2, 2, 24, kBlue},
      {"resize", [](PixoControl& c) { return Call(c, Pixo::ResizeImage, {8.0, 4.0, int16_t{2}}); }, 8, 4, 24, kRed},
      {"grey", [](PixoControl& c) { return Call(c, Pixo::ConvertToGray, {int16_t{8}}); }, 4, 2, 8, 0x4C4C4C},
      {"black and white",
       [](PixoControl& c) {
         c.Put(Id(Pixo::PaletteEntry), {int16_t{0}}, 0);
         c.Put(Id(Pixo::PaletteEntry), {int16_t{1}}, 0xFFFFFF);
         return Call(c, Pixo::ChangeColorDepth, {int16_t{1}, int16_t{16}, int16_t{0}, int16_t{2}});
       },
       4, 2, 1, 0},
      {"palette", [](PixoControl& c) { return Call(c, Pixo::ChangeColorDepth, {int16_t{4}, int16_t{2}, int16_t{0}, int16_t{0}}); }, 4, 2, 4, kRed},
      {"brightness", [](PixoControl& c) { return Call(c, Pixo::AdjustBrightness, {int16_t{1000}}); }, 4, 2, 24, 0xFFFFFF},
      {"contrast", [](PixoControl& c) { return Call(c, Pixo::AdjustContrast, {int16_t{-1000}}); }, 4, 2, 24, 0x808080},
      {"gamma neutral", [](PixoControl& c) { return Call(c, Pixo::AdjustGamma, {int16_t{100}}); }, 4, 2, 24, kRed},
      {"compose", [](PixoControl& c) { return Call(c, Pixo::ComposeOp570, {10, 0, int16_t{6}}); }, 4, 2, 24, 0x0000F5},
      {"fill", [](PixoControl& c) { return Call(c, Pixo::FillImage, {0x00FF00}); }, 4, 2, 24, 0x00FF00},
      {"create", [](PixoControl& c) { return Call(c, Pixo::CreateImage, {5.0, 6.0, int16_t{8}}); }, 5, 6, 8, 0},
  };
  for (const Case& c : cases) {
    auto ctl = RedBlue();
    const V rc = c.edit(*ctl);
    EXPECT_EQ(rc.kind(), V::Kind::Integer) << c.what;
    EXPECT_EQ(Long(rc), kPixoOk) << c.what;
    EXPECT_EQ(Long(Get(*ctl, Pixo::ImageWidth)), c.width) << c.what;
    EXPECT_EQ(Long(Get(*ctl, Pixo::ImageHeight)), c.height) << c.what;
    EXPECT_EQ(Long(Get(*ctl, Pixo::ImageBits)), c.bits) << c.what;
    EXPECT_EQ(PixelAt(*ctl, 0, 0), c.pixel00) << c.what;
  }
}

TEST(PixoControl, ImageKindAndBitonalFlag) {
  auto c = RedBlue();
  EXPECT_EQ(Long(Get(*c, Pixo::ImageKind)), 4);
  EXPECT_EQ(Long(Get(*c, Pixo::BitonalFlag)), 0);
  Call(*c, Pixo::ChangeColorDepth, {int16_t{8}, int16_t{2}, int16_t{0}, int16_t{0}});
  EXPECT_EQ(Long(Get(*c, Pixo::ImageKind)), 2);
  Call(*c, Pixo::ConvertToGray, {int16_t{8}});
  EXPECT_EQ(Long(Get(*c, Pixo::ImageKind)), 3);
  Call(*c, Pixo::ConvertToGray, {int16_t{1}});
  EXPECT_EQ(Long(Get(*c, Pixo::ImageKind)), 1);
  EXPECT_EQ(Long(Get(*c, Pixo::BitonalFlag)), 1);
  Put(*c, Pixo::BitmapHandle, 0);
  EXPECT_EQ(Long(Get(*c, Pixo::ImageKind)), 0);
}

TEST(PixoControl, MethodsOnAnEmptyInstanceReportNoImage) {
  auto c = New("empty");
  const orn_test::ScratchDir scratch("orn-pixo");
  const std::string none = (scratch / "none.bmp").string();
  const std::pair<Pixo, std::vector<V>> calls[] = {
      {Pixo::RotateImage, {9000}},          {Pixo::MirrorImage, {}},
      {Pixo::CropToRect, {0.0, 0.0, 1.0, 1.0}}, {Pixo::SaveImageFile, {none, int16_t{6}}},
      {Pixo::ZoomToRect, {0.0, 0.0, 1.0, 1.0}}, {Pixo::SetRectRegion, {0.0, 0.0, 1.0, 1.0, int16_t{1}}},
      {Pixo::DrawShape, {0.0, 0.0, 1.0, 1.0}},  {Pixo::Combine, {0.0, 0.0, 1.0, 1.0, 1, 0.0, 0.0, int16_t{0}}},
  };
  for (const auto& [member, args] : calls) EXPECT_EQ(Long(Call(*c, member, args)), kPixoNoImage) << Id(member);
  EXPECT_FALSE(fs::exists(none));
}

TEST_F(TempDir, PagesAreSavedAppendedAndLoadedByNumber) {
  auto c = RedBlue();
  Put(*c, Pixo::XResolution, 300);
  Put(*c, Pixo::YResolution, 150);
  const std::string path = Path("sheets.tif");
  for (int16_t page = 1; page <= 3; ++page) {
    Put(*c, Pixo::SaveOption266, page);
    ASSERT_EQ(Long(Call(*c, Pixo::SaveImageFile, {path, int16_t{kFormatTiffG4}, int16_t{1}, int16_t{2}, int16_t{1}})), kPixoOk);
    Call(*c, Pixo::CropToRect, {0.0, 0.0, 3.0 - page, 2.0});  // each page narrower
  }
  auto view = New("view");
  ASSERT_EQ(Long(Call(*view, Pixo::GetFileInfo, {path, 2, 1})), kPixoOk);
  EXPECT_EQ(Long(Get(*view, Pixo::InfoPageCount)), 3);
  EXPECT_EQ(Long(Get(*view, Pixo::InfoPage)), 2);
  EXPECT_EQ(Long(Get(*view, Pixo::InfoWidth)), 2);
  EXPECT_EQ(Long(Get(*view, Pixo::InfoHeight)), 2);
  EXPECT_EQ(Long(Get(*view, Pixo::InfoBits)), 1);
  EXPECT_EQ(Long(Get(*view, Pixo::InfoSizeDisk)), static_cast<int32_t>(fs::file_size(path)));
  ASSERT_EQ(Long(Call(*view, Pixo::LoadImageFile, {path, int16_t{24}, 3, -1})), kPixoOk);
  EXPECT_EQ(Long(Get(*view, Pixo::ImageWidth)), 1);
  EXPECT_EQ(Long(Get(*view, Pixo::ImageBits)), 24);
  EXPECT_EQ(Long(Get(*view, Pixo::XResolution)), 300);
  EXPECT_EQ(Long(Get(*view, Pixo::YResolution)), 150);
  ASSERT_EQ(Long(Call(*view, Pixo::LoadImageFile, {path, int16_t{0}, 1, 1})), kPixoOk);
  EXPECT_EQ(Long(Get(*view, Pixo::ImageBits)), 1);
  EXPECT_EQ(Long(Get(*view, Pixo::ImageWidth)), 4);
  // Page 0 reads page 1; the numbers passed on unchecked by a caller stay safe.
  ASSERT_EQ(Long(Call(*view, Pixo::GetFileInfo, {path, 0, 1})), kPixoOk);
  EXPECT_EQ(Long(Get(*view, Pixo::InfoPage)), 1);

  // Without the page flag a save starts a new file.
  Put(*c, Pixo::SaveOption266, int16_t{2});
  ASSERT_EQ(Long(Call(*c, Pixo::SaveImageFile, {path, int16_t{kFormatTiffG4}, int16_t{1}, int16_t{0}, int16_t{0}})), kPixoOk);
  Call(*view, Pixo::GetFileInfo, {path, 1, 1});
  EXPECT_EQ(Long(Get(*view, Pixo::InfoPageCount)), 1);
}

// What a control shows of its view, as RGB24 pixels.
std::vector<uint32_t> Painted(PixoControl& c, int32_t w, int32_t h) {
  c.SetClientSize(w, h);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_t* cr = cairo_create(surface);
  c.Paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface) +
                                                         y * cairo_image_surface_get_stride(surface));
    out.insert(out.end(), row, row + w);
  }
  cairo_surface_destroy(surface);
  return out;
}

// A page of palette indices loaded as 24 bits is held as indices until its
// pixels are wanted; every way of looking at it sees the 24-bit page.
TEST_F(TempDir, APageOfIndicesLoadedAsTrueColourIsTheSameToEveryObserver) {
  struct Case {
    int32_t bits, format;
    std::vector<Colour> palette;
  };
  const Case cases[] = {
      {1, kFormatTiffG4, {}},
      {8, kFormatPng, {kBlack, 0x3366CC, kWhite, 0x00A0F0}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.bits);
    Image page;
    ASSERT_TRUE(page.Create(7, 5, k.bits));
    if (!k.palette.empty()) page.SetPalette(k.palette);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 7; ++x) page.row(y)[x] = static_cast<uint8_t>((x + 2 * y) % (k.bits == 1 ? 2 : 4));
    const std::string path = Path("indices.img");
    ASSERT_EQ(WriteImageFile(path, page, k.format, 0, 0, false), kPixoOk);
    Image expected;
    ASSERT_EQ(ReadImageFile(path, 1, 24, expected), kPixoOk);
    ASSERT_EQ(expected.bits(), 24);

    auto view = New("view");
    auto copy = New("copy");
    ASSERT_EQ(Long(Call(*view, Pixo::LoadImageFile, {path, int16_t{24}, 1, -1})), kPixoOk);
    EXPECT_EQ(Long(Get(*view, Pixo::ImageWidth)), 7);
    // Painted from the indices first, then again once the pixels were asked for.
    const std::vector<uint32_t> shown = Painted(*view, 9, 6);
    EXPECT_EQ(Long(Get(*view, Pixo::ImageBits)), 24);
    EXPECT_EQ(Painted(*view, 9, 6), shown);
    Put(*copy, Pixo::BitmapHandle, Get(*view, Pixo::BitmapHandle));
    ASSERT_NE(copy->CurrentImage(), nullptr);
    EXPECT_TRUE(*copy->CurrentImage() == expected);
    ASSERT_NE(view->CurrentImage(), nullptr);
    EXPECT_TRUE(*view->CurrentImage() == expected);
    EXPECT_EQ(PixelAt(*view, 1, 0), static_cast<int32_t>(expected.At(1, 0)));
  }
}

TEST_F(TempDir, FailedLoadsAndSavesReportAndKeepTheImage) {
  auto c = RedBlue();
  EXPECT_EQ(Long(Call(*c, Pixo::LoadImageFile, {Path("absent.tif"), int16_t{0}, 1, 1})), kPixoFileNotFound);
  EXPECT_EQ(Long(Call(*c, Pixo::LoadImageFile, {Path("absent.tif"), int16_t{7}, 1, 1})), kPixoBadArgument);
  EXPECT_EQ(Long(Call(*c, Pixo::SaveImageFile, {Path("a.gif"), int16_t{2}, int16_t{8}, int16_t{0}, int16_t{1}})), kPixoUnsupportedCode);
  EXPECT_EQ(Long(Call(*c, Pixo::GetFileInfo, {Path("absent.tif"), 1, 1})), kPixoFileNotFound);
  EXPECT_EQ(Long(Get(*c, Pixo::InfoWidth)), 0);
  EXPECT_EQ(Long(Get(*c, Pixo::ImageWidth)), 4);
  EXPECT_EQ(PixelAt(*c, 3, 0), kBlue);
}

TEST_F(TempDir, ASaveSetToFailStopsHalfWayLikeAFullDisk) {
  auto c = RedBlue();
  const std::string path = Path("pages.tif");
  FailSaveForTest(2);
  Put(*c, Pixo::SaveOption266, int16_t{1});
  ASSERT_EQ(Long(Call(*c, Pixo::SaveImageFile, {path, int16_t{kFormatTiff}, int16_t{24}, int16_t{0}, int16_t{1}})),
            kPixoOk);
  const auto onePage = fs::file_size(path);
  Put(*c, Pixo::SaveOption266, int16_t{2});
  EXPECT_EQ(Long(Call(*c, Pixo::SaveImageFile, {path, int16_t{kFormatTiff}, int16_t{24}, int16_t{0}, int16_t{1}})),
            kPixoWriteFailed);
  FailSaveForTest(0);
  // Part of the second page reached the file: it is longer than one page and torn.
  EXPECT_GT(fs::file_size(path), onePage);
  auto view = New("view");
  Call(*view, Pixo::GetFileInfo, {path, 1, 1});
  EXPECT_NE(Long(Get(*view, Pixo::InfoPageCount)), 2);
}

TEST(SaveFaultsDeathTest, ACountThatIsNotANumberIsABadSetting) {
  // A fresh process: the variable is read once, at the first save.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("ORN_PIXO_FAIL_SAVE", "zwei", 1);
  EXPECT_EXIT(SaveWithFaults("unused.tif", [] { return int16_t{0}; }), ::testing::ExitedWithCode(124),
              "^ORN_PIXO_FAIL_SAVE must be the number of the save that fails, 0 for none, not 'zwei'\n$");
  unsetenv("ORN_PIXO_FAIL_SAVE");
}

TEST(PixoControl, CropSequenceThroughTheRegion) {
  auto l2 = RedBlue("L2");
  Call(*l2, Pixo::ResizeImage, {10.0, 8.0, int16_t{0}});
  ASSERT_EQ(PixelAt(*l2, 4, 1), kRed);
  ASSERT_EQ(PixelAt(*l2, 5, 1), kBlue);
  ASSERT_EQ(Long(Call(*l2, Pixo::SetRectRegion, {3.0, 1.0, 4.0, 3.0, int16_t{1}})), kPixoOk);
  ASSERT_TRUE(Get(*l2, Pixo::HasRegion).AsBool());
  Put(*l2, Pixo::ImageValue106, Get(*l2, Pixo::BitmapHandle));
  Call(*l2, Pixo::FreeRegion);
  EXPECT_FALSE(Get(*l2, Pixo::HasRegion).AsBool());
  Put(*l2, Pixo::BitmapHandle, Get(*l2, Pixo::ImageValue106));
  EXPECT_EQ(Long(Get(*l2, Pixo::ImageWidth)), 4);
  EXPECT_EQ(Long(Get(*l2, Pixo::ImageHeight)), 3);
  EXPECT_EQ(PixelAt(*l2, 1, 0), kRed);
  EXPECT_EQ(PixelAt(*l2, 2, 0), kBlue);
  // A rectangle outside the image sets no region.
  EXPECT_NE(Long(Call(*l2, Pixo::SetRectRegion, {50.0, 50.0, 4.0, 3.0, int16_t{1}})), kPixoOk);
  EXPECT_FALSE(Get(*l2, Pixo::HasRegion).AsBool());
}

TEST(PixoControl, RegionShowsInDisplayPixelsAndTestsImagePixels) {
  auto c = New("L1");
  c->SetClientSize(400, 300);
  Call(*c, Pixo::CreateImage, {200.0, 100.0, int16_t{24}});
  Put(*c, Pixo::ScaleMode, 4);
  Put(*c, Pixo::ZoomPercent, 200.0);
  Call(*c, Pixo::SetRectRegion, {10.0, 20.0, 30.0, 40.0, int16_t{1}});
  Put(*c, Pixo::DstLeft, -30.0);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RegionLeft)), -10);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RegionTop)), 40);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RegionWidth)), 60);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RegionHeight)), 80);
  EXPECT_TRUE(Call(*c, Pixo::IsPointInRegion, {10.0, 20.0}).AsBool());
  EXPECT_TRUE(Call(*c, Pixo::IsPointInRegion, {39.5, 59.5}).AsBool());
  EXPECT_FALSE(Call(*c, Pixo::IsPointInRegion, {9.5, 20.0}).AsBool());
  // Zooming to the region as shown fills the view with it.
  ASSERT_EQ(Long(Call(*c, Pixo::ZoomToRect, {Get(*c, Pixo::RegionLeft), Get(*c, Pixo::RegionTop),
                                              Get(*c, Pixo::RegionWidth), Get(*c, Pixo::RegionHeight)})),
            kPixoOk);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::ZoomPercent)), 750);  // 300 / 40 x 100
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RegionLeft)), 0);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RegionTop)), 0);
  EXPECT_EQ(Long(Get(*c, Pixo::ScaleMode)), 4);
}

TEST(PixoControl, ViewFitsZoomsAndReportsItsGeometry) {
  auto c = New("L1");
  c->SetClientSize(500, 500);
  Call(*c, Pixo::CreateImage, {1000.0, 2000.0, int16_t{8}});
  Put(*c, Pixo::ScaleMode, 3);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::ZoomPercent)), 25);
  c->SetClientSize(200, 500);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::ZoomPercent)), 20);
  Put(*c, Pixo::ScaleMode, 4);
  Put(*c, Pixo::ZoomPercent, 50.0);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstWidth)), 500);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstHeight)), 1000);
  Put(*c, Pixo::DstTop, -100.0);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::SrcTop)), 200);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::SrcHeight)), 1000);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::SclWidth)), 200);
  Put(*c, Pixo::DclLeft, 0);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DclWidth)), 1000);
  Put(*c, Pixo::ScaleMode, 0);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::ZoomPercent)), 100);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstTop)), 0);
  const auto dump = c->DumpState();
  EXPECT_NE(std::find(dump.begin(), dump.end(), std::pair<std::string, std::string>("Image", "1000x2000x8 grey")), dump.end());
  EXPECT_NE(std::find(dump.begin(), dump.end(), std::pair<std::string, std::string>("Zoom", "100")), dump.end());
}

TEST(PixoControl, RepaintsAreCountedAndHeldBackWhileAutoRepaintIsOff) {
  auto c = RedBlue();
  Put(*c, Pixo::AutoRepaint, false);
  const int32_t before = c->AutoPaints();
  Put(*c, Pixo::ScaleMode, 3);
  Call(*c, Pixo::MirrorImage);
  EXPECT_EQ(c->AutoPaints(), before);
  Call(*c, Pixo::Repaint);
  Call(*c, Pixo::Repaint);
  EXPECT_EQ(c->RepaintCalls(), 2);
  Put(*c, Pixo::AutoRepaint, true);
  EXPECT_EQ(c->AutoPaints(), before + 1);
  Put(*c, Pixo::ZoomPercent, 50.0);
  EXPECT_EQ(c->AutoPaints(), before + 2);
}

// A container that records the events and, like a zoom-window handler,
// starts the rubber band at each press.
struct Container : com::EventSink {
  PixoControl* control = nullptr;
  bool startBand = false;
  std::vector<std::pair<int32_t, std::vector<V>>> events;
  void RaiseEvent(int32_t dispid, std::span<V> args) override {
    events.emplace_back(dispid, std::vector<V>(args.begin(), args.end()));
    if (startBand && dispid == static_cast<int32_t>(PixoEvent::MouseDown)) {
      Put(*control, Pixo::RubberBandEnabled, true);
      Put(*control, Pixo::RubberBandActive, true);
    }
  }
};

TEST(PixoControl, RubberBandFollowsADragStartedByTheHandler) {
  auto c = New("L1");
  Container host;
  host.control = c.get();
  host.startBand = true;
  c->SetEventSink(&host);
  c->SetClientSize(400, 300);
  Call(*c, Pixo::CreateImage, {800.0, 600.0, int16_t{24}});
  c->UserMouseDown(1, 2, 100, 50);
  c->UserMouseMove(1, 2, 160, 90);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RubberBandWidth)), 60);
  c->UserMouseUp(1, 2, 180, 100);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RubberBandLeft)), 100);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RubberBandTop)), 50);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RubberBandWidth)), 80);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::RubberBandHeight)), 50);
  EXPECT_GE(Long(Get(*c, Pixo::RubberBandState)), 1);
  ASSERT_EQ(host.events.size(), 3u);
  EXPECT_EQ(host.events[0].first, static_cast<int32_t>(PixoEvent::MouseDown));
  EXPECT_EQ(host.events[2].first, static_cast<int32_t>(PixoEvent::MouseUp));
  const std::vector<V> up = host.events[2].second;
  ASSERT_EQ(up.size(), 4u);
  EXPECT_EQ(up[0], V(int16_t{1}));
  EXPECT_EQ(up[1], V(int16_t{2}));
  EXPECT_DOUBLE_EQ(up[2].AsDouble(), 2700);  // twips
  EXPECT_DOUBLE_EQ(up[3].AsDouble(), 1500);
  c->SetEventSink(nullptr);
}

TEST(PixoControl, PanFollowsALeftDragWithinTheImage) {
  auto c = New("L1");
  c->SetClientSize(500, 500);
  Call(*c, Pixo::CreateImage, {1000.0, 800.0, int16_t{24}});
  Put(*c, Pixo::PanEnabled, true);
  c->UserMouseDown(1, 0, 300, 300);
  c->UserMouseMove(1, 0, 250, 280);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstLeft)), -50);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstTop)), -20);
  c->UserMouseMove(1, 0, -900, -900);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstLeft)), -500);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstTop)), -300);
  c->UserMouseMove(1, 0, 900, 900);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstLeft)), 0);
  c->UserMouseMove(1, 0, 250, 300);
  c->UserMouseUp(1, 0, 250, 300);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstLeft)), -50);
  // Without PanEnabled, or after the release, a move leaves the image where it is.
  c->UserMouseMove(1, 0, 100, 100);
  Put(*c, Pixo::PanEnabled, false);
  c->UserMouseDown(1, 0, 300, 300);
  c->UserMouseMove(1, 0, 200, 200);
  EXPECT_DOUBLE_EQ(Dbl(Get(*c, Pixo::DstLeft)), -50);
}

TEST(PixoControl, EventsReachTheContainerUnlessTheViewIsDisabled) {
  auto c = RedBlue();
  Container host;
  c->SetEventSink(&host);
  c->UserClick();
  c->UserDblClick();
  c->UserDropFile("/in/scan.tif");
  Put(*c, Pixo::ViewEnabled, false);
  c->UserMouseDown(1, 0, 1, 1);
  c->UserClick();
  ASSERT_EQ(host.events.size(), 3u);
  EXPECT_EQ(host.events[0].first, 9);
  EXPECT_EQ(host.events[1].first, 10);
  EXPECT_EQ(host.events[2].first, 42);
  EXPECT_EQ(host.events[2].second.at(0), V("/in/scan.tif"));
  c->SetEventSink(nullptr);
}

TEST(PixoControl, DebugShapesStayOutOfThePixels) {
  auto c = RedBlue();
  Put(*c, Pixo::DrawColor169, 0);
  ASSERT_EQ(Long(Call(*c, Pixo::DrawShape, {0.0, 0.0, 3.0, 1.0})), kPixoOk);
  EXPECT_EQ(PixelAt(*c, 0, 0), kRed);
  EXPECT_EQ(PixelAt(*c, 3, 1), kBlue);
  ASSERT_EQ(c->Overlay().size(), 1u);
  EXPECT_EQ(c->Overlay()[0].x2, 3);
  Call(*c, Pixo::RotateImage, {9000});
  EXPECT_TRUE(c->Overlay().empty());
}

TEST(PixoControl, ScannerMembersAnswerNoScanner) {
  setenv("ORN_SCANNER", "none", 1);
  twain::Reset();
  auto c = RedBlue();
  EXPECT_FALSE(Call(*c, Pixo::TwainAvailable, {1234}).AsBool());
  EXPECT_EQ(Long(Call(*c, Pixo::TwainAcquire, {1234})), kPixoNoScanner);
  EXPECT_EQ(Long(Call(*c, Pixo::TwainSelectSource, {1234})), kPixoNoScanner);
  EXPECT_EQ(Long(Call(*c, Pixo::TwainPrepare, {1234})), kPixoNoScanner);
  EXPECT_EQ(Long(Call(*c, Pixo::TwainEndSession, {1234})), kPixoOk);
  EXPECT_EQ(Get(*c, Pixo::TwainSourceName), V(""));
  EXPECT_EQ(PixelAt(*c, 0, 0), kRed);  // the acquire changed nothing
  const std::pair<Pixo, V> settings[] = {
      {Pixo::TwainOptionFlags, V(130)},   {Pixo::TwainPixelType, V(2)},
      {Pixo::TwainBits, V(int16_t{24})},  {Pixo::TwainResolution, V(300.0)},
      {Pixo::TwainFrameWidth, V(11907.0)}, {Pixo::TwainBrightness, V(-900.0)},
      {Pixo::TwainAppName, V("Quillet")}, {Pixo::TwainFeederEnabled, V(2)},
  };
  for (const auto& [member, value] : settings) {
    Put(*c, member, value);
    EXPECT_EQ(Get(*c, member), value) << Id(member);
  }
  Put(*c, Pixo::TwainContrast, 2000);  // a Long put, held as the Double it is
  EXPECT_EQ(Get(*c, Pixo::TwainContrast), V(2000.0));
}

// The scanner stack's test device, configured by a folder of the test's own
// (one per process: the stack reads the folder's name once).
class PixoScanner : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    orn_test::KeepSaneTestBackendMapped();
    std::string pattern = (fs::temp_directory_path() / "pixo-scan-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    std::ofstream(dir_ / "dll.conf") << "test\n";
    setenv("SANE_CONFIG_DIR", dir_.c_str(), 1);
  }
  static void TearDownTestSuite() {
    twain::Reset();
    fs::remove_all(dir_);
  }
  void SetUp() override {
    std::ofstream(dir_ / "test.conf") << "number_of_devices 1\nmode Gray\ndepth 8\nresolution 50\n"
                                         "geometry_max 300.0\nbr_x 80.0\nbr_y 100.0\n"
                                         "test-picture \"Color pattern\"\n";
    unsetenv("ORN_SCANNER");
    twain::Reset();
  }
  void TearDown() override { twain::Reset(); }
  static inline fs::path dir_;
};

TEST_F(PixoScanner, AcquireFillsTheControlWithTheAskedImage) {
  auto c = New("L1");
  EXPECT_TRUE(Call(*c, Pixo::TwainAvailable, {1234}).AsBool());
  EXPECT_EQ(Get(*c, Pixo::TwainSourceName), V("test:0"));
  struct Case {
    int32_t pixelType;
    int16_t bits;
    int32_t imageBits;
    int16_t kind;  // ImageKind: 1 black and white, 2 palette, 3 grey, 4 true colour
  } cases[] = {{2, 24, 24, 4}, {1, 8, 8, 3}, {1, 4, 4, 3}, {0, 1, 1, 1}, {3, 8, 8, 2}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.pixelType * 100 + k.bits);
    Put(*c, Pixo::TwainPixelType, k.pixelType);
    Put(*c, Pixo::TwainBits, k.bits);
    Put(*c, Pixo::TwainResolution, 100.0);
    Put(*c, Pixo::TwainFrameLeft, -1);
    Put(*c, Pixo::TwainFrameWidth, 5 * 567.0);   // 5 cm
    Put(*c, Pixo::TwainFrameHeight, 4 * 567.0);  // 4 cm
    Put(*c, Pixo::TwainBrightness, 2000);
    ASSERT_EQ(Long(Call(*c, Pixo::TwainAcquire, {1234})), kPixoOk);
    EXPECT_NEAR(Long(Get(*c, Pixo::ImageWidth)), 5 / 2.54 * 100, 1.5);
    EXPECT_NEAR(Long(Get(*c, Pixo::ImageHeight)), 4 / 2.54 * 100, 1.5);
    EXPECT_EQ(Long(Get(*c, Pixo::ImageBits)), k.imageBits);
    EXPECT_EQ(Long(Get(*c, Pixo::ImageKind)), k.kind);
    EXPECT_EQ(Long(Get(*c, Pixo::XResolution)), 100);
  }
}

TEST_F(PixoScanner, UnsetSettingsReadTheOpenSourcesValues) {
  auto c = New("L1");
  EXPECT_EQ(Get(*c, Pixo::TwainResolution), V(0.0));  // no source open yet
  ASSERT_EQ(Long(Call(*c, Pixo::TwainPrepare, {1234})), kPixoOk);
  EXPECT_EQ(Get(*c, Pixo::TwainResolution), V(50.0));
  EXPECT_EQ(Get(*c, Pixo::TwainPixelType), V(1));
  EXPECT_NEAR(rt::CDbl(Get(*c, Pixo::TwainFrameWidth)), 8 * 567.0, 1);
  Put(*c, Pixo::TwainResolution, 300.0);
  EXPECT_EQ(Get(*c, Pixo::TwainResolution), V(300.0));  // what was put stands
  EXPECT_EQ(Long(Call(*c, Pixo::TwainEndSession, {1234})), kPixoOk);
  EXPECT_FALSE(twain::IsOpen());
}

TEST_F(PixoScanner, FailedAcquireKeepsTheHeldImage) {
  std::ofstream(dir_ / "test.conf", std::ios::app) << "select-fd true\nread-status-code \"SANE_STATUS_JAMMED\"\n";
  twain::Reset();
  auto c = RedBlue();
  EXPECT_EQ(Long(Call(*c, Pixo::TwainAcquire, {1234})), kPixoScanFailed);
  EXPECT_EQ(PixelAt(*c, 0, 0), kRed);
}

TEST(PixoControl, FontObjectHoldsNameSizeAndBold) {
  auto c = New("L0");
  const V font = Get(*c, Pixo::Font);
  ASSERT_EQ(font.kind(), V::Kind::Object);
  com::Dispatch& f = *font.AsObject();
  f.Put(static_cast<int32_t>(PixoFont::Name), "Arial");
  f.Put(static_cast<int32_t>(PixoFont::Bold), true);
  f.Put(static_cast<int32_t>(PixoFont::Size), 10);
  EXPECT_EQ(f.Get(static_cast<int32_t>(PixoFont::Name)), V("Arial"));
  EXPECT_EQ(f.Get(static_cast<int32_t>(PixoFont::Size)), V(10.0));
  EXPECT_EQ(RaisedBy([&] { f.Put(static_cast<int32_t>(PixoFont::Size), 0); }), rt::kInvalidPropertyValue);
  EXPECT_EQ(RaisedBy([&] { f.Get(77); }), rt::kNoSuchMember);
  EXPECT_EQ(ResolvedFontFamily({"Arial", 10, true, false}), "Liberation Sans");
}

// The watermark of the viewer: a slanted text drawn into a 100 x 100 cell,
// laid over the page through a colour region, every other tile blended.
TEST(PixoControl, WatermarkCellTilesThePage) {
  auto l0 = New("L0");
  Call(*l0, Pixo::CreateImage, {100.0, 100.0, int16_t{24}});
  Call(*l0, Pixo::FillImage, {0xFFFFFF});
  Put(*l0, Pixo::TextOption217, 0);
  Put(*l0, Pixo::DrawOption164, true);
  Put(*l0, Pixo::TextLeft, 0);
  Put(*l0, Pixo::TextTop, 0);
  Put(*l0, Pixo::TextWidth, 100);
  Put(*l0, Pixo::TextHeight, 100);
  Put(*l0, Pixo::TextAngle, 450);
  com::Dispatch& font = *Get(*l0, Pixo::Font).AsObject();
  font.Put(static_cast<int32_t>(PixoFont::Name), "Arial");
  font.Put(static_cast<int32_t>(PixoFont::Bold), true);
  font.Put(static_cast<int32_t>(PixoFont::Size), 10);
  V text("Muster");
  const int32_t atTen = Long(Call(*l0, Pixo::TextWidthOf, {text}));
  EXPECT_GT(atTen, 40);
  EXPECT_LT(atTen, 100);
  int size = 10;
  while (100 > Long(Call(*l0, Pixo::TextWidthOf, {text}))) font.Put(static_cast<int32_t>(PixoFont::Size), ++size);
  EXPECT_GT(size, 10);
  font.Put(static_cast<int32_t>(PixoFont::Size), size - 1);
  EXPECT_LT(Long(Call(*l0, Pixo::TextWidthOf, {text})), 100);
  font.Put(static_cast<int32_t>(PixoFont::Size), size);
  Put(*l0, Pixo::TextAlign, 4);
  Put(*l0, Pixo::TextColor, kPink);
  ASSERT_EQ(Long(Call(*l0, Pixo::DrawText, {text, 0})), kPixoOk);

  // The text runs from the lower left to the upper right through the centre.
  // (x0, y0): the fully covered text pixel nearest the centre.
  int full = 0, x0 = -1, y0 = -1;
  double sx = 0, sy = 0, sxy = 0, n = 0;
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      const int32_t p = PixelAt(*l0, x, y);
      if (p == 0xFFFFFF) continue;
      ++n;
      sx += x;
      sy += y;
      sxy += double{1} * x * y;
      if (p != kPink) continue;
      ++full;
      if (x0 < 0 || std::hypot(x - 50, y - 50) < std::hypot(x0 - 50, y0 - 50)) {
        x0 = x;
        y0 = y;
      }
    }
  }
  ASSERT_GT(full, 200);
  EXPECT_NEAR(sx / n, 50, 8);
  EXPECT_NEAR(sy / n, 50, 8);
  EXPECT_LT(sxy / n - (sx / n) * (sy / n), -100);  // x grows as y falls

  auto l1 = New("L1");
  Call(*l1, Pixo::CreateImage, {250.0, 120.0, int16_t{24}});
  Call(*l1, Pixo::FillImage, {0x808080});
  ASSERT_EQ(Long(Call(*l0, Pixo::SetColorRegion, {int16_t{6}, 0xFFFFFF})), kPixoOk);
  const V cell = Get(*l0, Pixo::BitmapHandle);
  for (int x = 0; x <= 250 + 100; x += 100) {
    for (int y = 0; y <= 120 + 100; y += 100) {
      const int16_t flags = (x / 100 + y / 100) % 2 ? 512 : 0;
      Call(*l1, Pixo::Combine, {double(x), double(y), 100.0, 100.0, cell, 0.0, 0.0, flags});
    }
  }
  Call(*l0, Pixo::FreeRegion);
  EXPECT_EQ(PixelAt(*l1, x0, y0), kPink);                              // tile (0, 0): copied
  EXPECT_EQ(PixelAt(*l1, 100 + x0, y0), 187 + 142 * 256 + 142 * 65536);  // tile (100, 0): blended
  EXPECT_EQ(PixelAt(*l1, 1, 1), 0x808080);  // white cell pixels leave the page alone

  // A bitonal page turns the text black for good.
  Put(*l0, Pixo::TextColor, 0);
  Call(*l0, Pixo::DrawText, {text, 0});
  EXPECT_EQ(PixelAt(*l0, x0, y0), 0);
}

TEST(PixoControl, JournalRecordsEveryInvokeInOrder) {
  auto c = RedBlue("L1");
  const std::string me = "L1#" + std::to_string(c->Serial());
  StartJournal();
  Put(*c, Pixo::ScaleMode, 3);
  Get(*c, Pixo::ImageWidth);
  Call(*c, Pixo::LoadImageFile, {"/nowhere/a \"b\".tif", int16_t{0}, 1, 1});
  c->Put(Id(Pixo::PaletteEntry), {int16_t{1}}, 0xFFFFFF);
  Put(*c, Pixo::ZoomPercent, 62.5);
  RaisedBy([&] { c->Get(999); });
  const std::vector<std::string> lines = StopJournal();
  const std::vector<std::string> expected = {
      me + " put 154 ScaleMode 3&",
      me + " get 10 ImageWidth -> 4&",
      me + " call 338 LoadImageFile(\"/nowhere/a \"\"b\"\".tif\", 0%, 1&, 1&) -> -3%",
      me + " put 513 PaletteEntry(1%) 16777215&",
      me + " put 155 ZoomPercent 62.5#",
      me + " get 999 -> error 438",
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(TempDir, JournalFileFromTheEnvironment) {
  auto c = RedBlue("Thumb(2)");
  const std::string file = Path("journal.txt"), other = Path("other.txt");
  ::setenv("ORN_PIXO_JOURNAL", file.c_str(), 1);
  Get(*c, Pixo::ImageHeight);
  ::setenv("ORN_PIXO_JOURNAL", other.c_str(), 1);  // the variable changes its value
  Get(*c, Pixo::ImageBits);
  ::unsetenv("ORN_PIXO_JOURNAL");
  Get(*c, Pixo::ImageWidth);
  const std::string me = "Thumb(2)#" + std::to_string(c->Serial());
  for (const auto& [path, expected] : {std::pair{file, me + " get 11 ImageHeight -> 2&"},
                                       std::pair{other, me + " get 12 ImageBits -> 24%"}}) {
    std::ifstream in(path);
    std::string line, rest;
    std::getline(in, line);
    EXPECT_EQ(line, expected);
    EXPECT_FALSE(std::getline(in, rest)) << rest;
  }
}

}  // namespace
}  // namespace imaging

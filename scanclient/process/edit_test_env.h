#pragma once
// Fixture of the edit, trim and check tests: the main window of the window
// tests with one sheet of document type 1, and images made by the test and
// put into the sheet's controls.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/imaging/image.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_control.h"
#include "platform/runtime/convert.h"
#include "platform/slider/slider.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/window_test_env.h"

namespace quillet::testing {

// A 24-bit image of `rows` (one string per row, one letter per pixel)
// coloured by `palette` ('a' = palette[0], ...).
inline imaging::Image Grid(const std::vector<std::string>& rows, const std::vector<imaging::Colour>& palette) {
  imaging::Image img;
  img.Create(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()), 24);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      img.Set(static_cast<int32_t>(x), static_cast<int32_t>(y), palette[static_cast<size_t>(rows[y][x] - 'a')]);
  return img;
}

// A w x h image of one grey level (24 bits).
inline imaging::Image Plain(int32_t w, int32_t h, uint8_t level) {
  imaging::Image img;
  img.Create(w, h, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) img.Set(x, y, imaging::MakeColour(level, level, level));
  return img;
}

// Paints the rectangle [x0, x1] x [y0, y1] in one grey level.
inline void Paint(imaging::Image& img, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t level) {
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) img.Set(x, y, imaging::MakeColour(level, level, level));
}

// Same size and the same colour in every pixel (resolution and palette
// layout aside).
inline ::testing::AssertionResult Same(const imaging::Image& a, const imaging::Image& b) {
  if (a.width() != b.width() || a.height() != b.height())
    return ::testing::AssertionFailure() << a.width() << "x" << a.height() << " vs " << b.width() << "x" << b.height();
  for (int32_t y = 0; y < a.height(); ++y)
    for (int32_t x = 0; x < a.width(); ++x)
      if (a.At(x, y) != b.At(x, y))
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << ": " << a.At(x, y) << " vs " << b.At(x, y);
  return ::testing::AssertionSuccess();
}

class SheetTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    w->L1.Tag = "0";
    w->Page(0).Tag = " 1";
    w->Thumb(0).Tag = " 1";
    App.DocTypeTable[1][Doc::Check] = "11111111111";
  }

  // The control's image (the test fails when there is none).
  const imaging::Image& ImageOf(forms::OleControl& c) {
    const imaging::Image* img = Pixo(c).CurrentImage();
    EXPECT_NE(img, nullptr) << c.FullName();
    static const imaging::Image none;
    return img ? *img : none;
  }
  static imaging::PixoControl& Pixo(forms::OleControl& c) { return dynamic_cast<imaging::PixoControl&>(*c.Object()); }

  // Loads `img` into the control through a BMP file of `bits` (0: as held).
  void Load(forms::OleControl& c, const imaging::Image& img, int32_t bits = 0) {
    const std::string path = (Prog() / "fixture.bmp").string();
    ASSERT_EQ(imaging::WriteImageFile(path, img, imaging::kFormatBmp, bits, 0, false), imaging::kPixoOk);
    ASSERT_EQ(rt::CLng(PixCall(c, imaging::Pixo::LoadImageFile, {path, int16_t{0}, int32_t{1}, int32_t{1}})), 0);
  }
  // The sheet as a scan leaves it: the same image in the untouched scan,
  // the base, the thumbnail and the view.
  void Scanned(const imaging::Image& img, int32_t bits = 0) {
    Load(w->Thsav(0), img, bits);
    for (forms::OleControl* c : {&w->Thbas(0), &w->Thumb(0), &w->L1})
      PixPut(*c, imaging::Pixo::BitmapHandle, PixGet(w->Thsav(0), imaging::Pixo::BitmapHandle));
    w->Thsav(0).Left = 1;
  }
  int32_t SliderValue(forms::OleControl& s) { return rt::CLng(s.Get(slider::kValue)); }
  void Slide(forms::OleControl& s, int32_t value, bool hold = false) {
    forms::OperatorAction a;
    a.kind = forms::OperatorAction::Slide;
    a.value = value;
    a.hold = hold;
    s.Operate(a);
  }
};

}  // namespace quillet::testing

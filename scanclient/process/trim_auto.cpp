// The automatic border trim of the shown sheet: a small grey sample of the
// view shows on each side how many outer columns or rows are (almost) free
// of dark pixels; view and base are cut to what remains.

#include <string>

#include "platform/forms/screen.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/runtime/convert.h"
#include "platform/uiscript/uiscript.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/quillet2.h"
#include "scanclient/process/edit_view.h"

namespace quillet {
namespace {

using imaging::Pixo;
using rt::CStr;

constexpr int16_t kHourglass = 11;

std::string Num(double v) { return CStr(v); }

}  // namespace

void Quillet1::AutoTrim() {
  ProcScope p("AutoTrim", Tail::ExitNow);
  p.Run([&] {
    if (!HoldsImage(L1)) return;
    const int16_t k = ShownSheet(*this);
    forms::Screen().MousePointer = kHourglass;
    PixCall(L1, Pixo::FreeRegion);
    // The old crop rectangle does not fit the trimmed image.
    Thsav(k).Tag = "";
    Status.Text = "Trimming:" + Num(App.TrimSample);
    Status.Refresh();

    const double s = MakeGreySample(*this, App.TrimSample, false, "_AT.bmp");
    Quillet2& q2 = SampleWindow();
    forms::OleControl& sample = q2.L2;
    PixPut(sample, Pixo::ViewOption56, int16_t{3});
    PixPut(sample, Pixo::DrawOption164, true);
    PixPut(sample, Pixo::DrawOption166, int16_t{0});
    PixPut(sample, Pixo::DrawOption165, int16_t{1});
    PixPut(sample, Pixo::DrawOption170, int16_t{0});
    PixPut(sample, Pixo::DrawColor169, int32_t{0});

    // The colour value of grey level TrimLevel: below it a grey pixel is dark.
    const int32_t threshold = App.TrimLevel * 65536 + App.TrimLevel * 256 + App.TrimLevel;
    const int16_t sw = rt::CInt(PixGet(sample, Pixo::ImageWidth));
    const int16_t sh = rt::CInt(PixGet(sample, Pixo::ImageHeight));
    auto dark = [&](int32_t x, int32_t y) {
      return rt::CLng(PixGet(sample, Pixo::Pixel, {static_cast<double>(x), static_cast<double>(y)})) < threshold;
    };
    // Every pixel of a visited line is read; a line with more than
    // TrimPixel dark pixels is content.
    auto column = [&](int32_t x) {
      int32_t count = 0;
      for (int32_t y = 0; y <= sh - 1; ++y) count += dark(x, y) ? 1 : 0;
      return count <= App.TrimPixel;
    };
    int16_t left = 0, top = 0;
    int32_t right = sw - 1, bottom = sh - 1;
    auto row = [&](int32_t y) {
      int32_t count = 0;
      for (int32_t x = left; x <= right; ++x) count += dark(x, y) ? 1 : 0;
      return count <= App.TrimPixel;
    };
    // No side gives up more than 45 % of the sample.
    for (int32_t x = 0; x <= rt::CInt((sw - 1) * 0.45) && column(x); ++x) left = static_cast<int16_t>(x + 1);
    if (left > 0) PixCall(sample, Pixo::DrawShape, {0.0, 0.0, static_cast<double>(left), sh - 1.0});
    for (int32_t x = sw - 1; x >= rt::CInt((sw - 1) * 0.55) && column(x); --x) right = x - 1;
    if (right < sw - 1) PixCall(sample, Pixo::DrawShape, {static_cast<double>(right), 0.0, sw - 1.0, sh - 1.0});
    for (int32_t y = 0; y <= rt::CInt((sh - 1) * 0.45) && row(y); ++y) top = static_cast<int16_t>(y + 1);
    if (top > 0) PixCall(sample, Pixo::DrawShape, {0.0, 0.0, sw - 1.0, static_cast<double>(top)});
    for (int32_t y = sh - 1; y >= rt::CInt((sh - 1) * 0.55) && row(y); --y) bottom = y - 1;
    if (bottom < sh - 1) PixCall(sample, Pixo::DrawShape, {0.0, static_cast<double>(bottom), sw - 1.0, sh - 1.0});

    const std::string trim = Num(left) + "," + Num(top) + "/" + Num(right) + "," + Num(bottom);
    Status.Text = "Sample trim: Size=" + Num(sw) + "," + Num(sh) + ", Trim=" + trim;
    Status.Refresh();
    if (App.DebugLevel > 8) {
      uiscript::MessageBox(Num(sw) + "," + Num(sh) + ",Trim=" + trim, uiscript::kOkOnly, App.ProductName);
    }

    // On a very narrow sample the opposite scans of a blank page can cross;
    // the cut then keeps one line rather than none.
    const double keptWidth = right - left + 1 > 0 ? right - left + 1 : 1;
    const double keptHeight = bottom - top + 1 > 0 ? bottom - top + 1 : 1;
    PixCall(sample, Pixo::CropToRect, {static_cast<double>(left), static_cast<double>(top), keptWidth, keptHeight});
    PixCall(sample, Pixo::Repaint);
    q2.Hide();

    const std::vector<rt::Variant> cut{left / s, top / s, keptWidth / s, keptHeight / s};
    PixCall(L1, Pixo::CropToRect, cut);
    PixCall(Thbas(k), Pixo::CropToRect, cut);
    PixCall(L1, Pixo::Repaint);
    L1Thumb(1);
    forms::Screen().MousePointer = 0;
    if (App.DebugLevel > 7) LogLine("END-AutoTrim");
  });
}

}  // namespace quillet

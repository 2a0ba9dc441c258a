// The automatic quality check of the shown sheet: a grey sample of the view
// gives the shares of light, dark and middle pixels; they and the image's
// size and proportions are held against the limits of the configuration and
// of the sheet's document type.

#include <cmath>
#include <string>

#include "platform/forms/screen.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/runtime/files.h"
#include "platform/runtime/strings.h"
#include "platform/uiscript/uiscript.h"
#include "scanclient/acquire/view_geometry.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/quillet2.h"
#include "scanclient/process/check_report.h"
#include "scanclient/process/edit_view.h"

namespace quillet {
namespace {

using imaging::Pixo;
using rt::CStr;

constexpr int16_t kHourglass = 11;

// Flag character i (1-based) of a Check field; '\0' past its end. A check
// runs when its flag is above "0"; a flag above "1" turns its failure into
// a Yes/No question.
char Flag(const std::string& check, int i) {
  return i <= static_cast<int>(check.size()) ? check[static_cast<size_t>(i - 1)] : '\0';
}
bool Runs(char flag) { return static_cast<unsigned char>(flag) > '0'; }

// One of the six size rules: four columns from `column`, read with Val.
int32_t SizeRule(const std::string& size, int32_t column) { return rt::CLng(rt::Val(rt::Mid(size, column, 4))); }

}  // namespace

int16_t Quillet1::AutoCheck(int16_t mode) {
  int16_t result = 0;
  ProcScope p("AutoCheck", Tail::ExitNow, CStr(static_cast<double>(mode)));
  p.Run([&] {
    if (!HoldsImage(L1)) return;
    const int16_t k = ShownSheet(*this);
    forms::Screen().MousePointer = kHourglass;
    Status.Text = "Checking:" + CStr(static_cast<double>(App.CheckSample));
    Status.Refresh();

    // The check turns a sample of fewer than 24 bits into 24 bits before
    // the grey; the trim does not.
    MakeGreySample(*this, App.CheckSample, true, "_AC.bmp");
    Quillet2& q2 = SampleWindow();
    forms::OleControl& sample = q2.L2;

    Histogram histogram{};
    const int16_t sw = rt::CInt(PixGet(sample, Pixo::ImageWidth));
    const int16_t sh = rt::CInt(PixGet(sample, Pixo::ImageHeight));
    const int32_t pixels = rt::MulLong(sw, sh);
    for (App.TmpW = 0; App.TmpW < sw; ++App.TmpW) {
      for (App.TmpH = 0; App.TmpH < sh; ++App.TmpH) {
        const int32_t colour = rt::CLng(PixGet(sample, Pixo::Pixel, {static_cast<double>(App.TmpW), static_cast<double>(App.TmpH)}));
        ++histogram[static_cast<size_t>(colour & 255)];
      }
    }
    if (pixels == 0) rt::Raise(rt::kDivisionByZero);
    const Shares shares = ComputeShares(histogram, pixels, App.WhiteLevel, App.BlackLevel);

    Status.Text = "AutoCheck:  Size=" + CStr(static_cast<double>(sw)) + "," + CStr(static_cast<double>(sh)) + "; ";
    Status.Text = Status.Text.Get() + ",Light (" + CStr(static_cast<double>(App.WhiteLevel)) + ")=" +
                  CStr(shares.light) + "% [" + CStr(App.WhiteMin) + "-" + CStr(App.WhiteMax) + "]";
    Status.Text = Status.Text.Get() + ",Dark  (" + CStr(static_cast<double>(App.BlackLevel)) + ")=" +
                  CStr(shares.dark) + "% [" + CStr(App.BlackMin) + "-" + CStr(App.BlackMax) + "]";
    Status.Text = Status.Text.Get() + ",Middle=" + CStr(shares.mid) + "% [" + CStr(App.MidMin) + "-" +
                  CStr(App.MidMax) + "]" + "%";
    Status.Refresh();
    if (App.DebugLevel > 8) {
      uiscript::MessageBox("Light=" + CStr(shares.light) + "% ,Dark=" + CStr(shares.dark) + "%, Middle=" +
                               CStr(shares.mid) + "%",
                           uiscript::kOkOnly, App.ProductName);
    }
    q2.Hide();
    if (App.DebugLevel > 6) {
      rt::WriteAllText(JoinPath(App.ProgramDir, App.ProductName + "_AC.txt"),
                       CheckReport(NowGeneral(), Status.Text, histogram));
    }

    // The checks in their running order; the last one that fails decides.
    const int16_t row = rt::CInt(rt::Variant(Thumb(k).Tag.Get()));
    if (row < 0 || row >= static_cast<int16_t>(App.DocTypeTable.size())) rt::Raise(rt::kSubscriptOutOfRange);
    const std::string check = App.DocTypeTable[static_cast<size_t>(row)][Doc::Check];
    const std::string size = App.DocTypeTable[static_cast<size_t>(row)][Doc::Size];
    const double width = rt::CDbl(PixGet(L1, Pixo::ImageWidth));
    const double height = rt::CDbl(PixGet(L1, Pixo::ImageHeight));
    std::string detail;
    auto fail = [&](int16_t number, std::string text) {
      result = number;
      detail = std::move(text);
    };
    if (Runs(Flag(check, 1)) && rt::CInt(PixGet(L1, Pixo::ImageKind)) > 2 &&
        rt::CInt(PixGet(L1, Pixo::BitonalFlag)) == 0 && (shares.mid < App.MidMin || shares.mid > App.MidMax)) {
      fail(1, CStr(shares.mid) + " : " + CStr(App.MidMin) + " - " + CStr(App.MidMax));
    }
    if (Runs(Flag(check, 2)) && width > App.MaxSizeX) fail(2, CStr(width) + " > " + CStr(static_cast<double>(App.MaxSizeX)));
    if (Runs(Flag(check, 3)) && height > App.MaxSizeY) fail(3, CStr(height) + " > " + CStr(static_cast<double>(App.MaxSizeY)));
    if (Runs(Flag(check, 4)) && shares.light < App.WhiteMin) fail(4, CStr(shares.light) + " < " + CStr(App.WhiteMin));
    if (Runs(Flag(check, 5)) && shares.light > App.WhiteMax) fail(5, CStr(shares.light) + " > " + CStr(App.WhiteMax));
    if (Runs(Flag(check, 6)) && shares.dark < App.BlackMin) fail(6, CStr(shares.dark) + " < " + CStr(App.BlackMin));
    if (Runs(Flag(check, 7)) && shares.dark > App.BlackMax) fail(7, CStr(shares.dark) + " > " + CStr(App.BlackMax));
    if (!size.empty()) {
      App.SizeAspectX = SizeRule(size, 1);
      App.SizeAspectY = SizeRule(size, 6);
      App.SizeMinWidth = SizeRule(size, 11);
      App.SizeMinHeight = SizeRule(size, 16);
      App.SizeMaxWidth = SizeRule(size, 21);
      App.SizeMaxHeight = SizeRule(size, 26);
      // Checks 2 and 3 hold the whole image; the size rules hold the crop.
      App.ViewWidth = rt::CLng(width);
      App.ViewHeight = rt::CLng(height);
      App.CropTagBuf = Thsav(k).Tag;
      double cw = App.ViewWidth, ch = App.ViewHeight;
      if (std::optional<CropRect> crop = ReadCropTag(App.CropTagBuf)) {
        cw = crop->width;
        ch = crop->height;
      }
      if (Runs(Flag(check, 10)) && App.SizeAspectX > 0 && App.SizeAspectY > 0) {
        if (ch == 0) rt::Raise(rt::kDivisionByZero);
        const double aspect = static_cast<double>(App.SizeAspectX) / App.SizeAspectY;
        if (std::abs(cw / ch - aspect) > 0.05) {
          fail(10, CStr(rt::Int(cw / ch * 100) / 100) + " <> " + CStr(rt::Int(aspect * 100) / 100));
        }
      }
      if (Runs(Flag(check, 8)) && (cw < App.SizeMinWidth || ch < App.SizeMinHeight)) {
        fail(8, CStr(cw) + "x" + CStr(ch) + " < " + CStr(static_cast<double>(App.SizeMinWidth)) + "x" +
                    CStr(static_cast<double>(App.SizeMinHeight)));
      }
      if (Runs(Flag(check, 9)) && (cw > App.SizeMaxWidth || ch > App.SizeMaxHeight)) {
        fail(9, CStr(cw) + "x" + CStr(ch) + " > " + CStr(static_cast<double>(App.SizeMaxWidth)) + "x" +
                    CStr(static_cast<double>(App.SizeMaxHeight)));
      }
    }

    if (result != 0) {
      App.rc2 = 0;
      const char flag = Flag(check, result);
      if (App.DebugLevel > 2) {
        LogLine("Autocheck:" + CStr(static_cast<double>(result)) + ";" + std::string(flag ? 1 : 0, flag) + "=" + detail);
      }
      const std::string& message = App.Messages[static_cast<size_t>(result)];
      if (mode == 1) {
        Status.Text = "Autocheck:" + message;
        Status.Refresh();
      }
      if (mode >= 2) {
        if (static_cast<unsigned char>(flag) > '1') {
          App.rc2 = uiscript::MessageBox(message + "\r\n" + App.Messages[19] + "\r\n" + detail,
                                         uiscript::kYesNo | uiscript::kDefaultButton2, "Autocheck");
        } else {
          App.rc2 = uiscript::MessageBox(message + "\r\n" + detail, uiscript::kOkOnly, "Autocheck");
        }
        if (App.rc2 == uiscript::kYes) result = 0;
      }
      if (App.DebugLevel > 2 && result != 0) LogLine("Autocheck result:" + CStr(static_cast<double>(result)));
    }
    forms::Screen().MousePointer = 0;
    if (App.DebugLevel > 7) LogLine("END-AutoCheck");
  });
  return result;
}

}  // namespace quillet

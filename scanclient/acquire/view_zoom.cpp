// Zoom commands of the main view: the fit buttons, the zoom-to-region
// command, the factor box and L1_Zoom, which every other procedure uses to
// refit or rezoom the view.

#include <string>

#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"
#include "scanclient/acquire/view_geometry.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

namespace {

constexpr double kMinZoom = 2;
constexpr double kMaxZoom = 3000;

double Number(forms::OleControl& c, Pixo m) { return rt::CDbl(PixGet(c, m)); }

}  // namespace

void Quillet1::Zoom_Click(int16_t Index) {
  ProcScope p("Zoom", Tail::ExitNow, rt::CStr(static_cast<double>(Index)));
  p.Run([&] {
    if (rt::CLng(PixGet(L1, Pixo::BitmapHandle)) == 0) return;
    p.step = 1;
    if (!rt::IsNumeric(ZoomFact.Text.Get())) ZoomFact.Text = "100";
    const double factor = rt::Val(ZoomFact.Text.Get());
    if (factor < kMinZoom || factor > kMaxZoom) return;
    const auto imageW = static_cast<float>(Number(L1, Pixo::ImageWidth));
    const auto imageH = static_cast<float>(Number(L1, Pixo::ImageHeight));
    p.step = 2;
    if (Index >= 0 && Index <= 2) {
      PixPut(L1, Pixo::DclLeft, int32_t{0});
      PixPut(L1, Pixo::DclTop, int32_t{0});
      PixPut(L1, Pixo::DclWidth, static_cast<double>(imageW));
      PixPut(L1, Pixo::DclHeight, static_cast<double>(imageH));
      const double wpx = static_cast<double>(L1.Width) / App.TwipsPerPixelX;
      const double hpx = static_cast<double>(L1.Height) / App.TwipsPerPixelY;
      const FitPercents fit = FitPercentsFor(wpx, hpx, imageW, imageH);
      ZoomFact.Tag = "0";
      L1_Zoom(FitCommandPercent(Index, fit));
      PixCall(L1, Pixo::Repaint);
    } else if (Index == 3) {
      if (rt::CInt(PixGet(L1, Pixo::RubberBandState)) >= 1) {
        App.rc2 = rt::CInt(PixCall(L1, Pixo::ZoomToRect,
                                   {static_cast<double>(static_cast<float>(Number(L1, Pixo::RegionLeft))),
                                    static_cast<double>(static_cast<float>(Number(L1, Pixo::RegionTop))),
                                    static_cast<double>(static_cast<float>(Number(L1, Pixo::RegionWidth))),
                                    static_cast<double>(static_cast<float>(Number(L1, Pixo::RegionHeight)))}));
      }
      // The factor box shows the zoom that resulted, region or not.
      L1_Zoom(rt::Int(Number(L1, Pixo::DstHeight) * 100 / imageH));
    }
    p.step = 3;
    ShowInf(1);
  });
}

void Quillet1::ZoomFact_Click() {
  ZoomFact.Tag = "1";
  ZoomFact_Change();
}

void Quillet1::ZoomFact_Change() {
  ProcScope p("ZoomFact", Tail::ExitNow);
  p.Run([&] {
    if (!rt::IsNumeric(ZoomFact.Text.Get())) return;
    const double value = rt::Val(ZoomFact.Text.Get());
    if (value < kMinZoom || value > kMaxZoom) return;
    ZoomFact.Text = rt::CStr(rt::Int(value));
    L1_Zoom(rt::Val(ZoomFact.Text.Get()));
  });
}

void Quillet1::L1_Zoom(double percent) {
  ProcScope p("L1_Zoom", Tail::ExitNow, rt::CStr(percent));
  p.Run([&] {
    const auto shown = static_cast<float>(rt::Int(Number(L1, Pixo::ZoomPercent)));
    if (percent >= kMinZoom && shown == static_cast<float>(percent)) {
      // The view already has this zoom (a zoom to a rectangle sets it
      // itself): the factor box must still show it.
      const std::string text = rt::CStr(static_cast<double>(shown));
      if (ZoomFact.Text.Get() != text) ZoomFact.Text = text;
      PixCall(L1, Pixo::Repaint);
      return;
    }
    p.step = 1;
    PixPut(L1, Pixo::AutoRepaint, false);
    PixPut(L1, Pixo::ViewFlag5, true);
    PixPut(L1, Pixo::ViewFlag57, true);
    if (percent < kMinZoom) {
      PixPut(L1, Pixo::ScaleMode, int32_t{3});
      percent = rt::Int(Number(L1, Pixo::ZoomPercent));  // what the fit produced
    }
    p.step = 2;
    PixPut(L1, Pixo::ScaleMode, int32_t{4});
    PixPut(L1, Pixo::ZoomPercent, rt::Int(percent));
    PixPut(L1, Pixo::AutoRepaint, true);
    ZoomFact.Text = rt::CStr(rt::Int(Number(L1, Pixo::ZoomPercent)));
  });
}

}  // namespace quillet

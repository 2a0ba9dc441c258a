// The tool buttons and the mouse handlers of the main view: MOVE pans,
// ZWIN zooms to a drawn band, ZOOM zooms by a click, CROP (view_crop.cpp)
// draws the sheet's crop rectangle. Also the event hooks of the view's
// controls.

#include <cstdlib>
#include <span>
#include <string>

#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"
#include "scanclient/acquire/view_crop.h"
#include "scanclient/acquire/view_geometry.h"
#include "scanclient/acquire/view_sheets.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

namespace {

enum ToolKind : int16_t { kMove = 1, kZoomWindow = 2, kZoomClick = 3, kCrop = 4 };

constexpr double kMaxClickZoom = 3000;
constexpr double kMinClickZoom = 8;
constexpr double kClickZoomStep = 0.6;

std::string Plain(double n) { return rt::CStr(n); }

std::string MouseArgs(int16_t Button, int16_t Shift, float X, float Y) {
  return Plain(Button) + "/" + Plain(Shift) + "/" + Plain(X) + "/" + Plain(Y);
}

double Number(forms::OleControl& c, Pixo m) { return rt::CDbl(PixGet(c, m)); }
bool HasImage(forms::OleControl& c) { return rt::CLng(PixGet(c, Pixo::BitmapHandle)) != 0; }

}  // namespace

void Quillet1::Tool_Click(int16_t Index) {
  ProcScope p("Tool", Tail::ExitNow, Plain(Index));
  p.Run([&] {
    if (Index >= 0 && Index <= 3) {
      for (App.LoopI = 0; App.LoopI <= 3; ++App.LoopI) {
        Tool(static_cast<int16_t>(App.LoopI)).BackColor = ToolIdleColor;
      }
      App.ToolMode = static_cast<int16_t>(Index + 1);
      Tool(Index).BackColor = ToolActiveColor;
      PixPut(L1, Pixo::ViewOption104, int16_t{0});
      PixPut(L1, Pixo::PanEnabled, Index == 0);
      return;
    }
    p.step = 1;
    if (Index > 3) {
      // An edit changes the sheet: it must be checked again.
      forms::CommandButton& page = Page(ShownSheet(*this));
      if (page.BackColor == SheetOkColor) page.BackColor = SheetChangedColor;
      p.step = 2;
      switch (Index) {
        case 4: AutoTrim(); break;
        case 5: Undo(); break;
        case 6: RotLeft(); break;
        case 7: RotRight(); break;
        case 8: Flip(); break;
        case 9: Mirror(); break;
        default: break;
      }
    }
  });
}

void Quillet1::MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
  ProcScope p("MouseDown", Tail::ExitNow, MouseArgs(Button, Shift, X, Y));
  p.Run([&] {
    if (!HasImage(L1) || Button == 0) return;
    p.step = 1;
    App.MouseDownButton = Button;
    App.MouseDownShift = Shift;
    App.MouseDownX = rt::CLng(static_cast<double>(X));
    App.MouseDownY = rt::CLng(static_cast<double>(Y));
    App.ViewScale = 100 / Number(L1, Pixo::ZoomPercent);
    App.ViewTop = rt::CLng(Number(L1, Pixo::DstTop));
    App.ViewLeft = rt::CLng(Number(L1, Pixo::DstLeft));
    App.ViewWidth = rt::CLng(Number(L1, Pixo::DstWidth));
    App.ViewHeight = rt::CLng(Number(L1, Pixo::DstHeight));
    p.step = 2;
    switch (App.ToolMode) {
      case kMove: PixPut(L1, Pixo::MousePointer, int16_t{2}); break;
      case kZoomWindow:
        PixPut(L1, Pixo::RubberBandEnabled, true);
        PixPut(L1, Pixo::RubberBandActive, true);  // the band starts at the mouse
        PixPut(L1, Pixo::MousePointer, int16_t{2});
        break;
      case kZoomClick: {
        const double v = rt::Val(ZoomFact.Text.Get());
        if (Button == 1 && v < kMaxClickZoom) L1_Zoom(rt::Int(v / kClickZoomStep));
        if (Button == 2 && v > kMinClickZoom) L1_Zoom(rt::Int(v * kClickZoomStep));
        break;
      }
      case kCrop: CropPress(*this); break;
      default: break;
    }
  });
}

void Quillet1::MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
  ProcScope p("MouseMove", Tail::ExitNow, std::nullopt, false);
  p.Run([&] {
    // A move with a modifier is always traced, a drag from level 8 on.
    if ((Button > 0 && App.DebugLevel > 7) || Shift != 0) LogLine("BEG-MouseMove," + MouseArgs(Button, Shift, X, Y));
    if (!HasImage(L1)) return;
    p.step = 1;
    if (App.ToolMode == kCrop && Button == 0) CropHover(*this, X, Y);
    if (App.ToolMode == kMove && Button > 0) {
      App.TmpW = rt::CLng((X - App.MouseDownX) / App.TwipsPerPixelX);
      App.TmpH = rt::CLng((Y - App.MouseDownY) / App.TwipsPerPixelY);
      // With a modifier only the axis that moved further follows; equal
      // offsets pan neither. The view pans both axes itself before this
      // event: the other axis goes back where the press found it.
      const int32_t horizontal = std::abs(App.TmpW), vertical = std::abs(App.TmpH);
      const int32_t left = App.ViewLeft + App.TmpW, top = App.ViewTop + App.TmpH;
      const bool followX = Shift == 0 || horizontal > vertical, followY = Shift == 0 || vertical > horizontal;
      PixPut(L1, Pixo::DstLeft, followX ? (left < 0 ? left : int32_t{0}) : App.ViewLeft);
      PixPut(L1, Pixo::DstTop, followY ? (top < 0 ? top : int32_t{0}) : App.ViewTop);
      PixPut(L1, Pixo::DclLeft, int32_t{0});
      PixPut(L1, Pixo::DclTop, int32_t{0});
      PixCall(L1, Pixo::Repaint);
      ShowInf(1);
    }
    if (App.ToolMode == kCrop && Button > 0) CropDrag(*this, X, Y);
    p.step = 2;
    if (Shift > 3) {
      // The image position under the pointer, from the view's origin.
      App.TmpW = rt::CLng(X / App.TwipsPerPixelX * Number(L1, Pixo::ImageWidth) / Number(L1, Pixo::DstWidth));
      App.TmpH = rt::CLng(Y / App.TwipsPerPixelY * Number(L1, Pixo::ImageHeight) / Number(L1, Pixo::DstHeight));
      Status.Text = Plain(App.TmpW) + "x" + Plain(App.TmpH);
    }
  });
}

void Quillet1::MouseUp(int16_t Button, int16_t Shift, float X, float Y) {
  ProcScope p("MouseUp", Tail::ExitNow, MouseArgs(Button, Shift, X, Y));
  p.Run([&] {
    if (!HasImage(L1) || Button == 0) return;
    p.step = 1;
    if (App.ToolMode == kZoomWindow) {
      const double w = Number(L1, Pixo::RubberBandWidth), h = Number(L1, Pixo::RubberBandHeight);
      if (w > 0 && h > 0) {
        App.rc2 = rt::CInt(PixCall(L1, Pixo::ZoomToRect,
                                   {Number(L1, Pixo::RubberBandLeft), Number(L1, Pixo::RubberBandTop), w, h}));
        // The factor box shows the zoom that resulted.
        L1_Zoom(rt::Int(Number(L1, Pixo::DstHeight) * 100 / Number(L1, Pixo::ImageHeight)));
      }
      ShowInf(1);
    }
    p.step = 2;
    if (App.ToolMode == kCrop) CropRelease(*this);
    PixPut(L1, Pixo::MousePointer, int16_t{0});
    PixPut(L1, Pixo::RubberBandActive, false);
  });
}

void Quillet1::HookViewEvents() {
  Zoom.Click = [this](int16_t index) { Zoom_Click(index); };
  ZoomFact.Click = [this] { ZoomFact_Click(); };
  ZoomFact.Change = [this] { ZoomFact_Change(); };
  // Other events of the thumbnails (the drop import) keep their handler.
  Thumb.Event = [this, other = std::move(Thumb.Event)](int16_t index, int32_t dispid, std::span<rt::Variant> args) {
    if (dispid == forms::kEventClick) ThumbClk(index);
    if (dispid == forms::kEventDblClick) Thumb_DblClick(index);
    if (other) other(index, dispid, args);
  };
  L1.Event = [this, other = std::move(L1.Event)](int32_t dispid, std::span<rt::Variant> args) {
    if (dispid == forms::kEventMouseDown || dispid == forms::kEventMouseMove || dispid == forms::kEventMouseUp) {
      const int16_t button = rt::CInt(args[0]), shift = rt::CInt(args[1]);
      const auto x = static_cast<float>(rt::CDbl(args[2])), y = static_cast<float>(rt::CDbl(args[3]));
      if (dispid == forms::kEventMouseDown) MouseDown(button, shift, x, y);
      if (dispid == forms::kEventMouseMove) MouseMove(button, shift, x, y);
      if (dispid == forms::kEventMouseUp) MouseUp(button, shift, x, y);
    }
    if (other) other(dispid, args);
  };
}

}  // namespace quillet

// Sheet edits on the shown sheet: quarter turns, mirror, flip, undo, and the
// brightness, contrast and gamma sliders.
//
// The base Thbas(k) is the untouched scan plus the geometry edits; the view
// L1 is the base plus the three slider adjustments. A geometry edit is made
// on the view and on the base alike, so the view keeps its adjustments; a
// slider move rebuilds the view from the base, so adjustments never pile up.

#include <functional>
#include <string>

#include "platform/forms/screen.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/runtime/convert.h"
#include "platform/slider/slider.h"
#include "scanclient/acquire/view_geometry.h"
#include "scanclient/acquire/view_sheets.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/process/edit_view.h"

namespace quillet {
namespace {

using imaging::Pixo;

constexpr int16_t kHourglass = 11;
constexpr int32_t kQuarterTurn = 9000;  // hundredths of a degree
constexpr int32_t kWhiteFill = 0xFFFFFF;

// The frame of the geometry edits and Undo: nothing without an image; the
// crop tag is dropped, since a crop does not survive a change of geometry;
// the thumbnail takes the result and the zoom is refitted.
void GeometryEdit(Quillet1& w, const char* tag, const std::function<void(int16_t)>& edit) {
  ProcScope p(tag, Tail::ExitNow);
  p.Run([&] {
    if (!HoldsImage(w.L1)) return;
    const int16_t k = ShownSheet(w);
    forms::Screen().MousePointer = kHourglass;
    PixCall(w.L1, Pixo::FreeRegion);
    w.Thsav(k).Tag = "";
    edit(k);
    w.L1Thumb(1);
    forms::Screen().MousePointer = 0;
    if (App.DebugLevel > 7) LogLine(std::string("END-") + tag);
  });
}

void Rotate(Quillet1& w, const char* tag, int32_t hundredths) {
  GeometryEdit(w, tag, [&](int16_t k) {
    const std::vector<rt::Variant> args{hundredths, int16_t{5}, kWhiteFill};
    App.rc = rt::CLng(PixCall(w.L1, Pixo::RotateImage, args));
    App.rc = rt::CLng(PixCall(w.Thbas(k), Pixo::RotateImage, args));
  });
}

int32_t SliderValue(forms::OleControl& s) { return rt::CLng(s.Get(slider::kValue)); }

}  // namespace

void Quillet1::RotLeft() { Rotate(*this, "RotLeft", -kQuarterTurn); }

void Quillet1::RotRight() { Rotate(*this, "RotRight", kQuarterTurn); }

void Quillet1::Mirror() {
  GeometryEdit(*this, "Mirror", [&](int16_t k) {
    PixCall(L1, Pixo::MirrorImage);
    PixCall(Thbas(k), Pixo::MirrorImage);
  });
}

void Quillet1::Flip() {
  GeometryEdit(*this, "Flip", [&](int16_t k) {
    PixCall(L1, Pixo::FlipImage);
    PixCall(Thbas(k), Pixo::FlipImage);
  });
}

void Quillet1::Undo() {
  GeometryEdit(*this, "Undo", [&](int16_t k) {
    // Each slider whose position changes runs Slider(1) on the old base
    // here; view and base are replaced right after, so only the end counts.
    SlideB.Put(slider::kValue, int32_t{0});
    SlideC.Put(slider::kValue, int32_t{0});
    SlideG.Put(slider::kValue, int32_t{10});
    PixPut(L1, Pixo::BitmapHandle, PixGet(Thsav(k), Pixo::BitmapHandle));
    PixPut(Thbas(k), Pixo::BitmapHandle, PixGet(Thsav(k), Pixo::BitmapHandle));
  });
}

void Quillet1::Slider(int16_t refresh) {
  ProcScope p("Slider", Tail::ExitNow, rt::CStr(static_cast<double>(refresh)));
  p.Run([&] {
    if (!HoldsImage(L1)) return;
    const int16_t k = ShownSheet(*this);
    forms::Screen().MousePointer = kHourglass;
    PixPut(L1, Pixo::AutoRepaint, false);
    PixCall(L1, Pixo::FreeRegion);
    PixPut(L1, Pixo::BitmapHandle, PixGet(Thbas(k), Pixo::BitmapHandle));
    const std::string tag = Thsav(k).Tag;
    if (std::optional<int32_t> rc = SetCropRegion(L1, tag)) {
      App.CropTagBuf = tag;
      App.rc2 = *rc;
    }
    // All three on every call, neutral positions included.
    PixCall(L1, Pixo::AdjustBrightness, {rt::CInt(SliderValue(SlideB) * 10.0)});
    PixCall(L1, Pixo::AdjustContrast, {rt::CInt(SliderValue(SlideC) * 10.0)});
    PixCall(L1, Pixo::AdjustGamma, {rt::CInt(SliderValue(SlideG) * 10.0)});
    if (refresh != 0) L1Thumb(0);
    forms::Screen().MousePointer = 0;
    PixPut(L1, Pixo::AutoRepaint, true);
    if (App.DebugLevel > 7) LogLine("END-Slider");
  });
}

// While a slider is dragged, Scroll keeps the view in step; Change (the
// position is set, by the operator or by code) updates the thumbnail too.
void Quillet1::SlideB_Scroll() { Slider(0); }
void Quillet1::SlideB_Change() { Slider(1); }
void Quillet1::SlideC_Scroll() { Slider(0); }
void Quillet1::SlideC_Change() { Slider(1); }
void Quillet1::SlideG_Scroll() { Slider(0); }
void Quillet1::SlideG_Change() { Slider(1); }

void Quillet1::HookSliderEvents() {
  auto hook = [](forms::OleControl& s, std::function<void()> scroll, std::function<void()> change) {
    s.Event = [scroll = std::move(scroll), change = std::move(change)](int32_t id, std::span<rt::Variant>) {
      if (id == slider::kEventScroll) scroll();
      if (id == slider::kEventChange) change();
    };
  };
  hook(SlideB, [this] { SlideB_Scroll(); }, [this] { SlideB_Change(); });
  hook(SlideC, [this] { SlideC_Scroll(); }, [this] { SlideC_Change(); });
  hook(SlideG, [this] { SlideG_Scroll(); }, [this] { SlideG_Change(); });
}

}  // namespace quillet

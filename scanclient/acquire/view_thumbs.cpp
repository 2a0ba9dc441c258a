// The glue between the thumbnails and the main view, and the check colours
// of the sheets: ThumbClk, Thumb_DblClick, Thumb_Autocheck, CheckPage and
// L1Thumb.

#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"
#include "scanclient/acquire/view_geometry.h"
#include "scanclient/acquire/view_sheets.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

namespace {

std::string Plain(double n) { return rt::CStr(n); }

double ShownTag(const Quillet1& w) { return rt::CDbl(rt::Variant(w.L1.Tag.Get())); }

// The view set-up before a change of the shown image.
void HoldRepaint(forms::OleControl& view) {
  PixPut(view, Pixo::AutoRepaint, false);
  PixPut(view, Pixo::ViewFlag5, true);
  PixPut(view, Pixo::ViewFlag57, true);
}

}  // namespace

std::string SizeText(forms::OleControl& c) {
  return rt::Str(static_cast<float>(rt::CDbl(PixGet(c, Pixo::ImageWidth)))) + " x" +
         rt::Str(static_cast<float>(rt::CDbl(PixGet(c, Pixo::ImageHeight))));
}

int16_t ShownSheet(const Quillet1& w) { return rt::CInt(rt::Variant(w.L1.Tag.Get())); }

void ColourChecked(Quillet1& w, int16_t result) {
  const int32_t colour = result == 0 ? SheetOkColor : SheetChangedColor;
  if (ShownTag(w) >= 0) w.Page(ShownSheet(w)).BackColor = colour;
  w.DoAqu.BackColor = colour;
  const int16_t pages = w.Page.Count();
  int16_t green = 0;
  for (int16_t i = 0; i < pages; ++i) {
    if (w.Page(i).BackColor == SheetOkColor) ++green;
  }
  w.DoOK.Tag = rt::LTrim(rt::Str(static_cast<double>(pages - green)));
  w.DoOK.BackColor = green == pages ? SheetOkColor : NotAllOkColor;
}

void Quillet1::ThumbClk(int16_t Index) {
  ProcScope p("ThumbClk", Tail::ExitNow, Plain(Index));
  p.Run([&] {
    HoldRepaint(L1);
    PixCall(L1, Pixo::FreeRegion);
    p.step = 1;
    PixPut(L1, Pixo::BitmapHandle, PixGet(Thumb(Index), Pixo::BitmapHandle));
    // The stored crop rectangle is shown again as the region; a failed
    // region call only leaves its code.
    const std::string tag = Thsav(Index).Tag;
    if (std::optional<int32_t> rc = SetCropRegion(L1, tag)) {
      App.CropTagBuf = tag;
      App.rc2 = *rc;
    }
    p.step = 2;
    L1.Tag = rt::CStr(static_cast<double>(Index));
    L1.ToolTipText = SizeText(L1);
    L1_Zoom(0);
    PixPut(L1, Pixo::AutoRepaint, true);
    p.step = 3;
    Tools(rt::CInt(rt::Variant(Page(Index).Tag.Get())));
  });
}

// No error tail of its own: a failure goes to the caller's.
void Quillet1::Thumb_DblClick(int16_t Index) {
  if (App.DebugLevel > 7) LogLine("BEG-Thumb_DblClick," + Plain(Index));
  // The click before the double click has shown this sheet: the check
  // works on the sheet in L1.
  Thumb_Autocheck(Index, 2);
}

rt::Variant Quillet1::Thumb_Autocheck(int16_t sheet, int16_t mode) {
  if (App.DebugLevel > 7) LogLine("BEG-Thumb_Autocheck," + Plain(sheet) + "/" + Plain(mode));
  EnDisGUI(-1);
  rt::Variant result = CheckPage(mode);
  EnDisGUI(1);
  return result;
}

rt::Variant Quillet1::CheckPage(int16_t mode) {
  rt::Variant result;
  ProcScope p("L1Thumb", Tail::ExitNow, Plain(mode));
  p.Run([&] {
    const int16_t k = ShownSheet(*this);
    // A sheet without an image has nothing to check, unless a developer
    // wants the check on anything shown.
    if (Thsav(k).Left == 0 && App.Debugging == 0) return;
    p.step = 1;
    const int16_t checked = AutoCheck(mode);
    result = rt::Variant(checked);
    p.step = 2;
    ColourChecked(*this, checked);
  });
  return result;
}

void Quillet1::L1Thumb(int16_t flags) {
  ProcScope p("L1Thumb", Tail::ExitNow, Plain(flags));
  p.Run([&] {
    if (ShownTag(*this) >= 0) {
      forms::OleControl& thumb = Thumb(ShownSheet(*this));
      PixPut(thumb, Pixo::BitmapHandle, PixGet(L1, Pixo::BitmapHandle));
      thumb.ToolTipText = SizeText(thumb);
    }
    p.step = 1;
    HoldRepaint(L1);
    if (flags & 1) L1_Zoom(0);
    PixPut(L1, Pixo::AutoRepaint, true);
    PixCall(L1, Pixo::Repaint);
    L1.ToolTipText = SizeText(L1);
  });
}

std::optional<int32_t> SetCropRegion(forms::OleControl& view, std::string_view tag) {
  const std::optional<CropRect> crop = ReadCropTag(tag);
  if (!crop) return std::nullopt;
  return rt::CLng(PixCall(view, Pixo::SetRectRegion,
                          {static_cast<double>(crop->left), static_cast<double>(crop->top),
                           static_cast<double>(crop->width), static_cast<double>(crop->height), int16_t{1}}));
}

}  // namespace quillet

#include "scanclient/acquire/view_crop.h"

#include <cmath>
#include <string>

#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"
#include "platform/slider/slider.h"
#include "scanclient/acquire/view_geometry.h"
#include "scanclient/acquire/view_sheets.h"
#include "scanclient/core/app_state.h"

namespace quillet {

using imaging::Pixo;

namespace {

enum DragKind : int16_t { kDraw = 0, kMove = 1, kResize = 2 };
enum Pointer : int16_t { kDefault = 0, kCross = 2, kMoveMarker = 4, kDiagonal = 8 };

SizeRules AppRules() {
  SizeRules r;
  r.aspectX = App.SizeAspectX;
  r.aspectY = App.SizeAspectY;
  r.minWidth = App.SizeMinWidth;
  r.minHeight = App.SizeMinHeight;
  r.maxWidth = App.SizeMaxWidth;
  r.maxHeight = App.SizeMaxHeight;
  return r;
}

void SetAppRules(const SizeRules& r) {
  App.SizeAspectX = r.aspectX;
  App.SizeAspectY = r.aspectY;
  App.SizeMinWidth = r.minWidth;
  App.SizeMinHeight = r.minHeight;
  App.SizeMaxWidth = r.maxWidth;
  App.SizeMaxHeight = r.maxHeight;
}

double Number(forms::OleControl& c, Pixo m) { return rt::CDbl(PixGet(c, m)); }

CropView ViewOf(Quillet1& w) {
  CropView v;
  v.scale = App.ViewScale;
  v.left = App.ViewLeft;
  v.top = App.ViewTop;
  v.imageWidth = static_cast<float>(Number(w.L1, Pixo::ImageWidth));
  v.imageHeight = static_cast<float>(Number(w.L1, Pixo::ImageHeight));
  v.twipsX = App.TwipsPerPixelX;
  v.twipsY = App.TwipsPerPixelY;
  return v;
}

CropRect StoredRect() { return {App.CropLeft, App.CropTop, App.CropWidth, App.CropHeight}; }

Band GetBand(Quillet1& w) {
  return {Number(w.L1, Pixo::RubberBandLeft), Number(w.L1, Pixo::RubberBandTop), Number(w.L1, Pixo::RubberBandWidth),
          Number(w.L1, Pixo::RubberBandHeight)};
}

void PutBand(Quillet1& w, const Band& b) {
  PixPut(w.L1, Pixo::RubberBandLeft, b.left);
  PixPut(w.L1, Pixo::RubberBandTop, b.top);
  PixPut(w.L1, Pixo::RubberBandWidth, b.width);
  PixPut(w.L1, Pixo::RubberBandHeight, b.height);
}

// Where the image lies in the view now.
void ReadView(Quillet1& w) {
  App.ViewScale = 100 / Number(w.L1, Pixo::ZoomPercent);
  App.ViewTop = rt::CLng(Number(w.L1, Pixo::DstTop));
  App.ViewLeft = rt::CLng(Number(w.L1, Pixo::DstLeft));
  App.ViewWidth = rt::CLng(Number(w.L1, Pixo::DstWidth));
  App.ViewHeight = rt::CLng(Number(w.L1, Pixo::DstHeight));
}

std::string Plain(double n) { return rt::CStr(n); }
std::string Thousandths(double x) { return Plain(rt::Int(x * 1000) / 1000); }

// The trace of a press or release in the status line.
std::string DebugLine(Quillet1& w, const Band& b, double p, double q) {
  const CropView v = ViewOf(w);
  const double ratio = b.height == 0 ? 0 : b.width / b.height;
  return Plain(App.MouseDownShift) + ":" + Plain(v.imageWidth) + "x" + Plain(v.imageHeight) + "; " + Plain(b.left) +
         "x" + Plain(b.top) + "-" + Plain(b.width) + "x" + Plain(b.height) + "; " + Plain(p) + "; " + Plain(q) +
         "; " + Thousandths(App.ViewScale) + "; " + Thousandths(ratio) + "/" + Thousandths(AppRules().Aspect());
}

bool HasCropTag(Quillet1& w, int16_t k) { return rt::Len(w.Thsav(k).Tag.Get()) == 19; }

}  // namespace

void CropPress(Quillet1& w) {
  const int16_t k = ShownSheet(w);
  const int16_t row = rt::CInt(rt::Variant(w.Thumb(k).Tag.Get()));
  // The slider adjustments are dropped: the band is drawn on the base image.
  w.SlideB.Put(slider::kValue, int32_t{0});
  w.SlideC.Put(slider::kValue, int32_t{0});
  w.SlideG.Put(slider::kValue, int32_t{10});
  SetAppRules(SizeRules{});
  PixCall(w.L1, Pixo::FreeRegion);
  PixPut(w.L1, Pixo::BitmapHandle, PixGet(w.Thbas(k), Pixo::BitmapHandle));
  // A new image puts the view back at its origin; the base has the size of
  // the image it replaces, so the view goes back where the press found it,
  // and the band is computed on the view the operator sees.
  PixPut(w.L1, Pixo::DstLeft, App.ViewLeft);
  PixPut(w.L1, Pixo::DstTop, App.ViewTop);
  ReadView(w);

  App.CropTagBuf = w.Thsav(k).Tag;
  App.CropWidth = App.CropHeight = 0;
  if (std::optional<CropRect> c = ReadCropTag(App.CropTagBuf)) {
    App.CropLeft = c->left;
    App.CropTop = c->top;
    App.CropWidth = c->width;
    App.CropHeight = c->height;
  }
  const std::string& size = App.DocTypeTable.at(static_cast<size_t>(row))[Doc::Size];
  if (!size.empty()) {
    SetAppRules(ReadSizeRules(size));
    if (Number(w.L1, Pixo::ImageWidth) < App.SizeMinWidth || Number(w.L1, Pixo::ImageHeight) < App.SizeMinHeight) {
      w.Tool_Click(0);  // too small to crop: back to MOVE, without a word
      return;
    }
  }
  if (App.CropWidth > 0) {
    App.rc2 = rt::CInt(PixCall(w.L1, Pixo::SetRectRegion,
                               {static_cast<double>(App.CropLeft), static_cast<double>(App.CropTop),
                                static_cast<double>(App.CropWidth), static_cast<double>(App.CropHeight), int16_t{1}}));
  }
  const CropView view = ViewOf(w);
  if (rt::CBool(PixGet(w.L1, Pixo::HasRegion)) && HasCropTag(w, k)) {
    const ImagePoint at = ImagePointAt(App.MouseDownX, App.MouseDownY, view);
    if (rt::CBool(PixCall(w.L1, Pixo::IsPointInRegion, {at.x, at.y}))) App.MouseDownShift = kMove;
    // The corner cursor of the hover wins over the inside.
    if (rt::CInt(PixGet(w.L1, Pixo::MousePointer)) == kDiagonal) App.MouseDownShift = kResize;
  }
  // A changed sheet must be checked again.
  if (w.Page(k).BackColor == SheetOkColor) w.Page(k).BackColor = SheetChangedColor;
  if (w.DoOK.BackColor == SheetOkColor) w.DoOK.BackColor = SheetChangedColor;

  PixPut(w.L1, Pixo::RubberBandEnabled, false);
  PixPut(w.L1, Pixo::RubberBandActive, false);
  PixPut(w.L1, Pixo::RubberBandState, int16_t{1});
  PixPut(w.L1, Pixo::MousePointer, int16_t{kCross});
  if (App.MouseDownShift == kMove) PixPut(w.L1, Pixo::MousePointer, int16_t{kMoveMarker});
  if (App.MouseDownShift == kResize) PixPut(w.L1, Pixo::MousePointer, int16_t{kDiagonal});

  const Band band = PressBand(App.MouseDownShift, StoredRect(), App.MouseDownX / view.twipsX,
                              App.MouseDownY / view.twipsY, view, AppRules());
  PixPut(w.L1, Pixo::RubberBandActive, true);
  PutBand(w, band);
  if (App.DebugLevel > 7) w.Status.Text = DebugLine(w, band, App.ViewLeft, App.ViewTop);
}

void CropHover(Quillet1& w, float X, float Y) {
  ReadView(w);
  if (!rt::CBool(PixGet(w.L1, Pixo::HasRegion)) || !HasCropTag(w, ShownSheet(w))) return;
  PixPut(w.L1, Pixo::MousePointer, int16_t{kDefault});
  const Band b = GetBand(w);
  const double x = X / App.TwipsPerPixelX, y = Y / App.TwipsPerPixelY;
  if (std::abs(x - (b.left + b.width)) < 6 && std::abs(y - (b.top + b.height)) < 6) {
    PixPut(w.L1, Pixo::MousePointer, int16_t{kDiagonal});
  }
}

void CropDrag(Quillet1& w, float X, float Y) {
  const CropView view = ViewOf(w);
  const double dx = X - App.MouseDownX, dy = Y - App.MouseDownY;
  Band band = GetBand(w);
  switch (App.MouseDownShift) {
    case kDraw:
      if (X < App.MouseDownX || Y < App.MouseDownY) return;  // a new band grows right and down only
      band = DrawBand(band, dx, dy, view, AppRules());
      break;
    case kMove: band = MoveBand(StoredRect(), dx, dy, view); break;
    case kResize: {
      // Beyond the image's right or bottom edge the band stays as it is.
      const ImagePoint at = ImagePointAt(X, Y, view);
      if (view.imageWidth < at.x || view.imageHeight < at.y) return;
      band = ResizeBand(band, StoredRect(), dx, dy, view, AppRules());
      break;
    }
    default: return;  // other drag kinds show the stored rectangle unchanged
  }
  PutBand(w, band);
}

void CropRelease(Quillet1& w) {
  const int16_t k = ShownSheet(w);
  const Band band = GetBand(w);
  const CropRect rect = ReleaseRect(band, ViewOf(w), AppRules());
  // A click without a size on a type without a minimum gives a rectangle of
  // no area: the sheet keeps the crop it had instead of one that would save
  // an empty image.
  if (rect.width > 0 && rect.height > 0) {
    App.CropTagBuf = CropTagText(rect);
    if (std::optional<CropRect> c = ReadCropTag(App.CropTagBuf)) {
      App.rc2 = rt::CInt(PixCall(w.L1, Pixo::SetRectRegion,
                                 {static_cast<double>(c->left), static_cast<double>(c->top),
                                  static_cast<double>(c->width), static_cast<double>(c->height), int16_t{1}}));
    } else {
      PixCall(w.L1, Pixo::FreeRegion);  // too large for the tag: it counts as no crop
    }
    if (App.DebugLevel > 7) {
      w.Status.Text = DebugLine(w, band, rect.left, rect.top) + "; " + App.CropTagBuf;
    }
    w.Thsav(k).Tag = App.CropTagBuf;
  }
  PixPut(w.L1, Pixo::RubberBandActive, false);
  w.L1Thumb(0);
}

}  // namespace quillet

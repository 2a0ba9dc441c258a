// The dispatch table of the imaging control: every member of pixo_members.h
// with its get, put or call. Arguments convert with the runtime's rules
// (CLng, CDbl, CStr, CBool); methods return Integer results.

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "platform/imaging/pixo_state.h"
#include "platform/imaging/save_faults.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/twain/twain.h"

namespace imaging {
namespace {

using S = PixoControl::State;
using Args = std::span<rt::Variant>;
using V = rt::Variant;

// Members that only hold a value, and the kind it is held as.
enum class Store { None, Boolean, Integer, Long, Double, String };

struct Member {
  Pixo id;
  const char* name;
  Store store = Store::None;
  V (*get)(S&, Args) = nullptr;
  void (*put)(S&, Args, const V&) = nullptr;
  V (*call)(S&, Args) = nullptr;
};

void Need(Args a, size_t min, size_t max) {
  if (a.size() < min || a.size() > max) rt::Raise(rt::kInvalidCall);
}
int32_t Lng(Args a, size_t i, int32_t dflt = 0) { return i < a.size() ? rt::CLng(a[i]) : dflt; }
double Dbl(Args a, size_t i, double dflt = 0) { return i < a.size() ? rt::CDbl(a[i]) : dflt; }
std::string Str(Args a, size_t i) { return rt::CStr(a[i]); }
V Result(int16_t rc) { return V(rc); }
V Int(int v) { return V(static_cast<int16_t>(v)); }

int32_t Round32(double v) {
  if (!(std::abs(v) < std::numeric_limits<int32_t>::max())) return 0;
  return static_cast<int32_t>(std::lround(v));
}

V Convert(Store store, const V& v) {
  switch (store) {
    case Store::Boolean: return V(rt::CBool(v));
    case Store::Integer: return V(rt::CInt(v));
    case Store::Long: return V(rt::CLng(v));
    case Store::Double: return V(rt::CDbl(v));
    case Store::String: return V(rt::CStr(v));
    default: return v;
  }
}

void Keep(S& s, Pixo id, Store store, const V& v) { s.stored[static_cast<int32_t>(id)] = Convert(store, v); }

// Runs an edit on the held image; the view follows it.
template <typename F>
V Edit(S& s, bool geometry, F&& f) {
  Image* img = s.image();
  if (!img) return Result(kPixoNoImage);
  const int16_t rc = f(*img);
  if (rc == kPixoOk) s.Changed(geometry);
  return Result(rc);
}

V NoArgs(S& s, Args a, bool geometry, void (*f)(Image&)) {
  Need(a, 0, 0);
  return Edit(s, geometry, [f](Image& img) {
    f(img);
    return int16_t{kPixoOk};
  });
}

V ImageKindOf(const Image* img) {
  if (!img) return Int(0);
  if (img->IsBitonal()) return Int(1);
  if (img->IsGrey()) return Int(3);
  return Int(img->indexed() ? 2 : 4);
}

V InfoValue(const S& s, Pixo id) {
  const FileInfo& i = s.info;
  switch (id) {
    case Pixo::InfoPage: return V(i.page);
    case Pixo::InfoWidth: return V(i.width);
    case Pixo::InfoHeight: return V(i.height);
    case Pixo::InfoBits: return Int(i.bits);
    case Pixo::InfoPageCount: return V(i.pageCount);
    default: return V(static_cast<int32_t>(std::min<int64_t>(i.sizeOnDisk, std::numeric_limits<int32_t>::max())));
  }
}

// The region's bounding box as shown in the view, display pixels.
double RegionShown(const S& s, int side) {
  if (!s.pic || s.pic->region.empty()) return 0;
  const Region& r = s.pic->region;
  const double z = s.view.Zoom() / 100;
  switch (side) {
    case 0: return s.view.ToDisplayX(r.left);
    case 1: return s.view.ToDisplayY(r.top);
    case 2: return r.width * z;
    default: return r.height * z;
  }
}

double Visible(const S& s, int side) {
  double v[4];
  s.view.Visible(v);
  return v[side];
}

uint8_t PaletteIndex(Args a) {
  const int32_t i = Lng(a, 0);
  if (i < 0 || i > 255) rt::Raise(rt::kSubscriptOutOfRange);
  return static_cast<uint8_t>(i);
}

// Loads page `page` of a file, then brings it to `bits` (0: as stored). A
// page of palette indices asked for in 24 bits is held for expanding (see
// Picture), so that paging through a bitonal file costs its decoding only.
V LoadFile(S& s, Args a) {
  Need(a, 1, 4);
  const std::string path = Str(a, 0);
  const int32_t bits = Lng(a, 1, 0), page = Lng(a, 2, 1);
  if (!LoadableBits(bits)) return Result(kPixoBadArgument);
  const int32_t readBits = LoadReadBits(bits);
  Image img;
  int16_t rc = kPixoOk;
  // A load of a page not read ahead means the reader went elsewhere: the
  // pages read ahead are dropped.
  std::optional<Image> ahead;
  for (PageReadAhead& r : s.readAhead)
    if (r.Holds(path, page, readBits)) ahead = r.Take(path, page, readBits);
  if (ahead) {
    img = std::move(*ahead);
    ++s.readAheadsTaken;
  } else {
    for (PageReadAhead& r : s.readAhead) r.Drop();
    rc = ReadImageFile(path, page, readBits, img);
  }
  if (rc == kPixoOk) s.SetImage(std::move(img), bits == 24);
  return Result(rc);
}

V SaveFile(S& s, Args a) {
  Need(a, 2, 5);
  const Image* img = s.image();
  if (!img) return Result(kPixoNoImage);
  // A page number above 1 appends to the file its page 1 started.
  const bool append = Lng(a, 4, 0) != 0 && s.Number(Pixo::SaveOption266) > 1;
  const std::string path = Str(a, 0);
  return Result(SaveWithFaults(
      path, [&] { return WriteImageFile(path, *img, Lng(a, 1), Lng(a, 2, 0), Lng(a, 3, 0), append); }));
}

V CombineInto(S& s, Args a) {
  Need(a, 5, 8);
  Image* img = s.image();
  if (!img) return Result(kPixoNoImage);
  const std::shared_ptr<Picture> src = FindPicture(Lng(a, 4));
  if (!src) return Result(kPixoBadArgument);
  const Image source = src->image();  // the source may be this very image
  Combine(*img, source, src->region, ToPixel(Dbl(a, 0)), ToPixel(Dbl(a, 1)), ToPixel(Dbl(a, 2)),
          ToPixel(Dbl(a, 3)), ToPixel(Dbl(a, 5)), ToPixel(Dbl(a, 6)), Lng(a, 7, 0));
  s.Changed(false);
  return Result(kPixoOk);
}

V DrawTextCall(S& s, Args a) {
  Need(a, 1, 2);
  TextBox box;
  auto d = [&s](Pixo id) {
    auto it = s.stored.find(static_cast<int32_t>(id));
    return it == s.stored.end() ? 0.0 : rt::CDbl(it->second);
  };
  box.left = d(Pixo::TextLeft);
  box.top = d(Pixo::TextTop);
  box.width = d(Pixo::TextWidth);
  box.height = d(Pixo::TextHeight);
  box.angleTenths = s.Number(Pixo::TextAngle);
  box.align = s.Number(Pixo::TextAlign);
  box.colour = static_cast<Colour>(s.Number(Pixo::TextColor)) & 0xFFFFFF;
  const std::string text = Str(a, 0);
  return Edit(s, false, [&](Image& img) { return DrawTextInto(img, s.font->face, box, text); });
}

V ImageGet(S& s, Args) { return V(s.pic ? s.pic->handle : 0); }

void ImagePut(S& s, Args, const V& v) {
  const int32_t handle = rt::CLng(v);
  if (handle == 0) {
    s.FreeImage();
    return;
  }
  if (s.pic && s.pic->handle == handle) return;
  const std::shared_ptr<Picture> src = FindPicture(handle);
  if (!src) rt::Raise(rt::kInvalidPropertyValue);
  s.SetImage(src->image());
}

// Put a handle: keep a copy of that image cut to its region's bounding box.
void CutPut(S& s, Args, const V& v) {
  const int32_t handle = rt::CLng(v);
  if (handle == 0) {
    s.cut.reset();
    return;
  }
  const std::shared_ptr<Picture> src = FindPicture(handle);
  if (!src) rt::Raise(rt::kInvalidPropertyValue);
  Image img = src->image();
  const Region& r = src->region;
  if (!r.empty()) Crop(img, r.left, r.top, r.width, r.height);
  s.cut = NewPicture(std::move(img));
}

void ResolutionPut(S& s, bool x, const V& v) {
  const int32_t dpi = rt::CLng(v);
  if (dpi <= 0) rt::Raise(rt::kInvalidPropertyValue);
  if (Image* img = s.image()) img->SetResolution(x ? dpi : img->xdpi(), x ? img->ydpi() : dpi);
}

V ResolutionGet(const S& s, bool x) {
  const Image* img = s.image();
  return V(img ? Round32(x ? img->xdpi() : img->ydpi()) : 0);
}

void DclPut(S& s, int side, const V& v) {
  s.view.dcl[side] = rt::CDbl(v);
  s.AutoPaint();
}

void BandPut(S& s, int side, const V& v) {
  s.band[side] = rt::CDbl(v);
  s.AutoPaint();
}

// Scanner results as the control's method results.
V ScanResult(int16_t rc) {
  switch (rc) {
    case twain::kOk: return Result(kPixoOk);
    case twain::kNoSource: return Result(kPixoNoScanner);
    case twain::kCancelled: return Result(kPixoScanCancelled);
    case twain::kNoMode: return Result(kPixoScanModeMissing);
    default: return Result(kPixoScanFailed);
  }
}

// A scanner setting reads back what was put; before any put, the open
// source's own value, and without an open source the member's default.
template <Pixo id, Store store>
V TwainSetting(S& s, Args) {
  auto it = s.stored.find(static_cast<int32_t>(id));
  if (it != s.stored.end()) return it->second;
  const std::optional<twain::Capabilities> c = twain::Current();
  double v = 0;
  if (c) {
    switch (id) {
      case Pixo::TwainPixelType: v = c->pixelType; break;
      case Pixo::TwainBits: v = c->bits; break;
      case Pixo::TwainResolution: v = c->resolution; break;
      case Pixo::TwainFrameLeft: v = c->frameLeft; break;
      case Pixo::TwainFrameTop: v = c->frameTop; break;
      case Pixo::TwainFrameWidth: v = c->frameWidth; break;
      case Pixo::TwainFrameHeight: v = c->frameHeight; break;
      case Pixo::TwainBrightness: v = c->brightness; break;
      case Pixo::TwainContrast: v = c->contrast; break;
      case Pixo::TwainFeederEnabled: v = c->feeder ? 1 : 0; break;
      case Pixo::TwainMaxPages: v = -1; break;
      default: break;
    }
  }
  return Convert(store, V(v));
}

// The request an acquire makes of the source from the settings put: -1
// frames and brightness or contrast outside -1000..1000 (2000 by custom)
// leave the source's own values.
twain::Request ScanRequest(const S& s) {
  twain::Request r;
  auto put = [&s](Pixo id) -> std::optional<double> {
    auto it = s.stored.find(static_cast<int32_t>(id));
    if (it == s.stored.end()) return std::nullopt;
    return rt::CDbl(it->second);
  };
  if (auto v = put(Pixo::TwainPixelType)) r.pixelType = static_cast<int32_t>(*v);
  if (auto v = put(Pixo::TwainResolution); v && *v > 0) r.resolution = v;
  if (auto v = put(Pixo::TwainFrameLeft); v && *v >= 0) r.frameLeft = v;
  if (auto v = put(Pixo::TwainFrameTop); v && *v >= 0) r.frameTop = v;
  if (auto v = put(Pixo::TwainFrameWidth); v && *v > 0) r.frameWidth = v;
  if (auto v = put(Pixo::TwainFrameHeight); v && *v > 0) r.frameHeight = v;
  if (auto v = put(Pixo::TwainBrightness); v && std::abs(*v) <= 1000) r.brightness = v;
  if (auto v = put(Pixo::TwainContrast); v && std::abs(*v) <= 1000) r.contrast = v;
  return r;
}

// The scanned picture as an image of the pixel type and bits put (1, 4, 8
// or 24; as delivered when none were put).
int16_t ScannedImage(const twain::Raster& r, std::optional<int32_t> pixelType, int32_t bits, Image& img) {
  const int32_t delivered = r.channels == 3 ? 24 : r.bilevel ? 1 : 8;
  if (!img.Create(r.width, r.height, delivered)) return kPixoScanFailed;
  for (int32_t y = 0; y < r.height; ++y) {
    const uint8_t* in = r.data.data() + static_cast<size_t>(y) * r.width * r.channels;
    uint8_t* out = img.row(y);
    for (int32_t x = 0; x < r.width * r.channels; ++x) out[x] = delivered == 1 ? (in[x] ? 1 : 0) : in[x];
  }
  if (r.dpi > 0) img.SetResolution(r.dpi, r.dpi);
  if (!pixelType) return kPixoOk;
  switch (*pixelType) {
    case twain::kBlackWhite: return img.bits() == 1 ? int16_t{kPixoOk} : ConvertToGrey(img, 1);
    case twain::kGray:
      if (bits == 4 || bits == 1 || (bits == 8 && img.bits() != 8)) return ConvertToGrey(img, bits);
      return kPixoOk;
    default:
      if (bits == 1 || bits == 4 || bits == 8) return ChangeDepth(img, bits, 2, 0, {});
      return kPixoOk;
  }
}

V Acquire(S& s, Args a) {
  Need(a, 0, 1);
  const twain::Request request = ScanRequest(s);
  twain::Raster raster;
  const int16_t rc = twain::Acquire(request, &raster);
  if (rc != twain::kOk) return ScanResult(rc);
  Image img;
  auto bits = s.stored.find(static_cast<int32_t>(Pixo::TwainBits));
  const int16_t made =
      ScannedImage(raster, request.pixelType, bits == s.stored.end() ? 0 : rt::CLng(bits->second), img);
  if (made != kPixoOk) return Result(made);
  s.SetImage(std::move(img));
  return Result(kPixoOk);
}

using P = Pixo;
using St = Store;

const Member kMembers[] = {
    // Image
    {P::BitmapHandle, "BitmapHandle", St::None, ImageGet, ImagePut},
    {P::AutoRepaint, "AutoRepaint", St::Boolean, nullptr,
     [](S& s, Args, const V& v) {
       Keep(s, P::AutoRepaint, St::Boolean, v);
       s.AutoPaint();  // switching it on paints what was held back
     }},
    {P::ViewFlag5, "ViewFlag5", St::Boolean},
    {P::ImageWidth, "ImageWidth", St::None, [](S& s, Args) { return V(s.imageWidth()); }},
    {P::ImageHeight, "ImageHeight", St::None, [](S& s, Args) { return V(s.imageHeight()); }},
    {P::ImageBits, "ImageBits", St::None, [](S& s, Args) { return Int(s.pic ? s.pic->image().bits() : 0); }},
    {P::ViewEnabled, "ViewEnabled", St::Boolean},
    // View geometry
    {P::DstLeft, "DstLeft", St::None, [](S& s, Args) { return V(s.view.dstLeft()); },
     [](S& s, Args, const V& v) {
       s.view.SetDstLeft(rt::CDbl(v));
       s.AutoPaint();
     }},
    {P::DstTop, "DstTop", St::None, [](S& s, Args) { return V(s.view.dstTop()); },
     [](S& s, Args, const V& v) {
       s.view.SetDstTop(rt::CDbl(v));
       s.AutoPaint();
     }},
    {P::DstWidth, "DstWidth", St::None, [](S& s, Args) { return V(s.view.dstWidth()); }},
    {P::DstHeight, "DstHeight", St::None, [](S& s, Args) { return V(s.view.dstHeight()); }},
    {P::DclLeft, "DclLeft", St::None, [](S& s, Args) { return V(s.view.dcl[0]); },
     [](S& s, Args, const V& v) { DclPut(s, 0, v); }},
    {P::DclTop, "DclTop", St::None, [](S& s, Args) { return V(s.view.dcl[1]); },
     [](S& s, Args, const V& v) { DclPut(s, 1, v); }},
    {P::DclWidth, "DclWidth", St::None, [](S& s, Args) { return V(s.view.dcl[2]); },
     [](S& s, Args, const V& v) { DclPut(s, 2, v); }},
    {P::DclHeight, "DclHeight", St::None, [](S& s, Args) { return V(s.view.dcl[3]); },
     [](S& s, Args, const V& v) { DclPut(s, 3, v); }},
    {P::SrcLeft, "SrcLeft", St::None, [](S& s, Args) { return V(Visible(s, 0)); }},
    {P::SrcTop, "SrcTop", St::None, [](S& s, Args) { return V(Visible(s, 1)); }},
    {P::SrcWidth, "SrcWidth", St::None, [](S& s, Args) { return V(Visible(s, 2)); }},
    {P::SrcHeight, "SrcHeight", St::None, [](S& s, Args) { return V(Visible(s, 3)); }},
    {P::SclLeft, "SclLeft", St::None, [](S&, Args) { return V(0.0); }},
    {P::SclTop, "SclTop", St::None, [](S&, Args) { return V(0.0); }},
    {P::SclWidth, "SclWidth", St::None, [](S& s, Args) { return V(static_cast<double>(s.view.clientWidth())); }},
    {P::SclHeight, "SclHeight", St::None, [](S& s, Args) { return V(static_cast<double>(s.view.clientHeight())); }},
    {P::XResolution, "XResolution", St::None, [](S& s, Args) { return ResolutionGet(s, true); },
     [](S& s, Args, const V& v) { ResolutionPut(s, true, v); }},
    {P::YResolution, "YResolution", St::None, [](S& s, Args) { return ResolutionGet(s, false); },
     [](S& s, Args, const V& v) { ResolutionPut(s, false, v); }},
    // File information
    {P::InfoPage, "InfoPage", St::None, [](S& s, Args) { return InfoValue(s, P::InfoPage); }},
    {P::InfoWidth, "InfoWidth", St::None, [](S& s, Args) { return InfoValue(s, P::InfoWidth); }},
    {P::InfoHeight, "InfoHeight", St::None, [](S& s, Args) { return InfoValue(s, P::InfoHeight); }},
    {P::InfoBits, "InfoBits", St::None, [](S& s, Args) { return InfoValue(s, P::InfoBits); }},
    {P::InfoSizeDisk, "InfoSizeDisk", St::None, [](S& s, Args) { return InfoValue(s, P::InfoSizeDisk); }},
    {P::InfoPageCount, "InfoPageCount", St::None, [](S& s, Args) { return InfoValue(s, P::InfoPageCount); }},
    // Rubber band and pointer
    {P::RubberBandActive, "RubberBandActive", St::Boolean, nullptr,
     [](S& s, Args, const V& v) {
       Keep(s, P::RubberBandActive, St::Boolean, v);
       if (rt::CBool(v)) {  // the band starts at the last press
         s.band[0] = s.downX;
         s.band[1] = s.downY;
         s.band[2] = s.band[3] = 0;
       }
       s.AutoPaint();
     }},
    {P::RubberBandLeft, "RubberBandLeft", St::None, [](S& s, Args) { return V(s.band[0]); },
     [](S& s, Args, const V& v) { BandPut(s, 0, v); }},
    {P::RubberBandTop, "RubberBandTop", St::None, [](S& s, Args) { return V(s.band[1]); },
     [](S& s, Args, const V& v) { BandPut(s, 1, v); }},
    {P::RubberBandWidth, "RubberBandWidth", St::None, [](S& s, Args) { return V(s.band[2]); },
     [](S& s, Args, const V& v) { BandPut(s, 2, v); }},
    {P::RubberBandHeight, "RubberBandHeight", St::None, [](S& s, Args) { return V(s.band[3]); },
     [](S& s, Args, const V& v) { BandPut(s, 3, v); }},
    {P::MousePointer, "MousePointer", St::Integer},
    {P::ViewOption56, "ViewOption56", St::Integer},
    {P::ViewFlag57, "ViewFlag57", St::Boolean},
    {P::ImageValue60, "ImageValue60", St::None, [](S& s, Args) { return ResolutionGet(s, true); }},
    {P::ImageValue61, "ImageValue61", St::None, [](S& s, Args) { return ResolutionGet(s, false); }},
    // Scanner settings
    {P::TwainAppAuthor, "TwainAppAuthor", St::String},
    {P::TwainAppFamily, "TwainAppFamily", St::String},
    {P::TwainAppName, "TwainAppName", St::String},
    {P::TwainSourceName, "TwainSourceName", St::None, [](S&, Args) { return V(twain::CurrentSource()); }},
    {P::TwainMaxPages, "TwainMaxPages", St::Long, TwainSetting<P::TwainMaxPages, St::Long>},
    {P::TwainPixelType, "TwainPixelType", St::Long, TwainSetting<P::TwainPixelType, St::Long>},
    {P::TwainResolution, "TwainResolution", St::Double, TwainSetting<P::TwainResolution, St::Double>},
    {P::TwainFrameLeft, "TwainFrameLeft", St::Double, TwainSetting<P::TwainFrameLeft, St::Double>},
    {P::TwainFrameTop, "TwainFrameTop", St::Double, TwainSetting<P::TwainFrameTop, St::Double>},
    {P::TwainFrameWidth, "TwainFrameWidth", St::Double, TwainSetting<P::TwainFrameWidth, St::Double>},
    {P::TwainFrameHeight, "TwainFrameHeight", St::Double, TwainSetting<P::TwainFrameHeight, St::Double>},
    {P::TwainBits, "TwainBits", St::Integer, TwainSetting<P::TwainBits, St::Integer>},
    {P::TwainOptionFlags, "TwainOptionFlags", St::Long},
    // Image kind and region
    {P::BitonalFlag, "BitonalFlag", St::None,
     [](S& s, Args) { return Int(s.image() && s.image()->IsBitonal() ? 1 : 0); }},
    {P::HasRegion, "HasRegion", St::None, [](S& s, Args) { return V(s.pic && !s.pic->region.empty()); }},
    {P::RegionLeft, "RegionLeft", St::None, [](S& s, Args) { return V(RegionShown(s, 0)); }},
    {P::RegionTop, "RegionTop", St::None, [](S& s, Args) { return V(RegionShown(s, 1)); }},
    {P::RegionWidth, "RegionWidth", St::None, [](S& s, Args) { return V(RegionShown(s, 2)); }},
    {P::RegionHeight, "RegionHeight", St::None, [](S& s, Args) { return V(RegionShown(s, 3)); }},
    {P::ViewOption104, "ViewOption104", St::Integer},
    {P::RubberBandState, "RubberBandState", St::Integer},
    {P::ImageValue106, "ImageValue106", St::None, [](S& s, Args) { return V(s.cut ? s.cut->handle : 0); },
     CutPut},
    {P::ViewOption107, "ViewOption107", St::Boolean},
    {P::SaveOption132, "SaveOption132", St::Integer},
    {P::ScaleMode, "ScaleMode", St::None, [](S& s, Args) { return V(s.view.scaleMode()); },
     [](S& s, Args, const V& v) {
       if (!s.view.SetScaleMode(rt::CLng(v))) rt::Raise(rt::kInvalidPropertyValue);
       s.AutoPaint();
     }},
    {P::ZoomPercent, "ZoomPercent", St::None, [](S& s, Args) { return V(s.view.Zoom()); },
     [](S& s, Args, const V& v) {
       if (!s.view.SetZoom(rt::CDbl(v))) rt::Raise(rt::kInvalidPropertyValue);
       s.AutoPaint();
     }},
    {P::RubberBandEnabled, "RubberBandEnabled", St::Boolean},
    {P::SaveOption161, "SaveOption161", St::Boolean},
    // Drawing and text
    {P::DrawOption164, "DrawOption164", St::Boolean},
    {P::DrawOption165, "DrawOption165", St::Integer},
    {P::DrawOption166, "DrawOption166", St::Integer},
    {P::ViewOption167, "ViewOption167", St::Integer},
    {P::ViewOption168, "ViewOption168", St::Integer},
    {P::DrawColor169, "DrawColor169", St::Long},
    {P::DrawOption170, "DrawOption170", St::Integer},
    {P::TextColor, "TextColor", St::Long},
    {P::TextLeft, "TextLeft", St::Double},
    {P::TextTop, "TextTop", St::Double},
    {P::TextWidth, "TextWidth", St::Double},
    {P::TextHeight, "TextHeight", St::Double},
    {P::TextAngle, "TextAngle", St::Long},
    {P::TextOption217, "TextOption217", St::Integer},
    {P::TextAlign, "TextAlign", St::Integer},
    {P::TwainBrightness, "TwainBrightness", St::Double, TwainSetting<P::TwainBrightness, St::Double>},
    {P::TwainContrast, "TwainContrast", St::Double, TwainSetting<P::TwainContrast, St::Double>},
    {P::TwainFeederEnabled, "TwainFeederEnabled", St::Long, TwainSetting<P::TwainFeederEnabled, St::Long>},
    {P::TwainAutoFeed, "TwainAutoFeed", St::Long},
    {P::SaveOption266, "SaveOption266", St::Integer},
    {P::SaveOption274, "SaveOption274", St::Integer},
    {P::PanEnabled, "PanEnabled", St::Boolean},
    {P::SaveOption280, "SaveOption280", St::Boolean},
    // Methods
    {P::AdjustContrast, "AdjustContrast", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 1, 1);
       return Edit(s, false, [v = Lng(a, 0)](Image& img) { return AdjustContrast(img, v); });
     }},
    {P::FlipImage, "FlipImage", St::None, nullptr, nullptr, [](S& s, Args a) { return NoArgs(s, a, true, Flip); }},
    {P::ConvertToGray, "ConvertToGray", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 0, 1);
       return Edit(s, false, [bits = Lng(a, 0, 8)](Image& img) { return ConvertToGrey(img, bits); });
     }},
    {P::AdjustBrightness, "AdjustBrightness", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 1, 1);
       return Edit(s, false, [v = Lng(a, 0)](Image& img) { return AdjustBrightness(img, v); });
     }},
    {P::TwainAcquire, "TwainAcquire", St::None, nullptr, nullptr, Acquire},
    {P::TwainSelectSource, "TwainSelectSource", St::None, nullptr, nullptr,
     [](S&, Args a) {
       Need(a, 0, 1);
       return ScanResult(twain::SelectSource());
     }},
    {P::MirrorImage, "MirrorImage", St::None, nullptr, nullptr,
     [](S& s, Args a) { return NoArgs(s, a, true, Mirror); }},
    {P::Repaint, "Repaint", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 0, 0);
       ++s.repaintCalls;
       return V();
     }},
    {P::SaveImageFile, "SaveImageFile", St::None, nullptr, nullptr, SaveFile},
    {P::RotateImage, "RotateImage", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 1, 3);
       const int32_t angle = Lng(a, 0);
       const auto fill = static_cast<Colour>(Lng(a, 2, static_cast<int32_t>(kWhite))) & 0xFFFFFF;
       return Edit(s, true, [=](Image& img) { return Rotate(img, angle, fill); });
     }},
    {P::FillImage, "FillImage", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 1, 1);
       const auto c = static_cast<Colour>(Lng(a, 0)) & 0xFFFFFF;
       return Edit(s, false, [c](Image& img) {
         Fill(img, c);
         return int16_t{kPixoOk};
       });
     }},
    {P::AdjustGamma, "AdjustGamma", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 1, 1);
       return Edit(s, false, [v = Lng(a, 0)](Image& img) { return AdjustGamma(img, v); });
     }},
    {P::CreateImage, "CreateImage", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 2, 3);
       Image img;
       if (!img.Create(ToPixel(Dbl(a, 0)), ToPixel(Dbl(a, 1)), Lng(a, 2, 24))) return Result(kPixoBadArgument);
       s.SetImage(std::move(img));
       return Result(kPixoOk);
     }},
    {P::ResizeImage, "ResizeImage", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 2, 3);
       return Edit(s, true, [w = Dbl(a, 0), h = Dbl(a, 1), m = Lng(a, 2, 0)](Image& img) {
         return Resize(img, w, h, m);
       });
     }},
    {P::LoadImageFile, "LoadImageFile", St::None, nullptr, nullptr, LoadFile},
    {P::ChangeColorDepth, "ChangeColorDepth", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 1, 4);
       return Edit(s, false, [&s, bits = Lng(a, 0), mode = Lng(a, 1, 0), n = Lng(a, 3, 0)](Image& img) {
         return ChangeDepth(img, bits, mode, n, s.staged);
       });
     }},
    {P::Combine, "Combine", St::None, nullptr, nullptr, CombineInto},
    {P::CropToRect, "CropToRect", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 4, 4);
       return Edit(s, true, [a](Image& img) { return Crop(img, Dbl(a, 0), Dbl(a, 1), Dbl(a, 2), Dbl(a, 3)); });
     }},
    {P::GetFileInfo, "GetFileInfo", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 1, 3);
       const int16_t rc = ReadImageInfo(Str(a, 0), Lng(a, 1, 1), s.info);
       if (rc != kPixoOk) s.info = FileInfo();
       return Result(rc);
     }},
    {P::TwainPrepare, "TwainPrepare", St::None, nullptr, nullptr,
     [](S&, Args a) {
       Need(a, 0, 1);
       return ScanResult(twain::Open());
     }},
    {P::FreeRegion, "FreeRegion", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 0, 0);
       if (s.pic) s.pic->region = Region();
       s.AutoPaint();
       return Result(kPixoOk);
     }},
    {P::IsPointInRegion, "IsPointInRegion", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 2, 2);
       const auto x = static_cast<int32_t>(std::floor(Dbl(a, 0))), y = static_cast<int32_t>(std::floor(Dbl(a, 1)));
       return V(s.pic && !s.pic->region.empty() && s.pic->region.Contains(x, y));
     }},
    {P::SetColorRegion, "SetColorRegion", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 2, 2);
       if (!s.pic) return Result(kPixoNoImage);
       s.pic->region = ColourRegion(s.pic->image(), Lng(a, 0), static_cast<Colour>(Lng(a, 1)) & 0xFFFFFF);
       s.AutoPaint();
       return Result(s.pic->region.empty() ? kPixoBadArgument : kPixoOk);
     }},
    {P::SetRectRegion, "SetRectRegion", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 4, 5);
       if (!s.pic) return Result(kPixoNoImage);
       s.pic->region = RectRegion(s.pic->image(), Dbl(a, 0), Dbl(a, 1), Dbl(a, 2), Dbl(a, 3));
       s.AutoPaint();
       return Result(s.pic->region.empty() ? kPixoBadArgument : kPixoOk);
     }},
    {P::ImageKind, "ImageKind", St::None, [](S& s, Args) { return ImageKindOf(s.image()); }},
    {P::DrawShape, "DrawShape", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 4, 4);
       if (!s.pic) return Result(kPixoNoImage);
       s.overlay.push_back({Dbl(a, 0), Dbl(a, 1), Dbl(a, 2), Dbl(a, 3),
                            static_cast<Colour>(s.Number(Pixo::DrawColor169)) & 0xFFFFFF});
       s.AutoPaint();
       return Result(kPixoOk);
     }},
    {P::TextWidthOf, "TextWidthOf", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 1, 1);
       return V(TextWidthPx(s.font->face, Str(a, 0)));
     }},
    {P::ZoomToRect, "ZoomToRect", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 4, 4);
       if (!s.pic) return Result(kPixoNoImage);
       if (!s.view.ZoomToRect(Dbl(a, 0), Dbl(a, 1), Dbl(a, 2), Dbl(a, 3))) return Result(kPixoBadArgument);
       s.AutoPaint();
       return Result(kPixoOk);
     }},
    {P::DrawText, "DrawText", St::None, nullptr, nullptr, DrawTextCall},
    {P::TwainEndSession, "TwainEndSession", St::None, nullptr, nullptr,
     [](S&, Args a) {
       Need(a, 0, 1);
       twain::Close();
       return Result(kPixoOk);
     }},
    {P::PaletteEntry, "PaletteEntry", St::None,
     [](S& s, Args a) {
       Need(a, 1, 1);
       return V(static_cast<int32_t>(s.staged[PaletteIndex(a)]));
     },
     [](S& s, Args a, const V& v) {
       Need(a, 1, 1);
       s.staged[PaletteIndex(a)] = static_cast<Colour>(rt::CLng(v)) & 0xFFFFFF;
     }},
    {P::Pixel, "Pixel", St::None,
     [](S& s, Args a) {
       Need(a, 2, 2);
       const double x = std::floor(Dbl(a, 0)), y = std::floor(Dbl(a, 1));
       const Image* img = s.image();
       if (!img || x < 0 || y < 0 || x >= img->width() || y >= img->height()) return V(int32_t{-1});
       return V(static_cast<int32_t>(img->At(static_cast<int32_t>(x), static_cast<int32_t>(y))));
     }},
    {P::TwainAvailable, "TwainAvailable", St::None, [](S&, Args a) {
       Need(a, 0, 1);
       return V(twain::Usable());
     }},
    {P::ComposeOp570, "ComposeOp570", St::None, nullptr, nullptr,
     [](S& s, Args a) {
       Need(a, 3, 3);
       return Edit(s, false, [a](Image& img) { return ComposeOp(img, Lng(a, 0), Lng(a, 1), Lng(a, 2)); });
     }},
    // Stock properties
    {P::BackColor, "BackColor", St::Long},
    {P::Font, "Font", St::None, [](S& s, Args) { return V(rt::Object(s.font)); }},
};

const std::unordered_map<int32_t, const Member*>& Table() {
  static const auto table = [] {
    std::unordered_map<int32_t, const Member*> t;
    for (const Member& m : kMembers) t.emplace(static_cast<int32_t>(m.id), &m);
    return t;
  }();
  return table;
}

// Members read (or put) with index arguments; every other property takes none.
bool Indexed(Pixo id) { return id == Pixo::PaletteEntry || id == Pixo::Pixel || id == Pixo::TwainAvailable; }

V StoredGet(const S& s, const Member& m) {
  auto it = s.stored.find(static_cast<int32_t>(m.id));
  if (it != s.stored.end()) return it->second;
  switch (m.store) {
    case Store::Boolean: return V(false);
    case Store::Integer: return Int(0);
    case Store::Long: return V(int32_t{0});
    case Store::Double: return V(0.0);
    default: return V(std::string());
  }
}

}  // namespace

const char* MemberName(int32_t dispid) {
  auto it = Table().find(dispid);
  return it == Table().end() ? "" : it->second->name;
}

rt::Variant DispatchMember(S& s, int32_t dispid, com::InvokeKind kind, Args args) {
  auto it = Table().find(dispid);
  if (it == Table().end()) rt::Raise(rt::kNoSuchMember);
  const Member& m = *it->second;
  const bool stored = m.store != Store::None;
  if (kind == com::InvokeKind::PropertyPut) {
    if (!m.put && !stored) rt::Raise(rt::kNoSuchMember);
    if (args.empty()) rt::Raise(rt::kInvalidCall);
    const V value = args.back();
    const Args index = args.first(args.size() - 1);
    if (!Indexed(m.id)) Need(index, 0, 0);
    if (m.put) {
      m.put(s, index, value);
    } else {
      Keep(s, m.id, m.store, value);
    }
    return V();
  }
  // A get and a call are the same to the caller, as with late binding:
  // a property read with arguments or a method read for its result.
  if (kind == com::InvokeKind::Method && m.call) return m.call(s, args);
  if ((m.get || stored) && !Indexed(m.id)) Need(args, 0, 0);
  if (m.get) return m.get(s, args);
  if (stored) return StoredGet(s, m);
  if (m.call) return m.call(s, args);
  rt::Raise(rt::kNoSuchMember);
}

rt::Variant FontObject::Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) {
  const bool put = kind == com::InvokeKind::PropertyPut;
  if (put ? args.size() != 1 : !args.empty()) rt::Raise(rt::kInvalidCall);
  switch (static_cast<PixoFont>(dispid)) {
    case PixoFont::Name:
      if (put) face.name = rt::CStr(args[0]);
      return put ? V() : V(face.name);
    case PixoFont::Size:
      if (put) {
        const double points = rt::CDbl(args[0]);
        if (!(points > 0) || points > 2000) rt::Raise(rt::kInvalidPropertyValue);
        face.points = points;
      }
      return put ? V() : V(face.points);
    case PixoFont::Bold:
      if (put) face.bold = rt::CBool(args[0]);
      return put ? V() : V(face.bold);
    case PixoFont::Italic:
      if (put) face.italic = rt::CBool(args[0]);
      return put ? V() : V(face.italic);
  }
  rt::Raise(rt::kNoSuchMember);
}

}  // namespace imaging

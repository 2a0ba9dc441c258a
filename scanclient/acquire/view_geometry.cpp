#include "scanclient/acquire/view_geometry.h"

#include <cmath>

#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/strings.h"

namespace quillet {

namespace {

constexpr double kScrollBarPx = 20;

// The band's limits on screen.
struct ScreenLimits {
  double wMin, hMin, wMax, hMax;
};
ScreenLimits LimitsOf(const CropView& v, const SizeRules& r) {
  return {Round(r.minWidth / v.scale), Round(r.minHeight / v.scale), Round(r.maxWidth / v.scale),
          Round(r.maxHeight / v.scale)};
}

// Four characters read with Val, cut towards zero. Four characters can still
// hold a number beyond 32 bits ("9E99"): error 6, as for any Long.
int32_t Field(std::string_view text, int32_t position) {
  return rt::CLng(rt::Fix(rt::Val(rt::Mid(text, position, 4))));
}

}  // namespace

double Round(double x) { return std::floor(x + 0.5); }

FitPercents FitPercentsFor(double windowW, double windowH, double imageW, double imageH) {
  return {rt::Int(windowW / imageW * 100), rt::Int((windowW - kScrollBarPx) / imageW * 100),
          rt::Int(windowH / imageH * 100), rt::Int((windowH - kScrollBarPx) / imageH * 100)};
}

double FitCommandPercent(int16_t index, const FitPercents& f) {
  switch (index) {
    // A fit that makes the other direction scroll leaves room for its bar.
    case 0: return f.width <= f.height ? f.width : f.widthWithBar;
    case 1: return f.height <= f.width ? f.height : f.heightWithBar;
    default: return f.width < f.height ? f.width : f.height;
  }
}

std::string CropTagText(const CropRect& r) {
  auto four = [](int32_t n) { return rt::Format(static_cast<double>(n), "0000"); };
  return four(r.left) + "." + four(r.top) + "-" + four(r.width) + "." + four(r.height);
}

std::optional<CropRect> ReadCropTag(std::string_view tag) {
  if (rt::Len(tag) != 19) return std::nullopt;
  return CropRect{Field(tag, 1), Field(tag, 6), Field(tag, 11), Field(tag, 16)};
}

double SizeRules::Aspect() const {
  if (aspectX == 0 || aspectY == 0) return 0;
  return static_cast<double>(aspectX) / aspectY;
}

SizeRules ReadSizeRules(std::string_view field) {
  SizeRules r;
  if (field.empty()) return r;
  r.aspectX = Field(field, 1);
  r.aspectY = Field(field, 6);
  r.minWidth = Field(field, 11);
  r.minHeight = Field(field, 16);
  r.maxWidth = Field(field, 21);
  r.maxHeight = Field(field, 26);
  return r;
}

ImagePoint ImagePointAt(double xTwips, double yTwips, const CropView& v) {
  return {Round((xTwips / v.twipsX - v.left) * v.scale), Round((yTwips / v.twipsY - v.top) * v.scale)};
}

void LimitBandSize(Band& b, const CropView& v, const SizeRules& r) {
  const ScreenLimits s = LimitsOf(v, r);
  if (b.width < s.wMin || b.height < s.hMin) {
    b.width = s.wMin;
    b.height = s.hMin;
  }
  if (b.width > s.wMax || b.height > s.hMax) {
    b.width = s.wMax;
    b.height = s.hMax;
  }
}

void KeepBandInImage(Band& b, const CropView& v) {
  if (v.imageWidth < Round((b.left + b.width - v.left) * v.scale)) {
    b.left = Round(v.imageWidth / v.scale) - b.width + v.left;
  }
  if (v.imageHeight < Round((b.top + b.height - v.top) * v.scale)) {
    b.top = Round(v.imageHeight / v.scale) - b.height + v.top;
  }
}

Band PressBand(int16_t kind, const CropRect& stored, double xPx, double yPx, const CropView& v,
               const SizeRules& r) {
  Band b;
  if (kind > 0) {
    b = {Round(stored.left / v.scale) + v.left, Round(stored.top / v.scale) + v.top, Round(stored.width / v.scale),
         Round(stored.height / v.scale)};
  } else {
    const ScreenLimits s = LimitsOf(v, r);
    b = {xPx, yPx, s.wMin, s.hMin};
  }
  LimitBandSize(b, v, r);
  KeepBandInImage(b, v);
  return b;
}

Band DrawBand(Band b, double dx, double dy, const CropView& v, const SizeRules& r) {
  const double a = r.Aspect();
  const double adx = std::abs(dx), ady = std::abs(dy);
  if (a == 0) {
    b.width = adx / v.twipsX;
    b.height = ady / v.twipsY;
  } else if (static_cast<float>(ady * a) < static_cast<float>(adx)) {
    b.width = adx / v.twipsX;
    b.height = adx / v.twipsY / a;
  } else {
    b.width = ady / v.twipsX * a;
    b.height = ady / v.twipsY;
  }
  if (b.left < 0) b.left = 0;
  if (b.top < 0) b.top = 0;
  LimitBandSize(b, v, r);
  if (v.imageWidth < Round((b.left + b.width - v.left) * v.scale)) {
    b.width = Round(v.imageWidth / v.scale) - b.left + v.left;
    if (a != 0) b.height = b.width / a;
  }
  if (v.imageHeight < Round((b.top + b.height - v.top) * v.scale)) {
    b.height = Round(v.imageHeight / v.scale) - b.top + v.top;
    if (a != 0) b.width = b.height * a;
  }
  return b;
}

Band MoveBand(const CropRect& stored, double dx, double dy, const CropView& v) {
  Band b{Round(stored.left / v.scale) + v.left + dx / v.twipsX, Round(stored.top / v.scale) + v.top + dy / v.twipsY,
         Round(stored.width / v.scale), Round(stored.height / v.scale)};
  if (b.left < 0) b.left = 0;
  if (b.top < 0) b.top = 0;
  KeepBandInImage(b, v);
  return b;
}

Band ResizeBand(Band b, const CropRect& stored, double dx, double dy, const CropView& v, const SizeRules& r) {
  const double a = r.Aspect();
  const double w = Round(stored.width / v.scale) + dx / v.twipsX;
  const double h = Round(stored.height / v.scale) + dy / v.twipsY;
  if (a == 0) {
    b.width = w;
    b.height = h;
  } else if (static_cast<float>(std::abs(dy) * a) < static_cast<float>(std::abs(dx))) {
    b.width = w;
    b.height = w / a;
  } else {
    b.height = h;
    b.width = h * a;
  }
  LimitBandSize(b, v, r);
  KeepBandInImage(b, v);
  const ScreenLimits s = LimitsOf(v, r);
  if (b.left < 0) b = {0, b.top, s.wMin, s.hMin};
  if (b.top < 0) b = {b.left, 0, s.wMin, s.hMin};
  return b;
}

CropRect ReleaseRect(const Band& b, const CropView& v, const SizeRules& r) {
  auto whole = [](double x) { return static_cast<int32_t>(Round(x)); };
  CropRect c{whole((b.left - v.left) * v.scale), whole((b.top - v.top) * v.scale), whole(b.width * v.scale),
             whole(b.height * v.scale)};
  if (c.width < r.minWidth) {
    const int32_t d = r.minWidth - c.width;
    if (c.left > d) c.left -= d;
    c.width = r.minWidth;
  }
  if (c.height < r.minHeight) {
    const int32_t d = r.minHeight - c.height;
    if (c.top > d) c.top -= d;
    c.height = r.minHeight;
  }
  // The width is kept; the result is not held to the limits again.
  const double a = r.Aspect();
  if (a != 0 && (c.height == 0 || std::abs(static_cast<double>(c.width) / c.height - a) > 0.05)) {
    c.height = whole(c.width / a);
  }
  return c;
}

}  // namespace quillet

#include "platform/imaging/text.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/imaging/pixo_members.h"

namespace imaging {
namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

constexpr double kPixelsPerPoint = 96.0 / 72.0;

// Unhinted metrics: widths grow smoothly with the size, the same on every run.
void SelectFont(cairo_t* cr, const TextFont& font) {
  cairo_select_font_face(cr, FontFamilyFor(font.name).c_str(),
                         font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, font.points * kPixelsPerPoint);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

}  // namespace

std::string FontFamilyFor(const std::string& name) {
  if (name == "Arial") return "Liberation Sans";
  if (name == "Times New Roman") return "Liberation Serif";
  if (name == "Courier New") return "Liberation Mono";
  return name;
}

std::string ResolvedFontFamily(const TextFont& font) {
  FcPattern* pattern = FcPatternCreate();
  const std::string family = FontFamilyFor(font.name);
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, font.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string resolved;
  FcChar8* name = nullptr;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) {
    resolved = reinterpret_cast<const char*>(name);
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return resolved;
}

int32_t TextWidthPx(const TextFont& font, const std::string& text) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1));
  Context cr(cairo_create(surface.get()));
  SelectFont(cr.get(), font);
  cairo_text_extents_t ext;
  cairo_text_extents(cr.get(), text.c_str(), &ext);
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return 0;
  return static_cast<int32_t>(std::lround(ext.x_advance));
}

int16_t DrawTextInto(Image& img, const TextFont& font, const TextBox& box, const std::string& text) {
  if (img.empty()) return kPixoNoImage;
  cairo_text_extents_t ext;
  cairo_font_extents_t fext;
  {
    Surface probe(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1));
    Context cr(cairo_create(probe.get()));
    SelectFont(cr.get(), font);
    cairo_text_extents(cr.get(), text.c_str(), &ext);
    cairo_font_extents(cr.get(), &fext);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return kPixoBadArgument;
  }
  const int align = box.align >= 0 && box.align <= 8 ? box.align : 0;
  const int column = align % 3, row = align / 3;
  const double tw = ext.x_advance, th = fext.ascent + fext.descent;
  const double x = column == 0 ? -box.width / 2 : column == 1 ? -tw / 2 : box.width / 2 - tw;
  const double baseline = row == 0   ? -box.height / 2 + fext.ascent
                          : row == 1 ? -th / 2 + fext.ascent
                                     : box.height / 2 - fext.descent;
  // Only the square the turned text can reach is drawn: the text lies within
  // this distance of the box's centre whatever the angle and alignment.
  const double cx = box.left + box.width / 2, cy = box.top + box.height / 2;
  const double reach = std::hypot(std::abs(x) + tw, std::abs(baseline) + th) + th;
  const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(cx - reach)));
  const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(cy - reach)));
  const int32_t x1 = std::min(img.width(), static_cast<int32_t>(std::ceil(cx + reach)));
  const int32_t y1 = std::min(img.height(), static_cast<int32_t>(std::ceil(cy + reach)));
  if (x1 <= x0 || y1 <= y0) return kPixoOk;  // the text falls outside the image

  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_A8, x1 - x0, y1 - y0));
  Context cr(cairo_create(surface.get()));
  SelectFont(cr.get(), font);
  cairo_translate(cr.get(), cx - x0, cy - y0);
  // Cairo turns clockwise on screen for a positive angle; the angle here is
  // counter-clockwise.
  cairo_rotate(cr.get(), -box.angleTenths / 10.0 * M_PI / 180.0);
  cairo_move_to(cr.get(), x, baseline);
  cairo_show_text(cr.get(), text.c_str());
  cairo_surface_flush(surface.get());
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return kPixoBadArgument;

  const unsigned char* cover = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int32_t y = y0; y < y1; ++y) {
    for (int32_t px = x0; px < x1; ++px) {
      const int a = cover[static_cast<size_t>(y - y0) * stride + (px - x0)];
      if (a == 0) continue;
      const Colour old = img.At(px, y);
      auto mix = [a](int from, int to) { return static_cast<uint8_t>((from * (255 - a) + to * a + 127) / 255); };
      img.Set(px, y, MakeColour(mix(RedOf(old), RedOf(box.colour)), mix(GreenOf(old), GreenOf(box.colour)),
                                mix(BlueOf(old), BlueOf(box.colour))));
    }
  }
  return kPixoOk;
}

}  // namespace imaging

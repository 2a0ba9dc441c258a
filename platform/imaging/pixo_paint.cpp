// The view on a real screen: what the numbers of the view state show.

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/imaging/pixo_state.h"
#include "platform/runtime/convert.h"

namespace imaging {
namespace {

void SetColour(cairo_t* cr, Colour c) {
  cairo_set_source_rgb(cr, RedOf(c) / 255.0, GreenOf(c) / 255.0, BlueOf(c) / 255.0);
}

// A dashed outline that shows on light and dark images alike.
void Outline(cairo_t* cr, double x, double y, double w, double h) {
  if (!(w > 0) || !(h > 0)) return;
  const double dash = 4;
  cairo_save(cr);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, std::floor(x) + 0.5, std::floor(y) + 0.5, std::round(w), std::round(h));
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_stroke_preserve(cr);
  cairo_set_dash(cr, &dash, 1, 0);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// The image's pixels under the view, one sample per display pixel (the
// nearest image pixel), as a surface of the view's size.
void PaintImage(cairo_t* cr, const Image& img, const View& view) {
  const double zoom = view.Zoom();
  if (!(zoom > 0)) return;
  const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(view.dstLeft())));
  const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(view.dstTop())));
  const auto ceil32 = [](double v) { return static_cast<int32_t>(std::ceil(v)); };
  const int32_t x1 = std::min<int32_t>(view.clientWidth(), ceil32(view.dstLeft() + view.dstWidth()));
  const int32_t y1 = std::min<int32_t>(view.clientHeight(), ceil32(view.dstTop() + view.dstHeight()));
  if (x1 <= x0 || y1 <= y0) return;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, x1 - x0, y1 - y0);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return;
  }
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const double scale = 100 / zoom;
  std::vector<int32_t> column(static_cast<size_t>(x1 - x0));
  for (int32_t x = x0; x < x1; ++x)
    column[static_cast<size_t>(x - x0)] =
        std::clamp(static_cast<int32_t>((x + 0.5 - view.dstLeft()) * scale), 0, img.width() - 1);
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t iy = std::clamp(static_cast<int32_t>((y + 0.5 - view.dstTop()) * scale), 0, img.height() - 1);
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y - y0) * stride);
    for (int32_t x = x0; x < x1; ++x) {
      const Colour c = img.At(column[static_cast<size_t>(x - x0)], iy);
      out[x - x0] = static_cast<uint32_t>(RedOf(c)) << 16 | static_cast<uint32_t>(GreenOf(c)) << 8 | BlueOf(c);
    }
  }
  cairo_surface_mark_dirty(surface);
  cairo_set_source_surface(cr, surface, x0, y0);
  cairo_paint(cr);
  cairo_surface_destroy(surface);
}

}  // namespace

void PixoControl::Paint(cairo_t* cr) const {
  const State& s = *s_;
  const View& view = s.view;
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, view.clientWidth(), view.clientHeight());
  cairo_clip(cr);
  const auto back = s.stored.find(static_cast<int32_t>(Pixo::BackColor));
  SetColour(cr, back == s.stored.end() ? kWhite : static_cast<Colour>(rt::CLng(back->second)) & 0xFFFFFF);
  cairo_paint(cr);
  if (s.pic) {
    PaintImage(cr, s.pic->held(), view);
    const Region& r = s.pic->region;
    const double z = view.Zoom() / 100;
    if (!r.empty()) Outline(cr, view.ToDisplayX(r.left), view.ToDisplayY(r.top), r.width * z, r.height * z);
    for (const OverlayShape& m : s.overlay) {
      SetColour(cr, m.colour);
      cairo_set_line_width(cr, 1);
      cairo_rectangle(cr, view.ToDisplayX(std::min(m.x1, m.x2)) + 0.5, view.ToDisplayY(std::min(m.y1, m.y2)) + 0.5,
                      std::abs(m.x2 - m.x1) * z, std::abs(m.y2 - m.y1) * z);
      cairo_stroke(cr);
    }
  }
  if (s.Flag(Pixo::RubberBandActive)) Outline(cr, s.band[0], s.band[1], s.band[2], s.band[3]);
  cairo_restore(cr);
}

}  // namespace imaging

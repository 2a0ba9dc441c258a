// The view on a real screen: what the numbers of the view state show.

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/imaging/pixo_state.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/step_times.h"

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

// Display pixel (x, y) of the scaled copy shows image pixel (column[x],
// row y); each sample is the nearest image pixel.
void ScaleRows(const Image& img, const View& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               unsigned char* data, int stride) {
  const double scale = 100 / view.Zoom();
  std::vector<int32_t> column(static_cast<size_t>(x1 - x0));
  for (int32_t x = x0; x < x1; ++x)
    column[static_cast<size_t>(x - x0)] =
        std::clamp(static_cast<int32_t>((x + 0.5 - view.dstLeft()) * scale), 0, img.width() - 1);
  // An indexed image's colours, as cairo's pixels; indices past the palette are black.
  std::vector<uint32_t> colours;
  if (img.bits() != 24) {
    colours.assign(256, 0);
    for (size_t i = 0; i < img.palette().size() && i < colours.size(); ++i) {
      const Colour c = img.palette()[i];
      colours[i] = static_cast<uint32_t>(RedOf(c)) << 16 | static_cast<uint32_t>(GreenOf(c)) << 8 | BlueOf(c);
    }
  }
  int32_t lastRow = -1;
  const uint32_t* last = nullptr;
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t iy = std::clamp(static_cast<int32_t>((y + 0.5 - view.dstTop()) * scale), 0, img.height() - 1);
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y - y0) * stride);
    if (iy == lastRow) {  // an enlarged image repeats its rows
      std::copy_n(last, x1 - x0, out);
      continue;
    }
    const uint8_t* in = img.crow(iy);
    if (img.bits() == 24) {
      for (size_t i = 0; i < column.size(); ++i) {
        const uint8_t* p = in + 3 * static_cast<size_t>(column[i]);
        out[i] = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
      }
    } else {
      for (size_t i = 0; i < column.size(); ++i) out[i] = colours[in[column[i]]];
    }
    lastRow = iy;
    last = out;
  }
}

}  // namespace

// The image as the view last showed it: a surface of the part of the view
// the image covers. A page shown fitted is a fraction of its pixels on
// screen, but sampling them costs a pass over the view's area at every
// expose; the copy is made again only when the image, its pixels or the
// view's zoom, offsets or size change.
struct ScaledCopy {
  const Picture* pic = nullptr;
  uint64_t version = 0;
  const uint8_t* pixels = nullptr;  // the image's block: an expanded page gets a new one
  double zoom = 0, dstLeft = 0, dstTop = 0;
  int32_t clientW = 0, clientH = 0;
  int32_t x0 = 0, y0 = 0;
  cairo_surface_t* surface = nullptr;

  ScaledCopy() = default;
  ScaledCopy(const ScaledCopy&) = delete;
  ScaledCopy& operator=(const ScaledCopy&) = delete;
  ~ScaledCopy() {
    if (surface) cairo_surface_destroy(surface);
  }
  bool Shows(const PixoControl::State& s) const {
    const View& v = s.view;
    return pic == s.pic.get() && version == s.pixelsVersion && pixels == s.pic->held().crow(0) &&
           zoom == v.Zoom() && dstLeft == v.dstLeft() && dstTop == v.dstTop() && clientW == v.clientWidth() &&
           clientH == v.clientHeight();
  }
};

namespace {

// The image's pixels under the view, from the scaled copy (made anew when
// it does not show the view as it is).
void PaintImage(cairo_t* cr, PixoControl::State& s) {
  const Image& img = s.pic->held();
  const View& view = s.view;
  const double zoom = view.Zoom();
  if (!(zoom > 0)) return;
  if (!s.scaled || !s.scaled->Shows(s)) {
    s.scaled.reset();
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
    ScaleRows(img, view, x0, y0, x1, y1, cairo_image_surface_get_data(surface),
              cairo_image_surface_get_stride(surface));
    cairo_surface_mark_dirty(surface);
    auto copy = std::make_shared<ScaledCopy>();
    copy->pic = s.pic.get();
    copy->version = s.pixelsVersion;
    copy->pixels = img.crow(0);
    copy->zoom = zoom;
    copy->dstLeft = view.dstLeft();
    copy->dstTop = view.dstTop();
    copy->clientW = view.clientWidth();
    copy->clientH = view.clientHeight();
    copy->x0 = x0;
    copy->y0 = y0;
    copy->surface = surface;
    s.scaled = std::move(copy);
  }
  cairo_set_source_surface(cr, s.scaled->surface, s.scaled->x0, s.scaled->y0);
  cairo_paint(cr);
}

}  // namespace

void PixoControl::Paint(cairo_t* cr) const {
  State& s = *s_;
  const View& view = s.view;
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, view.clientWidth(), view.clientHeight());
  cairo_clip(cr);
  const auto back = s.stored.find(static_cast<int32_t>(Pixo::BackColor));
  SetColour(cr, back == s.stored.end() ? kWhite : static_cast<Colour>(rt::CLng(back->second)) & 0xFFFFFF);
  cairo_paint(cr);
  if (s.pic) {
    PaintImage(cr, s);
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
  rt::MarkStep("pixo.painted");
}

}  // namespace imaging

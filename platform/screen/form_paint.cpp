#include "platform/screen/form_paint.h"

#include <pango/pangocairo.h>

#include <map>
#include <string>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"
#include "platform/imaging/text.h"
#include "platform/screen/style.h"
#include "platform/screen/units.h"

namespace screen {
namespace {

void Source(cairo_t* cr, int32_t colour) {
  const Rgb c = RgbOf(colour);
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

std::vector<forms::VisibleControl*> LightControls(const forms::Form& form) {
  std::vector<forms::VisibleControl*> out;
  auto take = [&out](forms::Control* c) {
    const forms::ControlType t = c->Type();
    if (t == forms::ControlType::Shape || t == forms::ControlType::Label || t == forms::ControlType::Image)
      out.push_back(static_cast<forms::VisibleControl*>(c));
  };
  for (const forms::Form::Member& m : form.Members()) {
    if (m.single) take(m.single);
    else
      for (forms::Control* c : m.array->Elements()) take(c);
  }
  return out;
}

struct Box {
  double x, y, w, h;
};

Box BoxOf(const forms::VisibleControl& c, double tx, double ty) {
  return {static_cast<double>(TwipsToPixels(c.Left, tx)), static_cast<double>(TwipsToPixels(c.Top, ty)),
          static_cast<double>(TwipsToPixels(c.Width, tx)), static_cast<double>(TwipsToPixels(c.Height, ty))};
}

void PaintShape(cairo_t* cr, const forms::Shape& s, const Box& b) {
  const double inset = s.BorderWidth / 2.0;
  const double w = b.w - 2 * inset, h = b.h - 2 * inset;
  if (w <= 0 || h <= 0) return;
  cairo_save(cr);
  switch (s.Kind) {
    case 2:  // oval
    case 3:  // circle
      cairo_translate(cr, b.x + b.w / 2, b.y + b.h / 2);
      if (s.Kind == 3) cairo_scale(cr, std::min(w, h) / 2, std::min(w, h) / 2);
      else cairo_scale(cr, w / 2, h / 2);
      cairo_arc(cr, 0, 0, 1, 0, 2 * G_PI);
      cairo_restore(cr);
      cairo_save(cr);
      break;
    case 1:  // square
      cairo_rectangle(cr, b.x + inset + (w - std::min(w, h)) / 2, b.y + inset + (h - std::min(w, h)) / 2,
                      std::min(w, h), std::min(w, h));
      break;
    default:
      cairo_rectangle(cr, b.x + inset, b.y + inset, w, h);
      break;
  }
  if (s.FillStyle == 0) {
    Source(cr, s.FillColor);
    cairo_fill_preserve(cr);
  }
  if (s.BorderWidth > 0) {
    Source(cr, s.BorderColor);
    cairo_set_line_width(cr, s.BorderWidth);
    cairo_stroke(cr);
  }
  cairo_new_path(cr);
  cairo_restore(cr);
}

// Pictures read once per file for the run; a file that cannot be read shows nothing.
cairo_surface_t* Picture(const std::string& path) {
  static std::map<std::string, cairo_surface_t*> cache;
  auto it = cache.find(path);
  if (it != cache.end()) return it->second;
  cairo_surface_t* surface = nullptr;
  imaging::Image img;
  if (imaging::ReadImageFile(path, 1, img) == imaging::kPixoOk && !img.empty()) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, img.width(), img.height());
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int32_t y = 0; y < img.height(); ++y) {
      auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
      for (int32_t x = 0; x < img.width(); ++x) {
        const imaging::Colour c = img.At(x, y);
        row[x] = static_cast<uint32_t>(imaging::RedOf(c)) << 16 | static_cast<uint32_t>(imaging::GreenOf(c)) << 8 |
                 imaging::BlueOf(c);
      }
    }
    cairo_surface_mark_dirty(surface);
  }
  cache[path] = surface;
  return surface;
}

void PaintImage(cairo_t* cr, const forms::Image& image, const Box& b) {
  if (image.Picture.Get().empty()) return;
  cairo_surface_t* s = Picture(image.Picture.Get());
  if (!s) return;
  cairo_save(cr);
  cairo_rectangle(cr, b.x, b.y, b.w, b.h);
  cairo_clip(cr);
  cairo_translate(cr, b.x, b.y);
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  if (image.Stretch && w > 0 && h > 0) cairo_scale(cr, b.w / w, b.h / h);
  cairo_set_source_surface(cr, s, 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
}

void PaintLabel(cairo_t* cr, const forms::Label& label, const Box& b) {
  cairo_save(cr);
  cairo_rectangle(cr, b.x, b.y, b.w, b.h);
  cairo_clip_preserve(cr);
  Source(cr, label.BackColor);
  cairo_fill(cr);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  std::string text;
  for (char c : label.Caption.Get())
    if (c != '\r') text += c;
  // "&x" underlines x on the screen; "&&" is an ampersand.
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  pango_layout_set_text(layout, plain.c_str(), -1);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, imaging::FontFamilyFor(label.FontName.Get()).c_str());
  pango_font_description_set_size(font, static_cast<int>(label.FontSize * PANGO_SCALE));
  pango_font_description_set_weight(font, label.FontBold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_width(layout, static_cast<int>(b.w * PANGO_SCALE));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
  pango_layout_set_alignment(layout, label.Alignment == 1   ? PANGO_ALIGN_RIGHT
                                     : label.Alignment == 2 ? PANGO_ALIGN_CENTER
                                                            : PANGO_ALIGN_LEFT);
  Source(cr, label.Enabled ? label.ForeColor.Get() : int32_t{0x808080});
  cairo_move_to(cr, b.x, b.y);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
  cairo_restore(cr);
}

}  // namespace

void PaintForm(cairo_t* cr, forms::Form& form, double tx, double ty) {
  Source(cr, form.BackColor);
  cairo_paint(cr);
  for (forms::VisibleControl* c : LightControls(form)) {
    if (!c->Visible) continue;
    const Box b = BoxOf(*c, tx, ty);
    switch (c->Type()) {
      case forms::ControlType::Shape: PaintShape(cr, static_cast<forms::Shape&>(*c), b); break;
      case forms::ControlType::Image: PaintImage(cr, static_cast<forms::Image&>(*c), b); break;
      case forms::ControlType::Label: PaintLabel(cr, static_cast<forms::Label&>(*c), b); break;
      default: break;
    }
  }
}

forms::VisibleControl* LightControlAt(forms::Form& form, double x, double y) {
  forms::VisibleControl* hit = nullptr;
  for (forms::VisibleControl* c : LightControls(form)) {
    if (c->Type() == forms::ControlType::Shape || !c->Visible || !c->Enabled) continue;
    if (x >= c->Left && y >= c->Top && x < c->Left + c->Width && y < c->Top + c->Height) hit = c;
  }
  return hit;
}

}  // namespace screen

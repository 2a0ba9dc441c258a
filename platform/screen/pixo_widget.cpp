// The imaging control's view: a drawing area the control paints itself
// (imaging::PixoControl::Paint), taking the mouse and dropped files.

#include <algorithm>
#include <string>

#include "platform/forms/ole_control.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/imaging/pixo_control.h"
#include "platform/runtime/convert.h"
#include "platform/screen/backend.h"
#include "platform/screen/form_window.h"
#include "platform/screen/forms_display.h"
#include "platform/screen/signal.h"
#include "platform/screen/widgets.h"

namespace screen {
namespace {

class PixoWidget : public ControlWidget {
 public:
  PixoWidget(FormWindow& window, const forms::OleControl& host)
      : ControlWidget(window, host, gtk_overlay_new()), area_(gtk_drawing_area_new()) {
    gtk_container_add(GTK_CONTAINER(widget()), area_);
    TakeMouse(area_, MouseMode::kView);
    TakeDrops(area_);
    Connect(
        area_, "draw",
        [](GtkWidget*, cairo_t* cr, PixoWidget* self) {
          imaging::PixoControl* pixo = HostedBy<imaging::PixoControl>(self->Find());
          if (!pixo) return FALSE;
          // The control paints the model's pixels, which are the device's.
          cairo_scale(cr, 1.0 / DeviceScale(), 1.0 / DeviceScale());
          pixo->Paint(cr);
          return FALSE;
        },
        this);
    // Scroll bars at the view's right and bottom edges while the picture is
    // larger than the view, in the room the zoom leaves for them.
    for (Bar& b : bars_) {
      b.adjustment = gtk_adjustment_new(0, 0, 1, 16, 1, 1);
      b.bar = gtk_scrollbar_new(&b == &bars_[0] ? GTK_ORIENTATION_HORIZONTAL : GTK_ORIENTATION_VERTICAL, b.adjustment);
      gtk_widget_set_halign(b.bar, &b == &bars_[0] ? GTK_ALIGN_FILL : GTK_ALIGN_END);
      gtk_widget_set_valign(b.bar, &b == &bars_[0] ? GTK_ALIGN_END : GTK_ALIGN_FILL);
      gtk_overlay_add_overlay(GTK_OVERLAY(widget()), b.bar);
      Connect(
          b.adjustment, "value-changed", [](GtkAdjustment*, PixoWidget* self) { self->Scrolled(); }, this);
    }
    gtk_widget_show(area_);
  }

  bool Shows(const forms::Control& c) const override { return HostedBy<imaging::PixoControl>(&c) != nullptr; }

  // The view may change with any event: it is painted anew after each.
  void Update(forms::Control& control) override {
    gtk_widget_queue_draw(area_);
    imaging::PixoControl* pixo = HostedBy<imaging::PixoControl>(&control);
    if (!pixo) return;
    SetWidgetCursor(area_, PointerName(rt::CInt(imaging::PixGet(*pixo, imaging::Pixo::MousePointer))));
    const auto number = [pixo](imaging::Pixo m) { return rt::CDbl(imaging::PixGet(*pixo, m)); };
    const double view[2] = {number(imaging::Pixo::SclWidth), number(imaging::Pixo::SclHeight)};
    const double at[2] = {-number(imaging::Pixo::DstLeft), -number(imaging::Pixo::DstTop)};
    const double size[2] = {number(imaging::Pixo::DstWidth), number(imaging::Pixo::DstHeight)};
    for (int i = 0; i < 2; ++i) {
      Bar& b = bars_[i];
      const bool shown = size[i] > view[i];
      if (shown) {
        b.set = at[i];
        gtk_adjustment_configure(b.adjustment, at[i], 0, std::max(size[i], at[i] + view[i]), 16, view[i], view[i]);
      }
      gtk_widget_set_visible(b.bar, shown);
    }
  }

 private:
  struct Bar {
    GtkAdjustment* adjustment = nullptr;
    GtkWidget* bar = nullptr;
    double set = 0;  // the position the model has
  };

  // The operator moved a bar: the picture moves as the pan tool moves it.
  void Scrolled() {
    if (Syncing()) return;
    const double x = gtk_adjustment_get_value(bars_[0].adjustment), y = gtk_adjustment_get_value(bars_[1].adjustment);
    if (x == bars_[0].set && y == bars_[1].set) return;
    bars_[0].set = x;
    bars_[1].set = y;
    const std::string name = name_;
    forms::Form* form = &window_.form();
    FormsDisplay& display = window_.display();
    display.Input([&display, form, name, x, y] {
      if (!display.Loaded(*form)) return;
      imaging::PixoControl* pixo = HostedBy<imaging::PixoControl>(form->FindControl(name));
      if (!pixo) return;
      imaging::PixPut(*pixo, imaging::Pixo::DstLeft, static_cast<int32_t>(-x));
      imaging::PixPut(*pixo, imaging::Pixo::DstTop, static_cast<int32_t>(-y));
    });
  }

  GtkWidget* area_;
  Bar bars_[2];  // horizontal, vertical
  // The control's MousePointer as the desktop's cursor; null: the default.
  static const char* PointerName(int16_t pointer) {
    switch (pointer) {
      case 2: return "crosshair";
      case 4: return "move";
      case 8: return "nwse-resize";
      case 11: return "wait";
      default: return nullptr;
    }
  }
};

}  // namespace

std::unique_ptr<ControlWidget> NewPixoWidget(FormWindow& window, const forms::OleControl& host) {
  if (!HostedBy<imaging::PixoControl>(&host)) return nullptr;
  return std::make_unique<PixoWidget>(window, host);
}

}  // namespace screen

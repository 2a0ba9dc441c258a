// The imaging control's view: a drawing area the control paints itself
// (imaging::PixoControl::Paint), taking the mouse and dropped files.

#include "platform/forms/ole_control.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/runtime/convert.h"
#include "platform/imaging/pixo_control.h"
#include "platform/screen/backend.h"
#include "platform/screen/form_window.h"
#include "platform/screen/widgets.h"
#include "platform/screen/signal.h"

namespace screen {
namespace {

class PixoWidget : public ControlWidget {
 public:
  PixoWidget(FormWindow& window, const forms::OleControl& host)
      : ControlWidget(window, host, gtk_drawing_area_new()) {
    TakeMouse(widget(), MouseMode::kView);
    TakeDrops(widget());
    Connect(widget(), "draw", [](GtkWidget*, cairo_t* cr, PixoWidget* self) {
                       imaging::PixoControl* pixo = HostedBy<imaging::PixoControl>(self->Find());
                       if (!pixo) return FALSE;
                       // The control paints the model's pixels, which are the device's.
                       cairo_scale(cr, 1.0 / DeviceScale(), 1.0 / DeviceScale());
                       pixo->Paint(cr);
                       return FALSE;
                     }, this);
  }

  bool Shows(const forms::Control& c) const override { return HostedBy<imaging::PixoControl>(&c) != nullptr; }

  // The view may change with any event: it is painted anew after each.
  void Update(forms::Control& control) override {
    gtk_widget_queue_draw(widget());
    if (imaging::PixoControl* pixo = HostedBy<imaging::PixoControl>(&control))
      SetWidgetCursor(widget(), PointerName(rt::CInt(imaging::PixGet(*pixo, imaging::Pixo::MousePointer))));
  }

 private:
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

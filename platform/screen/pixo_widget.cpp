// The imaging control's view: a drawing area the control paints itself
// (imaging::PixoControl::Paint), taking the mouse and dropped files.

#include "platform/forms/ole_control.h"
#include "platform/imaging/pixo_control.h"
#include "platform/screen/form_window.h"
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
                       if (imaging::PixoControl* pixo = HostedBy<imaging::PixoControl>(self->Find())) pixo->Paint(cr);
                       return FALSE;
                     }, this);
  }

  bool Shows(const forms::Control& c) const override { return HostedBy<imaging::PixoControl>(&c) != nullptr; }

  // The view may change with any event: it is painted anew after each.
  void Update(forms::Control&) override { gtk_widget_queue_draw(widget()); }
};

}  // namespace

std::unique_ptr<ControlWidget> NewPixoWidget(FormWindow& window, const forms::OleControl& host) {
  if (!HostedBy<imaging::PixoControl>(&host)) return nullptr;
  return std::make_unique<PixoWidget>(window, host);
}

}  // namespace screen

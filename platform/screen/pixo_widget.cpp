// The imaging control's view: a drawing area the control paints itself
// (imaging::PixoControl::Paint), taking the mouse and dropped files.

#include "platform/forms/ole_control.h"
#include "platform/imaging/pixo_control.h"
#include "platform/screen/form_window.h"

namespace screen {
namespace {

imaging::PixoControl* PixoOf(const forms::Control* c) {
  const auto* host = dynamic_cast<const forms::OleControl*>(c);
  return host ? dynamic_cast<imaging::PixoControl*>(host->Object()) : nullptr;
}

class PixoWidget : public ControlWidget {
 public:
  PixoWidget(FormWindow& window, const forms::OleControl& host)
      : ControlWidget(window, host, gtk_drawing_area_new()) {
    TakeMouse(widget(), MouseMode::kView);
    TakeDrops(widget());
    g_signal_connect(widget(), "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, PixoWidget* self) {
                       if (imaging::PixoControl* pixo = PixoOf(self->Find())) pixo->Paint(cr);
                       return FALSE;
                     }),
                     this);
  }

  bool Shows(const forms::Control& c) const override { return PixoOf(&c) != nullptr; }

  // The view may change with any event: it is painted anew after each.
  void Update(forms::Control&) override { gtk_widget_queue_draw(widget()); }
};

}  // namespace

std::unique_ptr<ControlWidget> NewPixoWidget(FormWindow& window, const forms::OleControl& host) {
  if (!PixoOf(&host)) return nullptr;
  return std::make_unique<PixoWidget>(window, host);
}

}  // namespace screen

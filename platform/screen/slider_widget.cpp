// The slider: a scale over the slider's range at its value. A drag is the
// operator's slide, held while the button is down and released at the end;
// a step by the keyboard is a slide released at once.

#include <cmath>

#include "platform/forms/ole_control.h"
#include "platform/runtime/convert.h"
#include "platform/screen/form_window.h"
#include "platform/screen/signal.h"
#include "platform/slider/slider.h"

namespace screen {
namespace {

class SliderWidget : public ControlWidget {
 public:
  SliderWidget(FormWindow& window, const forms::OleControl& host)
      : ControlWidget(window, host, gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 10, 1)) {
    gtk_scale_set_draw_value(GTK_SCALE(widget()), FALSE);
    gtk_scale_set_digits(GTK_SCALE(widget()), 0);
    gtk_range_set_round_digits(GTK_RANGE(widget()), 0);
    TakeFocus(widget());
    Connect(widget(), "button-press-event", [](GtkWidget*, GdkEventButton*, SliderWidget* self) {
                       self->dragging_ = true;
                       return FALSE;
                     }, this);
    // After the scale's own handling, so the release reports where it ended.
    ConnectAfter(widget(), "button-release-event", [](GtkWidget*, GdkEventButton*, SliderWidget* self) {
      if (!self->dragging_) return FALSE;
      self->dragging_ = false;
      self->Slide(false);
      return FALSE;
    }, this);
    Connect(widget(), "value-changed", [](GtkRange*, SliderWidget* self) {
                       if (!self->Syncing()) self->Slide(self->dragging_);
                     }, this);
  }

  bool Shows(const forms::Control& c) const override { return HostedBy<slider::Slider>(&c) != nullptr; }

  void Update(forms::Control& control) override {
    slider::Slider* s = HostedBy<slider::Slider>(&control);
    const double min = rt::CLng(s->Get(slider::kMin)), max = rt::CLng(s->Get(slider::kMax));
    GtkRange* range = GTK_RANGE(widget());
    GtkAdjustment* adj = gtk_range_get_adjustment(range);
    if (gtk_adjustment_get_lower(adj) != min || gtk_adjustment_get_upper(adj) != max)
      gtk_range_set_range(range, min, max > min ? max : min + 1);
    gtk_range_set_increments(range, rt::CLng(s->Get(slider::kSmallChange)), rt::CLng(s->Get(slider::kLargeChange)));
    if (std::lround(gtk_range_get_value(range)) != s->Value()) gtk_range_set_value(range, s->Value());
  }

 private:
  void Slide(bool hold) {
    forms::OperatorAction slide;
    slide.kind = forms::OperatorAction::Slide;
    slide.value = static_cast<int32_t>(std::lround(gtk_range_get_value(GTK_RANGE(widget()))));
    slide.hold = hold;
    Act(slide);
  }

  bool dragging_ = false;
};

}  // namespace

std::unique_ptr<ControlWidget> NewSliderWidget(FormWindow& window, const forms::OleControl& host) {
  if (!HostedBy<slider::Slider>(&host)) return nullptr;
  return std::make_unique<SliderWidget>(window, host);
}

}  // namespace screen

// A command button: caption (with its access key), font, colours, and the
// press, release and click of the operator.

#include "platform/screen/form_window.h"
#include "platform/screen/mnemonic.h"
#include "platform/screen/style.h"
#include "platform/screen/signal.h"

namespace screen {
namespace {

class ButtonWidget : public ControlWidget {
 public:
  ButtonWidget(FormWindow& window, const forms::CommandButton& button)
      : ControlWidget(window, button, gtk_button_new()) {
    TakeMouse(widget(), MouseMode::kButton);
    TakeDrops(widget());
    TakeFocus(widget());
    Connect(widget(), "clicked", [](GtkButton*, ButtonWidget* self) {
                       if (self->Syncing()) return;
                       forms::OperatorAction click;
                       click.kind = forms::OperatorAction::Click;
                       click.eventOnly = true;
                       self->Act(click);
                     }, this);
  }

  bool Shows(const forms::Control& c) const override { return c.Type() == forms::ControlType::CommandButton; }

  void Update(forms::Control& control) override {
    auto& b = static_cast<forms::CommandButton&>(control);
    if (caption_ != b.Caption.Get() || !label_) {
      caption_ = b.Caption.Get();
      gtk_button_set_label(GTK_BUTTON(widget()), MnemonicCaption(caption_).c_str());
      gtk_button_set_use_underline(GTK_BUTTON(widget()), TRUE);
      label_ = gtk_bin_get_child(GTK_BIN(widget()));
      if (GTK_IS_LABEL(label_)) {
        // Captions wrap at blanks and stand centred, as on the platform's buttons.
        gtk_label_set_line_wrap(GTK_LABEL(label_), TRUE);
        gtk_label_set_justify(GTK_LABEL(label_), GTK_JUSTIFY_CENTER);
      }
    }
    const std::string back = CssColour(b.BackColor);
    // The face keeps its colour in every state: a disabled green sheet stays green.
    Style(widget(), "button, button:hover, button:active, button:disabled, button:focus { background-image: none; "
                    "background-color: " + back + "; color: " + CssColour(b.ForeColor) + "; " +
                        CssFont(b.FontName.Get(), b.FontSize, b.FontBold) +
                        " } button:disabled { color: #8c8c8c; } button:disabled label { color: #8c8c8c; }");
  }

 private:
  std::string caption_;
  GtkWidget* label_ = nullptr;
};

}  // namespace

std::unique_ptr<ControlWidget> NewButtonWidget(FormWindow& window, const forms::CommandButton& button) {
  return std::make_unique<ButtonWidget>(window, button);
}

}  // namespace screen

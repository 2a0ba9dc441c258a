// A command button: caption (with its access key), font, colours, and the
// press, release and click of the operator.

#include "platform/screen/form_window.h"
#include "platform/screen/mnemonic.h"
#include "platform/screen/signal.h"
#include "platform/screen/style.h"

namespace screen {
namespace {

class ButtonWidget : public ControlWidget {
 public:
  ButtonWidget(FormWindow& window, const forms::CommandButton& button)
      : ControlWidget(window, button, gtk_button_new()) {
    TakeMouse(widget(), MouseMode::kButton);
    TakeDrops(widget());
    TakeFocus(widget());
    Connect(
        widget(), "clicked",
        [](GtkButton*, ButtonWidget* self) {
          if (self->Syncing()) return;
          forms::OperatorAction click;
          click.kind = forms::OperatorAction::Click;
          click.eventOnly = true;
          self->Act(click);
        },
        this);
  }

  // The caption's lines as one block centred in the button and clipped at
  // its face, as the platform draws a caption taller than its button. GTK
  // would keep the block's top in view and cut off the lines below.
  static gboolean DrawCaption(GtkWidget* label, cairo_t* cr, gpointer) {
    // GTK gives the button at least the room its caption asks for; the face
    // is the model's size, which the window asks of the clip box around the
    // button, in the label's own coordinates.
    GtkWidget* box = gtk_widget_get_parent(gtk_widget_get_parent(label));
    GdkRectangle face = {0, 0, 0, 0};
    gtk_widget_get_size_request(box, &face.width, &face.height);
    gtk_widget_translate_coordinates(box, label, 0, 0, &face.x, &face.y);
    PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    cairo_rectangle(cr, face.x, face.y, face.width, face.height);
    cairo_clip(cr);
    gtk_render_layout(gtk_widget_get_style_context(label), cr, face.x + (face.width - logical.width) / 2.0 - logical.x,
                      face.y + (face.height - logical.height) / 2.0 - logical.y, layout);
    return TRUE;
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
        Connect<&ButtonWidget::DrawCaption>(label_, "draw", nullptr);
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

// A text box: its text, locked or editable, font and colours; what the
// operator types reaches the model as typing (Text, then Change).

#include "platform/screen/form_window.h"
#include "platform/screen/style.h"

namespace screen {
namespace {

class TextWidget : public ControlWidget {
 public:
  TextWidget(FormWindow& window, const forms::TextBox& text) : ControlWidget(window, text, gtk_entry_new()) {
    TakeMouse(widget(), MouseMode::kField);
    TakeFocus(widget());
    TakeTyping(widget());
  }

  bool Shows(const forms::Control& c) const override { return c.Type() == forms::ControlType::TextBox; }

  void Update(forms::Control& control) override {
    auto& t = static_cast<forms::TextBox&>(control);
    GtkEntry* entry = GTK_ENTRY(widget());
    // The field is written when the model's text changed, so that the
    // operator's caret stays where it is while typing.
    if (!shown_ || modelText_ != t.Text.Get()) {
      shown_ = true;
      modelText_ = t.Text.Get();
      std::string text;
      // One line on the screen: line breaks of a status text show as blanks.
      for (char c : modelText_) text += c == '\r' || c == '\n' ? ' ' : c;
      if (text != gtk_entry_get_text(entry)) gtk_entry_set_text(entry, text.c_str());
    }
    gtk_editable_set_editable(GTK_EDITABLE(entry), !t.Locked);
    Style(widget(), "entry { background-image: none; background-color: " + CssColour(t.BackColor) +
                        "; color: " + CssColour(t.ForeColor) + "; " +
                        CssFont(t.FontName.Get(), t.FontSize, t.FontBold) +
                        " }");
  }

 private:
  bool shown_ = false;
  std::string modelText_;
};

}  // namespace

std::unique_ptr<ControlWidget> NewTextWidget(FormWindow& window, const forms::TextBox& text) {
  return std::make_unique<TextWidget>(window, text);
}

}  // namespace screen

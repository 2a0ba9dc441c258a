// A combo box: its list and text; a drop-down combo (style 0) with a field
// to type in, a drop-down list (style 2) without. Choosing an item is the
// operator's pick, typing in the field the operator's typing.

#include <string>
#include <vector>

#include "platform/screen/form_window.h"
#include "platform/screen/style.h"
#include "platform/screen/signal.h"

namespace screen {
namespace {

class ComboWidget : public ControlWidget {
 public:
  ComboWidget(FormWindow& window, const forms::ComboBox& combo)
      : ControlWidget(window, combo, combo.Style == 2 ? gtk_combo_box_text_new() : gtk_combo_box_text_new_with_entry()),
        typed_(combo.Style != 2) {
    TakeFocus(widget());
    Connect(widget(), "changed", [](GtkComboBox* box, ComboWidget* self) {
                       if (self->Syncing()) return;
                       const int active = gtk_combo_box_get_active(box);
                       if (active < 0) return;  // typing: the field reports it
                       forms::OperatorAction pick;
                       pick.kind = forms::OperatorAction::Pick;
                       pick.text = "#" + std::to_string(active);
                       self->Act(pick);
                     }, this);
    if (GtkWidget* entry = Entry()) {
      // The field takes the width the model gives, not a theme's minimum.
      gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
      TakeFocus(entry);
      TakeTyping(entry);
    }
  }

  GtkWidget* FocusWidget() const override { return Entry() ? Entry() : widget(); }
  // A picked item fills the field; the pick is reported as such.
  bool Typed() const override { return gtk_combo_box_get_active(GTK_COMBO_BOX(widget())) < 0; }

  bool Shows(const forms::Control& c) const override {
    return c.Type() == forms::ControlType::ComboBox && (static_cast<const forms::ComboBox&>(c).Style != 2) == typed_;
  }

  void Update(forms::Control& control) override {
    auto& c = static_cast<forms::ComboBox&>(control);
    GtkComboBoxText* box = GTK_COMBO_BOX_TEXT(widget());
    std::vector<std::string> items;
    for (int16_t i = 0; i < c.ListCount(); ++i) items.push_back(c.List(i));
    if (items != items_) {
      items_ = items;
      gtk_combo_box_text_remove_all(box);
      for (const std::string& item : items_) gtk_combo_box_text_append_text(box, item.c_str());
    }
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(box)) != c.ListIndex())
      gtk_combo_box_set_active(GTK_COMBO_BOX(box), c.ListIndex());
    if (GtkWidget* entry = Entry(); entry && c.Text.Get() != gtk_entry_get_text(GTK_ENTRY(entry)))
      gtk_entry_set_text(GTK_ENTRY(entry), c.Text.Get().c_str());
    const std::string font = CssFont(c.FontName.Get(), c.FontSize, c.FontBold);
    Style(widget(), "combobox { " + font + " }");
    if (GtkWidget* entry = Entry())
      Style(entry, "entry { background-image: none; background-color: " + CssColour(c.BackColor) +
                       "; color: " + CssColour(c.ForeColor) + "; " + font + " }");
  }

 private:
  GtkWidget* Entry() const { return typed_ ? gtk_bin_get_child(GTK_BIN(widget())) : nullptr; }

  const bool typed_;
  std::vector<std::string> items_;
};

}  // namespace

std::unique_ptr<ControlWidget> NewComboWidget(FormWindow& window, const forms::ComboBox& combo) {
  return std::make_unique<ComboWidget>(window, combo);
}

}  // namespace screen

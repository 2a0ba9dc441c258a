// The menu bar of a frame window, built from the window's menu.
#include <string>

#include "platform/screen/frame_window.h"
#include "platform/screen/mnemonic.h"
#include "platform/screen/windows_display.h"
#include "platform/screen/signal.h"
#include "platform/windows/menu.h"
#include "platform/windows/operator.h"
#include "platform/windows/text.h"

namespace screen {

using namespace win;

namespace {

std::wstring ItemText(HMENU menu, int position) {
  return GetMenuStringW(menu, static_cast<UINT>(position), MF_BYPOSITION);
}

UINT ItemState(HMENU menu, int position) { return GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION); }

// What the bar shows of `menu`, greying aside: a change rebuilds it.
std::string Shape(HMENU menu) {
  std::string s = "(";
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    const UINT state = ItemState(menu, i);
    if (HMENU sub = GetSubMenu(menu, i)) {
      s += ToUtf8(ItemText(menu, i)) + Shape(sub);
    } else if (state & MF_SEPARATOR) {
      s += "-";
    } else {
      s += std::to_string(GetMenuItemID(menu, i)) + ":" + ToUtf8(ItemText(menu, i)) + ((state & MF_CHECKED) ? "*" : "");
    }
    s += '\x1f';
  }
  return s + ")";
}

// A command item: its text with its access key, and the part after a tab
// (the accelerator's name) at its right.
GtkWidget* NewCommandItem(const std::wstring& text, bool checked) {
  const size_t tab = text.find(L'\t');
  GtkWidget* item = checked ? gtk_check_menu_item_new() : gtk_menu_item_new();
  if (checked) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 24);
  GtkWidget* label = gtk_label_new_with_mnemonic(MnemonicCaption(ToUtf8(text.substr(0, tab))).c_str());
  gtk_label_set_mnemonic_widget(GTK_LABEL(label), item);
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
  if (tab != std::wstring::npos) {
    GtkWidget* keys = gtk_label_new(ToUtf8(text.substr(tab + 1)).c_str());
    gtk_style_context_add_class(gtk_widget_get_style_context(keys), "accelerator");
    gtk_box_pack_end(GTK_BOX(box), keys, FALSE, FALSE, 0);
  }
  gtk_container_add(GTK_CONTAINER(item), box);
  return item;
}

struct Choice {
  WindowsDisplay* display;
  HWND top;
  UINT id;
};

}  // namespace

MenuBar::MenuBar(FrameWindow& frame, GtkWidget* bar) : frame_(frame), bar_(bar) {}

void MenuBar::Update(HMENU menu) {
  if (!menu || !IsMenu(menu)) {
    gtk_widget_hide(bar_);
    return;
  }
  const std::string shape = Shape(menu);
  if (shape != shape_) {
    shape_ = shape;
    items_.clear();
    gtk_container_foreach(GTK_CONTAINER(bar_), [](GtkWidget* w, gpointer) { gtk_widget_destroy(w); }, nullptr);
    Build(menu, bar_);
    gtk_widget_show_all(bar_);
  }
  gtk_widget_show(bar_);
  Grey(menu);
}

void MenuBar::Build(HMENU menu, GtkWidget* shell) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    const UINT state = ItemState(menu, i);
    GtkWidget* item = nullptr;
    if (HMENU sub = GetSubMenu(menu, i)) {
      item = gtk_menu_item_new_with_mnemonic(MnemonicCaption(ToUtf8(ItemText(menu, i))).c_str());
      GtkWidget* popup = gtk_menu_new();
      Build(sub, popup);
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), popup);
    } else if (state & MF_SEPARATOR) {
      item = gtk_separator_menu_item_new();
    } else {
      const UINT id = GetMenuItemID(menu, i);
      item = NewCommandItem(ItemText(menu, i), (state & MF_CHECKED) != 0);
      items_[id] = item;
      // Choosing the item is the script's "menu" verb: WM_COMMAND unless the
      // item is greyed by then.
      Connect(item, "activate", [](GtkMenuItem*, Choice* c) {
        if (c->display->Syncing()) return;
        c->display->Input([top = c->top, id = c->id] {
          if (IsWindow(top)) ChooseMenuCommand(top, id);
        });
      }, new Choice{&frame_.display(), frame_.hwnd(), id},
         [](gpointer data, GClosure*) { delete static_cast<Choice*>(data); });
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(shell), item);
  }
}

void MenuBar::Grey(HMENU menu) {
  for (const auto& [id, item] : items_) {
    const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
    gtk_widget_set_sensitive(item, state != kMenuItemNotFound && !(state & (MF_GRAYED | MF_DISABLED)));
  }
}

}  // namespace screen

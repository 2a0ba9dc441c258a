#include "platform/screen/dialog_window.h"

#include <gtk/gtk.h>

#include <algorithm>

#include "platform/screen/backend.h"
#include "platform/screen/message_box.h"
#include "platform/screen/mnemonic.h"
#include "platform/screen/signal.h"
#include "platform/screen/widgets.h"
#include "platform/windows/dialog.h"
#include "platform/windows/text.h"

namespace screen {

using namespace win;

int ShowDialogWindow(HWND dialog, int defaultButton) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_set_name(window, "orn-dialog");
  gtk_window_set_title(GTK_WINDOW(window), ToUtf8(GetWindowTextW(dialog)).c_str());
  gtk_window_set_modal(GTK_WINDOW(window), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  if (GtkWindow* parent = DialogParent()) {
    gtk_window_set_transient_for(GTK_WINDOW(window), parent);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ON_PARENT);
  }
  RECT client;
  GetClientRect(dialog, &client);
  GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
  gtk_widget_set_size_request(layout, std::max(1, GtkPixels(client.right)), std::max(1, GtkPixels(client.bottom)));
  gtk_container_add(GTK_CONTAINER(window), layout);

  int answer = 0;
  GtkWidget* focus = nullptr;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(c, &r);
    POINT at{r.left, r.top};
    ScreenToClient(dialog, &at);
    const std::wstring cls = GetClassNameW(c);
    const std::string text = ToUtf8(GetWindowTextW(c));
    GtkWidget* w = nullptr;
    if (cls == L"Button") {
      w = gtk_button_new_with_mnemonic(MnemonicCaption(text).c_str());
      const int id = static_cast<int>(GetWindowLongPtrW(c, GWLP_ID));
      g_object_set_data(G_OBJECT(w), "orn-id", GINT_TO_POINTER(id));
      Connect(
          w, "clicked",
          [](GtkButton* b, int* answer) { *answer = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(b), "orn-id")); },
          &answer);
      if (id == defaultButton || !focus) focus = w;
    } else if (cls == L"Static" && !text.empty()) {
      w = gtk_label_new(text.c_str());
      gtk_label_set_xalign(GTK_LABEL(w), 0);
      gtk_label_set_line_wrap(GTK_LABEL(w), TRUE);
    }
    if (!w) continue;  // icons and what the screen does not know
    gtk_widget_set_size_request(w, std::max(1, GtkPixels(r.right - r.left)), std::max(1, GtkPixels(r.bottom - r.top)));
    gtk_layout_put(GTK_LAYOUT(layout), w, GtkPixels(at.x), GtkPixels(at.y));
  }
  Connect(
      window, "key-press-event",
      [](GtkWidget*, GdkEventKey* e, int* answer) -> gboolean {
        if (e->keyval != GDK_KEY_Escape) return FALSE;
        *answer = IDCANCEL;
        return TRUE;
      },
      &answer);
  Connect(
      window, "delete-event",
      [](GtkWidget*, GdkEvent*, int* answer) -> gboolean {
        *answer = IDCANCEL;
        return TRUE;
      },
      &answer);
  if (focus) gtk_widget_grab_focus(focus);
  RunModal(window, [&answer] { return answer != 0; });
  gtk_widget_destroy(window);
  return answer;
}

}  // namespace screen

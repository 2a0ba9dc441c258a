#include "platform/screen/widgets.h"

namespace screen {

bool DoublePressFollows(const GdkEventButton* e) {
  GdkEvent* next = gdk_event_peek();
  if (!next) return false;
  const bool follows = next->type == GDK_2BUTTON_PRESS && next->button.window == e->window &&
                       next->button.button == e->button;
  gdk_event_free(next);
  return follows;
}

void SetWidgetCursor(GtkWidget* w, const char* name) {
  GdkWindow* gw = gtk_widget_get_window(w);
  if (!gw) return;
  GdkCursor* cursor = name ? gdk_cursor_new_from_name(gdk_window_get_display(gw), name) : nullptr;
  gdk_window_set_cursor(gw, cursor);
  if (cursor) g_object_unref(cursor);
}

}  // namespace screen

#include "platform/screen/widgets.h"

#include "platform/screen/pump.h"

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

void FlushScreen() {
  if (GdkDisplay* d = gdk_display_get_default()) gdk_display_flush(d);
}

void AddScreenStyle(const char* css) {
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

void RunModal(GtkWidget* window, const std::function<bool()>& answered) {
  gtk_widget_show_all(window);
  gtk_window_present(GTK_WINDOW(window));
  try {
    RunUntil(answered);
  } catch (...) {
    gtk_widget_destroy(window);
    throw;
  }
}

}  // namespace screen

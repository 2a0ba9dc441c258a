#pragma once
// Small GTK helpers that the forms display and the windows display share.

#include <gtk/gtk.h>

namespace screen {

// GDK reports the second press of a double click twice: as a press and,
// right after it, as a double press. True for that first report, which then
// is no press of its own.
bool DoublePressFollows(const GdkEventButton* e);

// Sets the mouse pointer over `w` by its name ("wait"); null: the default.
// Nothing before the widget has a window.
void SetWidgetCursor(GtkWidget* w, const char* name);

}  // namespace screen

#pragma once
// Small GTK helpers that the forms display and the windows display share.

#include <gtk/gtk.h>

#include <functional>

namespace screen {

// GDK reports the second press of a double click twice: as a press and,
// right after it, as a double press. True for that first report, which then
// is no press of its own.
bool DoublePressFollows(const GdkEventButton* e);

// Sets the mouse pointer over `w` by its name ("wait"); null: the default.
// Nothing before the widget has a window.
void SetWidgetCursor(GtkWidget* w, const char* name);

// Puts the style sheet `css` on the whole screen, above the theme.
void AddScreenStyle(const char* css);

// Shows the modal `window` and runs the screen's events until `answered()`
// holds; the caller reads the answer and destroys the window. When a
// handler's exception comes out of the events, the window is destroyed
// before it goes on.
void RunModal(GtkWidget* window, const std::function<bool()>& answered);

}  // namespace screen

#pragma once
// Small GTK helpers that the forms display and the windows display share.

#include <gtk/gtk.h>

#include <functional>

#include "platform/screen/pump.h"

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

// Sends the requests queued for the X server now: work that follows
// without events (a scan under the hourglass) finds the screen as shown.
void FlushScreen();

// Lets the display's windows go (a map of owned windows). Without a display
// every request Xlib would send for a window's destruction can block the
// process on its way out: the windows go with the process instead, kept
// where the leak checker finds them.
template <class Windows>
void LetWindowsGo(Windows& windows) {
  if (DisplayLost()) {
    static auto* const kept = new Windows();
    kept->merge(windows);
  }
  windows.clear();
}

// Shows the modal `window` and runs the screen's events until `answered()`
// holds; the caller reads the answer and destroys the window. When a
// handler's exception comes out of the events, the window is destroyed
// before it goes on.
void RunModal(GtkWidget* window, const std::function<bool()>& answered);

}  // namespace screen

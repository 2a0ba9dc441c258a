#pragma once
// A box that holds one control's widget at exactly the model's size: it
// asks GTK for no room of its own, so a caption that needs more does not
// grow the control over its neighbours, gives its widget all of its own
// room, and clips what the widget draws beyond it, as the platform's
// controls clip their captions.

#include <gtk/gtk.h>

namespace screen {

// A new box around `child` (floating, like any new widget).
GtkWidget* NewClipBox(GtkWidget* child);

}  // namespace screen

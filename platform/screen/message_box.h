#pragma once
// Message boxes as real modal dialogs: the box's caption as the title, its
// text, its buttons in the platform's order with the default button
// focused, and its icon (critical, question, exclamation, information).
// Escape and the close box answer Cancel where the box has that button,
// OK on a box with OK alone, and nothing on other boxes (they must be
// answered with a button).

#include <cstdint>
#include <string>
#include <string_view>

typedef struct _GtkWindow GtkWindow;

#include "platform/uiscript/uiscript.h"

namespace screen {

// Shows the box modal over the active window and returns the button pressed.
uiscript::Answer ShowMessageBox(std::string_view text, int32_t style, std::string_view caption);

// Makes every uiscript::MessageBox without a queued answer a real box.
void InstallMessageBoxes();

// One of GTK's own button texts ("_Yes", "_Cancel", "_Print") in the
// session's language (LANG, LC_MESSAGES), as GTK's translations give it;
// without `accessKey` the mnemonic's underscore is left out.
std::string DesktopLabel(const char* text, bool accessKey);

// The window a dialog stands over: the active top-level window, else the
// last visible one, else null.
GtkWindow* DialogParent();

}  // namespace screen

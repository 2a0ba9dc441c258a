#pragma once
// A modal dialog of the window stand-in (DialogBoxParamW) on the screen:
// its title, its Static texts and its buttons at their places in the tree.
// A button answers with its id; Escape and the close box with IDCANCEL.

#include "platform/windows/window.h"

namespace screen {

// Shows `dialog` modal over the active window until the operator answers;
// the default button has the focus.
int ShowDialogWindow(win::HWND dialog, int defaultButton);

}  // namespace screen

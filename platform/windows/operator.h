#pragma once
// What an operator does to the windows of the stand-in, as the messages the
// program receives. The script's verbs (script.h) and the real screen's
// input (platform/screen) both act through these, so that a key, a menu
// choice, a toolbar click or the close box reaches the program the same way
// whichever of them made it.

#include "platform/windows/window.h"

namespace win {

// The message of a key going down or up. The Alt key going down, or any key
// while Alt is held, is a system key (WM_SYSKEYDOWN, WM_SYSKEYUP) with the
// Alt bit (29); the Alt key's own release is a plain WM_KEYUP. A release
// has bits 30 and 31 set; the repeat count is 1.
struct KeyMessage {
  UINT message = 0;
  LPARAM lParam = 0;
};
KeyMessage KeyMessageOf(int virtualKey, bool down, bool altHeld);
// Posts that message with `virtualKey` to `target`.
void PostKey(HWND target, int virtualKey, bool down, bool altHeld);

// The window the operator works in: the active window, else the first
// top-level one; null when none is open.
HWND OperatorWindow();
// The window keys go to: the focus window, else OperatorWindow().
HWND KeyTarget();

// Chooses the item with command `id` of `top`'s menu: posts WM_COMMAND
// (high word 0) to `top` and returns true. A greyed or disabled item does
// nothing (transcript: menu | ID | greyed); a missing one neither.
bool ChooseMenuCommand(HWND top, UINT id);

// Clicks the button with command `id` of `toolbar`: a left button press and
// release posted at its middle. False when the toolbar has no such button.
bool ClickToolbarButton(HWND toolbar, int id);

// The system menu's commands (SC_CLOSE: the close box; SC_MINIMIZE,
// SC_MAXIMIZE, SC_RESTORE), posted to `top`.
void PostSysCommand(HWND top, WPARAM command);

}  // namespace win

#pragma once
// Links between the parts of the windows stand-in; not for system code.

#include "platform/windows/window.h"

namespace win::detail {

// Runs the next operator-script step when the queue is empty. `nested` is
// true inside PeekMessageW. Returns true when the step may have queued
// messages (the caller looks at the queue again); false when nothing is left
// to do at this point.
bool RunScriptIdle(bool nested);
void ResetScript();
void ResetMenus();

// Built-in window classes: "#32770" dialogs, "Static", "Button"; the
// common controls once InitCommonControlsEx asks for them.
void RegisterDialogClasses();
void RegisterStatusBar();
void RegisterToolbar();

}  // namespace win::detail

#pragma once
// The operator-script driver of windowed programs built on this stand-in.
//
// The script (uiscript, ORN_UI_SCRIPT) is read at the first idle moment of
// the message loop; each time GetMessageW finds the queue empty it runs one
// step, whose input messages are posted as real input would be. Verbs, on
// top of the shared "answer":
//   menu ID|TEXT     choose an item of the active window's menu by command id
//                    or by its text ("&" and the part after a tab left out);
//                    a greyed item does nothing (transcript: menu | ID | greyed)
//   key KEYS         press keys on the focus window: "ctrl+p", "alt+f4",
//                    "shift+right", "down", "a", "f1", "enter", "pgdn" ...
//   button ID        click the toolbar button with that command id
//   close            the system menu's Close (WM_SYSCOMMAND SC_CLOSE)
//   move L T R B     move the active window to that screen rectangle
//   show normal|maximized|minimized
//   printer NAME|cancel   the choice of the next print dialog
//   state            transcript line of the active window:
//                    state | title=.. | status=.. | rect=L,T,R,B |
//                    show=normal|maximized|minimized|hidden | cursor=arrow|wait |
//                    menu:ID=enabled|greyed ... | button:ID=STATE ...
//   nested VERB ...  run the step inside the next nested message pump (a
//                    PeekMessageW that finds the queue empty, as the print
//                    abort procedure does) rather than in the main loop;
//                    when the main loop meets it first it runs there
// Each step is written to the transcript as: step | LINE | verb args...
//
// When the script is done (or there is none) and a top-level window is
// left, the session ends as at log-off (transcript: script | end |
// endsession): every top-level window gets WM_QUERYENDSESSION and, when none
// refuses, WM_ENDSESSION and is destroyed, without going through its close
// box; the program ends with its own exit code. A window still there at the
// next idle moment ends the run as in the forms runtime: a message on stderr,
// transcript  script | end | still open, exit code 125.
// ORN_UI_TIMEOUT (seconds, default 120, 0 = none) ends a run that takes
// longer with exit code 125 too, so a program caught in a loop cannot hang a
// test. A bad step throws uiscript::ScriptError; programs end with 124 on it.
// On a real screen (display.h) without ORN_UI_SCRIPT there is no script: no
// watchdog and no close at the end; the operator works until the program
// ends. With a script on the screen, a box or print dialog that no queued
// answer or "printer" step answers waits for the operator.

#include <optional>
#include <string>
#include <vector>

#include "platform/uiscript/uiscript.h"

namespace win {

struct PrinterChoice {
  bool cancel = false;
  std::wstring name;
};
// The choice queued by the next "printer" step, if any (print dialogs).
std::optional<PrinterChoice> TakePrinterChoice();

// The operator's session ends as at log-off (the desktop's end, a window
// destroyed from outside, the display gone): WM_QUERYENDSESSION to every
// top-level window and, when none refuses, WM_ENDSESSION and DestroyWindow
// on each. A refusal keeps every window.
void EndSession();

// Replaces the script (tests); the environment's script is then not read.
// `onStillOpen` runs instead of nothing before the exit of a window that
// outlives the closing (a test may throw from it to stay alive).
void SetScriptForTest(std::vector<uiscript::Step> steps, void (*onStillOpen)() = nullptr);

}  // namespace win

#pragma once
// A real screen under the window stand-in (platform/screen gives one). The
// window tree stays the one model; the display shows it and turns what the
// operator does into the operator actions of operator.h, the same ones the
// script's verbs make. Headless there is no display and nothing changes.
//
// With a display the message loop waits for real input: GetMessageW shows
// the tree and runs the screen's events until a message is queued (an
// operator's session without a script), and PeekMessageW shows the tree and
// runs the events that are ready (a nested pump, such as a print job's abort
// procedure). A script, when one is given, still runs its steps at idle
// moments, with the screen's events run before each step.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows/window.h"

namespace win {

// What the operator took in a print dialog.
struct PrinterPick {
  size_t index = 0;
  int copies = 1;        // 1 to 9999
  bool collate = false;  // copies come as whole documents, one after the other
};

class Display {
 public:
  virtual ~Display() = default;
  // Shows every visible top-level window as the tree has it now.
  virtual void Sync() = 0;
  // Shows the tree, runs the events that are ready and returns without
  // waiting. An exception of a handler that ran comes out of here.
  virtual void Pump() = 0;
  // Shows the tree and runs events until `done` is true (checked after
  // every event).
  virtual void RunUntil(const std::function<bool()>& done) = 0;
  // The operator's answer to the modal dialog `dialog` (its Static and
  // Button children say what it shows): the id of the button pressed, or
  // IDCANCEL when it was closed without one.
  virtual int AnswerDialog(HWND dialog, int defaultButton) = 0;
  // The print dialog: the printer chosen from `printers` (its index) with
  // the copies and collation asked for, or nullopt when the operator
  // cancelled. `marked` is the default printer.
  virtual std::optional<PrinterPick> ChoosePrinter(const std::vector<std::wstring>& printers, size_t marked) = 0;
  // SetCursor changed the pointer: show it now, not at the next redraw
  // (the work that set the hourglass runs before any).
  virtual void CursorChanged() {}
};

// The display of this process, or null (headless). The caller keeps it
// alive while it is set.
void SetDisplay(Display* display);
Display* GetDisplay();

}  // namespace win

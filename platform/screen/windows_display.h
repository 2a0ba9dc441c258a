#pragma once
// The window stand-in (platform/windows) on a real screen: every visible
// top-level window of the tree is a GTK window with its menu bar, and its
// status bar, toolbar and rich-text control are widgets at their places in
// the tree (frame_window.h). The tree stays the one model; it is shown again
// after every input and whenever the message loop waits. What the operator
// does becomes the operator actions of platform/windows/operator.h, the
// ones the script's verbs make: a menu choice, a toolbar click, keys, the
// close box, a move or resize of the window. Modal dialogs and the print
// dialog are real dialogs; message boxes are those of message_box.h.

#include <functional>
#include <map>
#include <memory>

#include "platform/windows/display.h"

namespace screen {

class FrameWindow;

class WindowsDisplay : public win::Display {
 public:
  WindowsDisplay();
  ~WindowsDisplay() override;
  WindowsDisplay(const WindowsDisplay&) = delete;
  WindowsDisplay& operator=(const WindowsDisplay&) = delete;

  void Sync() override;
  void Pump() override;
  void RunUntil(const std::function<bool()>& done) override;
  int AnswerDialog(win::HWND dialog, int defaultButton) override;
  std::optional<win::PrinterPick> ChoosePrinter(const std::vector<std::wstring>& printers, size_t marked) override;
  void CursorChanged() override;

  // Runs `work` as the operator's input, inside Guard, then shows the tree
  // again (the work may have changed it without queueing a message).
  void Input(const std::function<void()>& work);
  // True while Sync applies the tree (the widgets' own signals then are
  // not the operator's).
  bool Syncing() const { return syncing_ > 0; }
  // A top-level window was destroyed from outside (a window manager,
  // another client): the session ends for the program, once the events
  // that are running are over.
  void WindowDestroyed();

 private:
  // The display is gone: the session ends; a window that refuses ends the
  // program with 125.
  void DisplayGone();

  std::map<win::HWND, std::unique_ptr<FrameWindow>> frames_;
  int syncing_ = 0;
  unsigned sessionEnd_ = 0;  // the pending end of a session; 0: none
};

// Runs `program` (a program's WinMain) where StartBackend (backend.h) puts
// it: headless as before, or with its windows on the screen. Returns its
// exit code; a malformed ORN_DISPLAY, or ORN_DISPLAY=screen without a
// display, is reported on standard error and ends the run with 124.
int RunWindows(const std::function<int()>& program);

}  // namespace screen

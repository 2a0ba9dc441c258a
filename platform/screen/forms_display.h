#pragma once
// The forms runtime on a real screen: every loaded, visible form is a
// top-level window and every visible windowed control a widget at its model
// place (form_window.h); the model stays the one source of truth and is
// shown again after every operator input, timer and DoEvents. What the
// operator does on the screen reaches the program as the same operator
// actions the script verbs make (forms::App's Operator... calls).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/forms/app.h"
#include "platform/forms/display.h"
#include "platform/screen/alarm.h"

namespace screen {

class FormWindow;

class FormsDisplay : public forms::Display {
 public:
  explicit FormsDisplay(forms::App& app);
  ~FormsDisplay() override;
  FormsDisplay(const FormsDisplay&) = delete;
  FormsDisplay& operator=(const FormsDisplay&) = delete;

  void Sync() override;
  void Pump() override;
  void RunUntil(const std::function<bool()>& done) override;
  void RunFor(int64_t ms) override;
  int64_t Clock() const override;

  forms::App& app() const { return app_; }
  // Whether `form` is still loaded (widgets ask before they act on it).
  bool Loaded(const forms::Form& form) const;
  // Runs `work` as the operator's input: inside Guard, an action the
  // control does not take (forms::OperatorError) ignored, then the model
  // shown again.
  void Input(const std::function<void()>& work);
  // True while Sync applies the model (the widgets' own signals then are not the operator's).
  bool Syncing() const { return syncing_ > 0; }
  // A form's window was destroyed from outside (a window manager, another
  // client): the desktop session ends for the program, once the events
  // that are running are over.
  void WindowDestroyed();

 private:
  void SetTimerAlarm();
  // The display is gone: the session ends; the program ends with it.
  void DisplayGone();
  // Shows the screen's mouse pointer on every window now.
  void ShowPointer();

  forms::App& app_;
  std::map<const forms::Form*, std::unique_ptr<FormWindow>> windows_;
  Alarm timers_;
  int syncing_ = 0;
  unsigned sessionEnd_ = 0;  // the pending end of a session; 0: none
};

// Runs a forms program where StartBackend (backend.h) puts it: headless as
// forms::App::Run does, or with its forms on the screen. Returns the exit
// code; a malformed ORN_DISPLAY, or ORN_DISPLAY=screen without a display,
// is reported on standard error and ends the run with 124.
int RunForms(forms::Form& main);

}  // namespace screen

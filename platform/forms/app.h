#pragma once
// The application: runs a forms program headless, driven by the operator
// script, or on a real screen (a Display), and the runtime's global
// functions (MsgBox, DoEvents, End).
//
// App::Run(mainForm):
//   1. loads the main form (its Load event) and shows it (Resize, Activate);
//   2. runs the steps of the operator script (ORN_UI_SCRIPT) in order; the
//      program's handlers run inside the steps;
//   3. when the script is done and a form is still loaded, closes the forms
//      as the Windows session ending does: QueryUnload with UnloadMode 2
//      (kAppWindows) on every loaded form, then Unload on each, unless a
//      handler cancelled;
//   4. returns the exit code.
// Exit codes: 0 the program ended (its last form unloaded, or End);
//   123 a run-time error no handler caught (after the runtime's error box);
//   124 a bad script line or an unreadable script (message on stderr; a
//       malformed ORN_ setting ends the process with 124 too);
//   125 the program still ran after the close of step 3 (message on stderr),
//       or the whole run took longer than ORN_UI_TIMEOUT seconds (default
//       120, 0 = no limit).
// A handler may also end the process itself (the platform's process exit);
// the transcript is complete at every moment, nothing is lost.
//
// On a screen (SetDisplay) the model is shown after the main form's showing
// and after every step, and time is real: timers fire on the display's clock
// and "wait MS" lets MS real milliseconds of input and timers run. Without a
// script the operator works until the last form unloads (or End): no close
// at the end of step 3 and no ORN_UI_TIMEOUT, which guard scripted runs only.
//
// The script's verbs (names of controls as "DoOK", "Page(2)", or
// "Quillet2.L2" on another form; unqualified names are the main form's; a
// form's own name stands for the form):
//   answer yes|no|ok|cancel|abort|retry|ignore   answer for the next box
//   click NAME | dblclick NAME                   MouseDown, MouseUp, Click (...)
//   mousedown|mousemove|mouseup NAME BUTTON SHIFT X Y
//                      BUTTON 0/1/2/4 or left/right/middle; SHIFT 0..7 or
//                      words shift, ctrl, alt joined by "+"; X, Y twips
//   key KEY [SHIFT [FORM]]   KeyDown, KeyPress, KeyUp; KEY a code or a name
//                      (F1..F12, Escape, Enter, Tab, Back, Space, PageUp,
//                      PageDown, End, Home, Left, Up, Right, Down, Insert,
//                      Delete, A..Z, 0..9); Alt+F4 then closes the form
//                      through its control menu (UnloadMode 0)
//   type NAME TEXT     the operator types TEXT into a text or combo box
//   pick NAME ITEM|#N  chooses a combo box's item by text or by number
//   drop NAME FILE...  drops files: OLEDragOver, then OLEDragDrop unless
//                      the handler set the effect to 0; on an outside
//                      control, OLEDropFile for each file
//   slide NAME VALUE [hold]   drags a slider to VALUE (Scroll), and releases
//                      it (Change) unless "hold"
//   resize W H [FORM]  the operator sizes the window to W x H pixels (outer)
//   maximize|minimize|restore [FORM]
//   close [FORM]       the close box (QueryUnload with UnloadMode 0)
//   wait MS            MS milliseconds pass: due timers fire in time order
//   timer NAME         fires the timer NAME once (it must be enabled)
//   dump FILE          writes the state of every loaded form and control
//                      (FILE relative to the working directory)
// Operator actions on a hidden or disabled control or form are script
// errors, as is a step after the program ended.
//
// Transcript lines (ORN_UI_TRANSCRIPT) besides the message boxes:
//   caption | FORM | text        a loaded form's caption changed
//   drop | NAME | files | effect N   a drop and the effect the program left

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forms/display.h"
#include "platform/forms/form.h"
#include "platform/uiscript/uiscript.h"

namespace forms {

// Thrown by End(); App::Run catches it. A handler must let it pass.
struct EndProgram {
  int32_t code = 0;
};

class App {
 public:
  static App& Instance();

  std::string Title;  // the application title: caption of boxes without one

  // Runs the program on `main` with the script of ORN_UI_SCRIPT; returns the
  // exit code (see above). `main` must stay alive until Run returns.
  int Run(Form& main);
  // The same with the given steps (tests).
  int Run(Form& main, const std::vector<uiscript::Step>& steps);

  // Runs one script step; throws uiscript::ScriptError for a bad step.
  void RunStep(const uiscript::Step& step);

  // The real screen the run shows (null: headless). Set before Run; the
  // display must outlive the run.
  void SetDisplay(Display* display) { display_ = display; }
  Display* GetDisplay() const { return display_; }

  // What the operator does, from a script step or a real screen; each
  // throws OperatorError when the form or control does not take it.
  // An action on `control`, or on the form itself when it is null.
  void OperatorAct(Form& form, Control* control, const OperatorAction& action);
  // A key goes down: KeyDown to the form when KeyPreview is on or no
  // control has the focus, then to the control that has it unless the code
  // became 0. Alt+F4 then closes the form through its control menu. Returns
  // the code the handlers left (0: swallowed).
  int16_t OperatorKeyDown(Form& form, int16_t key, int16_t shift);
  // The character a key typed, routed as KeyDown; returns what is left.
  int16_t OperatorKeyPress(Form& form, int16_t ascii);
  void OperatorKeyUp(Form& form, int16_t key, int16_t shift);
  // The operator sizes the window to width x height pixels (outer): one
  // Resize, none when the size is the same.
  void OperatorResize(Form& form, int32_t width, int32_t height);
  void OperatorWindowState(Form& form, int16_t state);
  // The close box: QueryUnload with UnloadMode 0, then Unload.
  void OperatorClose(Form& form);
  // The desktop session ends (log off, a window destroyed from outside,
  // the display gone): QueryUnload with UnloadMode 2 on every loaded form,
  // then Unload on each unless a handler cancelled. True when no form is
  // left loaded.
  bool OperatorEndSession();

  Form* MainForm() const { return main_; }
  // The loaded forms in load order.
  const std::vector<Form*>& Forms() const { return forms_; }
  bool Running() const { return !forms_.empty(); }

  // The runtime's clock in milliseconds: headless advanced only by Wait, on
  // a screen the display's real clock.
  int64_t Now() const { return display_ ? display_->Clock() : now_; }
  // Lets `ms` pass: every due timer fires in time order (ties: load and
  // design order); a handler may change timers while this runs. On a screen
  // the input of those milliseconds runs too.
  void Wait(int64_t ms);
  // Fires every timer that is due now, in time order (the display's alarm).
  void FireDueTimers();
  // The time the next armed timer is due; nullopt when none is armed.
  std::optional<int64_t> NextTimerDue() const;

  // The state of every loaded form and the screen, one "name = value" line
  // per property.
  std::string Dump() const;

  // Forgets forms, clock and queued answers (tests).
  void Reset();

 private:
  friend class Form;
  void FormLoaded(Form* f);
  void FormUnloaded(Form* f);
  void FormDestroyed(Form* f);
  int Finish(int code);
  int CloseAtScriptEnd();
  void FireTimersUntil(int64_t target);

  Form* main_ = nullptr;
  Display* display_ = nullptr;
  bool scripted_ = true;
  std::vector<Form*> forms_;
  int64_t now_ = 0;
};

// Shows a message box (uiscript::MessageBox); without a caption the box
// takes the application title. Returns the answer (1 ok ... 7 no).
int16_t MsgBox(std::string_view text, int32_t style = 0, std::optional<std::string_view> caption = std::nullopt);
// Lets pending events run: headless there are none between script steps;
// on a screen the pending input and due timers run. Returns the number of
// loaded forms.
int16_t DoEvents();
// Ends the program at once: no QueryUnload, no Unload (throws EndProgram).
[[noreturn]] void End(int32_t code = 0);

}  // namespace forms

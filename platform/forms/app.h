#pragma once
// The application: runs a forms program headless, driven by the operator
// script, and the runtime's global functions (MsgBox, DoEvents, End).
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

  Form* MainForm() const { return main_; }
  // The loaded forms in load order.
  const std::vector<Form*>& Forms() const { return forms_; }
  bool Running() const { return !forms_.empty(); }

  // The runtime's clock in milliseconds; advanced only by Wait.
  int64_t Now() const { return now_; }
  // Lets `ms` pass: every due timer fires in time order (ties: load and
  // design order); a handler may change timers while this runs.
  void Wait(int64_t ms);

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

  Form* main_ = nullptr;
  std::vector<Form*> forms_;
  int64_t now_ = 0;
};

// Shows a message box (uiscript::MessageBox); without a caption the box
// takes the application title. Returns the answer (1 ok ... 7 no).
int16_t MsgBox(std::string_view text, int32_t style = 0, std::optional<std::string_view> caption = std::nullopt);
// Lets pending events run: headless there are none between script steps, so
// it only returns the number of loaded forms.
int16_t DoEvents();
// Ends the program at once: no QueryUnload, no Unload (throws EndProgram).
[[noreturn]] void End(int32_t code = 0);

}  // namespace forms

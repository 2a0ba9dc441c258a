#include "platform/forms/app.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/forms/ole_control.h"
#include "platform/forms/screen.h"
#include "platform/runtime/error.h"
#include "platform/runtime/step_times.h"

namespace forms {
namespace {

using uiscript::Fail;
using uiscript::Step;

void Complain(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

bool ParseLong(const std::string& s, long min, long max, long* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != 0 || v < min || v > max) return false;
  *out = v;
  return true;
}

bool ParseFloat(const std::string& s, float* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (*end != 0 || !std::isfinite(v) || std::fabs(v) > 1e9) return false;
  *out = static_cast<float>(v);
  return true;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

int16_t ParseShift(const Step& step, const std::string& word) {
  long n = 0;
  if (ParseLong(word, 0, 7, &n)) return static_cast<int16_t>(n);
  std::string w = Lower(word);
  if (w == "none") return 0;
  int16_t shift = 0;
  size_t start = 0;
  while (start <= w.size()) {
    size_t plus = w.find('+', start);
    std::string part = w.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
    if (part == "shift") shift |= 1;
    else if (part == "ctrl") shift |= 2;
    else if (part == "alt") shift |= 4;
    else Fail(step, "bad shift state '" + word + "' (0..7 or shift, ctrl, alt joined by +)");
    if (plus == std::string::npos) break;
    start = plus + 1;
  }
  return shift;
}

int16_t ParseButton(const Step& step, const std::string& word) {
  std::string w = Lower(word);
  if (w == "0" || w == "none") return 0;
  if (w == "1" || w == "left") return 1;
  if (w == "2" || w == "right") return 2;
  if (w == "4" || w == "middle") return 4;
  Fail(step, "bad mouse button '" + word + "' (0, 1, 2, 4 or left, right, middle)");
}

int16_t ParseKey(const Step& step, const std::string& word) {
  static const std::pair<const char*, int16_t> kNames[] = {
      {"back", 8},      {"backspace", 8}, {"tab", 9},     {"enter", 13}, {"return", 13}, {"escape", 27},
      {"esc", 27},      {"space", 32},    {"pageup", 33}, {"pagedown", 34}, {"end", 35}, {"home", 36},
      {"left", 37},     {"up", 38},       {"right", 39},  {"down", 40},  {"insert", 45}, {"delete", 46},
  };
  std::string w = Lower(word);
  for (const auto& [name, code] : kNames)
    if (w == name) return code;
  if (w.size() >= 2 && w[0] == 'f') {
    long n = 0;
    if (ParseLong(w.substr(1), 1, 12, &n)) return static_cast<int16_t>(111 + n);
  }
  if (w.size() == 1 && std::isalpha(static_cast<unsigned char>(w[0]))) return static_cast<int16_t>(std::toupper(w[0]));
  long n = 0;
  if (w.size() == 1 && ParseLong(w, 0, 9, &n)) return static_cast<int16_t>('0' + n);
  if (w.size() > 1 && ParseLong(w, 1, 255, &n)) return static_cast<int16_t>(n);
  Fail(step, "unknown key '" + word + "'");
}

constexpr int16_t kAltF4Key = 115;
constexpr int16_t kAltMask = 4;

// The character a key types, 0 for keys that type none.
int16_t KeyAscii(int16_t key, int16_t shift) {
  if (shift & 4) return 0;
  if (key >= 'A' && key <= 'Z') {
    if (shift & 2) return static_cast<int16_t>(key - 'A' + 1);
    return static_cast<int16_t>((shift & 1) ? key : key - 'A' + 'a');
  }
  if (key >= '0' && key <= '9') return key;
  if (key == 8 || key == 9 || key == 13 || key == 27 || key == 32) return key;
  return 0;
}

struct VerbUsage {
  const char* verb;
  size_t minArgs, maxArgs;
  const char* usage;
};
constexpr VerbUsage kVerbs[] = {
    {"click", 1, 1, "click NAME"},
    {"dblclick", 1, 1, "dblclick NAME"},
    {"mousedown", 5, 5, "mousedown NAME BUTTON SHIFT X Y"},
    {"mousemove", 5, 5, "mousemove NAME BUTTON SHIFT X Y"},
    {"mouseup", 5, 5, "mouseup NAME BUTTON SHIFT X Y"},
    {"key", 1, 3, "key KEY [SHIFT [FORM]]"},
    {"type", 2, 2, "type NAME TEXT"},
    {"pick", 2, 2, "pick NAME ITEM|#N"},
    {"drop", 2, 1000, "drop NAME FILE..."},
    {"slide", 2, 3, "slide NAME VALUE [hold]"},
    {"resize", 2, 3, "resize WIDTH HEIGHT [FORM]"},
    {"maximize", 0, 1, "maximize [FORM]"},
    {"minimize", 0, 1, "minimize [FORM]"},
    {"restore", 0, 1, "restore [FORM]"},
    {"close", 0, 1, "close [FORM]"},
    {"wait", 1, 1, "wait MS"},
    {"timer", 1, 1, "timer NAME"},
    {"dump", 1, 1, "dump FILE"},
};

struct Target {
  Form* form = nullptr;
  Control* control = nullptr;  // null: the form itself
};

}  // namespace

App& App::Instance() {
  static App app;
  return app;
}

void App::FormLoaded(Form* f) {
  if (std::find(forms_.begin(), forms_.end(), f) == forms_.end()) forms_.push_back(f);
  for (Timer* t : f->Timers()) t->Restart();
}

void App::FormUnloaded(Form* f) { forms_.erase(std::remove(forms_.begin(), forms_.end(), f), forms_.end()); }

void App::FormDestroyed(Form* f) {
  FormUnloaded(f);
  if (main_ == f) main_ = nullptr;
}

void App::Reset() {
  for (Form* f : forms_) {
    f->loaded_ = f->visible_ = f->shownOnce_ = false;
    f->active_ = nullptr;
  }
  forms_.clear();
  main_ = nullptr;
  now_ = 0;
  uiscript::AnswerQueue::Instance().Clear();
}

int App::Finish(int code) {
  // The forms end with the run, without events, as after End.
  Form* main = main_;
  Reset();
  main_ = main;
  return code;
}

int App::Run(Form& main) {
  std::vector<Step> steps;
  const char* script = std::getenv("ORN_UI_SCRIPT");
  try {
    steps = uiscript::LoadScriptFromEnvironment();
  } catch (const uiscript::ScriptError& e) {
    Complain(e.what());
    return 124;
  }
  scripted_ = script != nullptr && *script != 0;
  int code = Run(main, steps);
  scripted_ = true;
  return code;
}

int App::Run(Form& main, const std::vector<Step>& steps) {
  main_ = &main;
  try {
    if (!display_ || scripted_) uiscript::StartWatchdog("forms");
    main.Show();
    if (display_) display_->Sync();
    // The start-up is over: the window is up and the first step comes next.
    rt::MarkStep("forms.shown");
    for (const Step& step : steps) {
      if (!Running()) Fail(step, "the program has ended; no window takes this step");
      RunStep(step);
      if (display_) display_->Pump();
    }
    if (display_ && !scripted_) {
      // The operator's own session: it ends when the program ends.
      display_->RunUntil([this] { return !Running(); });
      return Finish(0);
    }
    return CloseAtScriptEnd();
  } catch (const EndProgram& e) {
    return Finish(e.code);
  } catch (const uiscript::ScriptError& e) {
    Complain(e.what());
    return Finish(124);
  } catch (const rt::RuntimeError& e) {
    // The runtime's own handling of an error no handler caught: its box,
    // then the end of the program.
    Complain("forms: run-time error " + std::to_string(e.number()) + ": " + e.description());
    try {
      MsgBox("Run-time error '" + std::to_string(e.number()) + "':\n\n" + e.description(),
             uiscript::kOkOnly | uiscript::kIconCritical);
    } catch (const uiscript::ScriptError& se) {
      Complain(se.what());
    }
    return Finish(123);
  } catch (const std::exception& e) {
    Complain(std::string("forms: ") + e.what());
    return Finish(123);
  }
}

bool App::OperatorEndSession() {
  // Every form is asked first, then each unloads.
  std::vector<Form*> open = forms_;
  bool cancelled = false;
  for (Form* f : open) {
    if (!f->loaded_) continue;
    int16_t cancel = 0;
    Raise(f->QueryUnload, cancel, int16_t{kAppWindows});
    if (cancel != 0) {
      cancelled = true;
      break;
    }
  }
  for (Form* f : open) {
    if (cancelled || !f->loaded_) continue;
    int16_t cancel = 0;
    Raise(f->Unload, cancel);
    if (cancel != 0) {
      cancelled = true;
      continue;
    }
    f->loaded_ = f->visible_ = f->shownOnce_ = false;
    FormUnloaded(f);
  }
  return !Running();
}

int App::CloseAtScriptEnd() {
  if (!Running()) return Finish(0);
  if (!OperatorEndSession()) {
    Complain("forms: the program still runs after the system closed its windows, ended with exit code 125");
    return Finish(125);
  }
  return Finish(0);
}

void App::Wait(int64_t ms) {
  if (display_) {
    display_->RunFor(ms);
    return;
  }
  FireTimersUntil(now_ + ms);
}

void App::FireTimersUntil(int64_t target) {
  while (true) {
    Timer* next = nullptr;
    for (Form* f : forms_)
      for (Timer* t : f->Timers())
        if (t->Armed() && t->Due() <= target && (!next || t->Due() < next->Due())) next = t;
    if (!next) break;
    if (!display_) now_ = std::max(now_, next->Due());
    next->Fire();
  }
  if (!display_) now_ = target;
}

void App::FireDueTimers() { FireTimersUntil(Now()); }

std::optional<int64_t> App::NextTimerDue() const {
  std::optional<int64_t> due;
  for (Form* f : forms_)
    for (Timer* t : f->Timers())
      if (t->Armed() && (!due || t->Due() < *due)) due = t->Due();
  return due;
}

std::string App::Dump() const {
  std::string out;
  auto emit = [&out](const std::string& prefix, const PropertyList& list) {
    for (const auto& [name, value] : list.Items()) out += prefix + "." + name + " = " + value + "\n";
  };
  for (const Form* f : forms_) {
    PropertyList own;
    f->Describe(own);
    emit(f->Name(), own);
    for (const Form::Member& m : f->Members()) {
      std::vector<Control*> controls = m.single ? std::vector<Control*>{m.single} : m.array->Elements();
      for (const Control* c : controls) {
        PropertyList list;
        c->Describe(list);
        emit(f->Name() + "." + c->FullName(), list);
      }
    }
  }
  PropertyList screen;
  screen.Number("Width", Screen().Width());
  screen.Number("Height", Screen().Height());
  screen.Number("TwipsPerPixelX", Screen().TwipsPerPixelX());
  screen.Number("TwipsPerPixelY", Screen().TwipsPerPixelY());
  screen.Number("MousePointer", Screen().MousePointer);
  emit("Screen", screen);
  PropertyList app;
  app.Text("Title", Title);
  emit("App", app);
  return out;
}

void App::RunStep(const Step& step) {
  if (uiscript::RunSharedStep(step)) return;
  const VerbUsage* usage = nullptr;
  for (const VerbUsage& u : kVerbs)
    if (step.verb == u.verb) usage = &u;
  if (!usage) Fail(step, "unknown verb '" + step.verb + "'");
  if (step.args.size() < usage->minArgs || step.args.size() > usage->maxArgs)
    Fail(step, std::string("usage: ") + usage->usage);
  const std::string& verb = step.verb;
  const std::vector<std::string>& args = step.args;

  auto findForm = [&](const std::string& name) -> Form* {
    for (Form* f : forms_)
      if (f->Name() == name) return f;
    return nullptr;
  };
  auto windowOf = [&](size_t argIndex) -> Form& {
    Form* f = main_ && main_->Loaded() ? main_ : nullptr;
    if (args.size() > argIndex) {
      f = findForm(args[argIndex]);
      if (!f) Fail(step, "no loaded form '" + args[argIndex] + "'");
    }
    if (!f) Fail(step, "the main window is not loaded");
    if (!f->Visible()) Fail(step, "form " + f->Name() + " is hidden");
    return *f;
  };
  auto find = [&](const std::string& name) -> Target {
    Target t;
    if (Form* f = findForm(name)) {
      t.form = f;
    } else {
      std::string controlName = name;
      size_t dot = name.find('.');
      if (dot != std::string::npos) {
        t.form = findForm(name.substr(0, dot));
        if (!t.form) Fail(step, "no loaded form '" + name.substr(0, dot) + "'");
        controlName = name.substr(dot + 1);
      } else {
        t.form = main_ && main_->Loaded() ? main_ : nullptr;
        if (!t.form) Fail(step, "the main window is not loaded");
      }
      t.control = t.form->FindControl(controlName);
      if (!t.control) Fail(step, "no control '" + controlName + "' on " + t.form->Name());
    }
    return t;
  };
  // What the operator acts on must be in reach: shown and enabled.
  auto target = [&](const std::string& name) -> Target {
    Target t = find(name);
    if (!t.form->Visible()) Fail(step, "form " + t.form->Name() + " is hidden");
    if (!t.form->Enabled) Fail(step, "form " + t.form->Name() + " is disabled");
    if (t.control) {
      auto* vc = dynamic_cast<VisibleControl*>(t.control);
      if (vc && !vc->Visible) Fail(step, name + " is hidden");
      if (!t.control->Enabled) Fail(step, name + " is disabled");
    }
    return t;
  };
  auto operate = [&](const Target& t, const OperatorAction& a) {
    try {
      OperatorAct(*t.form, t.control, a);
    } catch (const OperatorError& e) {
      Fail(step, e.what());
    }
  };

  OperatorAction a;
  if (verb == "click" || verb == "dblclick") {
    a.kind = verb == "click" ? OperatorAction::Click : OperatorAction::DblClick;
    operate(target(args[0]), a);
  } else if (verb == "mousedown" || verb == "mousemove" || verb == "mouseup") {
    a.kind = verb == "mousedown" ? OperatorAction::MouseDown
             : verb == "mousemove" ? OperatorAction::MouseMove
                                   : OperatorAction::MouseUp;
    a.button = ParseButton(step, args[1]);
    a.shift = ParseShift(step, args[2]);
    if (!ParseFloat(args[3], &a.x) || !ParseFloat(args[4], &a.y)) Fail(step, "X and Y must be numbers of twips");
    operate(target(args[0]), a);
  } else if (verb == "key") {
    int16_t key = ParseKey(step, args[0]);
    int16_t shift = args.size() > 1 ? ParseShift(step, args[1]) : 0;
    Form& f = windowOf(2);
    OperatorKeyDown(f, key, shift);
    if (key == kAltF4Key && shift == kAltMask) return;
    if (int16_t ascii = KeyAscii(key, shift)) OperatorKeyPress(f, ascii);
    if (f.Loaded()) OperatorKeyUp(f, key, shift);
  } else if (verb == "type" || verb == "pick") {
    a.kind = verb == "type" ? OperatorAction::Type : OperatorAction::Pick;
    a.text = args[1];
    operate(target(args[0]), a);
  } else if (verb == "drop") {
    a.kind = OperatorAction::Drop;
    a.files.assign(args.begin() + 1, args.end());
    operate(target(args[0]), a);
  } else if (verb == "slide") {
    a.kind = OperatorAction::Slide;
    long v = 0;
    if (!ParseLong(args[1], -2147483647L, 2147483647L, &v)) Fail(step, "VALUE must be a whole number");
    a.value = static_cast<int32_t>(v);
    if (args.size() == 3 && args[2] != "hold") Fail(step, "usage: slide NAME VALUE [hold]");
    a.hold = args.size() == 3;
    operate(target(args[0]), a);
  } else if (verb == "resize") {
    long w = 0, h = 0;
    if (!ParseLong(args[0], 1, 100000, &w) || !ParseLong(args[1], 1, 100000, &h))
      Fail(step, "WIDTH and HEIGHT must be whole numbers of pixels");
    try {
      OperatorResize(windowOf(2), static_cast<int32_t>(w), static_cast<int32_t>(h));
    } catch (const OperatorError& e) {
      Fail(step, e.what());
    }
  } else if (verb == "maximize" || verb == "minimize" || verb == "restore") {
    OperatorWindowState(windowOf(0), verb == "maximize" ? kMaximized : verb == "minimize" ? kMinimized : kNormal);
  } else if (verb == "close") {
    OperatorClose(windowOf(0));
  } else if (verb == "wait") {
    long ms = 0;
    if (!ParseLong(args[0], 0, 86400000L, &ms)) Fail(step, "MS must be a whole number of milliseconds");
    Wait(ms);
  } else if (verb == "timer") {
    auto* timer = dynamic_cast<Timer*>(find(args[0]).control);
    if (!timer) Fail(step, args[0] + " is not a timer");
    if (!timer->Armed()) Fail(step, "timer " + args[0] + " is not enabled");
    timer->Fire();
  } else if (verb == "dump") {
    std::ofstream out(args[0], std::ios::binary | std::ios::trunc);
    if (!out) Fail(step, "cannot write '" + args[0] + "'");
    out << Dump();
    if (!out.flush()) Fail(step, "cannot write '" + args[0] + "'");
  }
}

void App::OperatorAct(Form& form, Control* control, const OperatorAction& a) {
  if (control) {
    control->Operate(a);
  } else if (!RaiseMouseAction(form, a, form.ScaleWidth() / 2, form.ScaleHeight() / 2, form.Name())) {
    throw OperatorError("form " + form.Name() + " does not take " + ActionName(a.kind));
  }
}

namespace {

// The control that has the focus when it takes keys, else null.
KeyEvents<Event>* KeyControl(const Form& f) {
  VisibleControl* active = f.ActiveControl();
  return active && active->Reachable() ? dynamic_cast<KeyEvents<Event>*>(active) : nullptr;
}

// Raises a key event on the form (KeyPreview, or no control has the focus)
// and then on the focused control unless the form swallowed the key.
template <class M, class... A>
void RouteKey(Form& f, M member, int16_t& first, A&... rest) {
  KeyEvents<Event>* control = KeyControl(f);
  if (f.KeyPreview || !control) Raise(f.*member, first, rest...);
  if (control && first != 0) Raise(control->*member, first, rest...);
}

}  // namespace

int16_t App::OperatorKeyDown(Form& f, int16_t key, int16_t shift) {
  int16_t code = key, sh = shift;
  RouteKey(f, &KeyEvents<Event>::KeyDown, code, sh);
  // Alt+F4: the system closes the window whatever KeyDown did.
  if (key == kAltF4Key && shift == kAltMask && f.Loaded()) OperatorClose(f);
  return code;
}

int16_t App::OperatorKeyPress(Form& f, int16_t ascii) {
  RouteKey(f, &KeyEvents<Event>::KeyPress, ascii);
  return ascii;
}

void App::OperatorKeyUp(Form& f, int16_t key, int16_t shift) {
  int16_t code = key, sh = shift;
  RouteKey(f, &KeyEvents<Event>::KeyUp, code, sh);
}

void App::OperatorResize(Form& f, int32_t w, int32_t h) {
  if (f.WindowState != kNormal)
    throw OperatorError("form " + f.Name() + " is minimized or maximized; restore it first");
  if (f.BorderStyle != 2 && f.BorderStyle != 5) throw OperatorError("form " + f.Name() + " has a fixed border");
  float tw = static_cast<float>(w) * Screen().TwipsPerPixelX();
  float th = static_cast<float>(h) * Screen().TwipsPerPixelY();
  if (tw == f.Width && th == f.Height) return;
  // One size change of the operator is one Resize, whatever changed.
  f.Width.Init(tw);
  f.Height.Init(th);
  f.RaiseResize();
}

void App::OperatorWindowState(Form& f, int16_t state) { f.WindowState = state; }

void App::OperatorClose(Form& f) { f.Close(kFormControlMenu); }

int16_t MsgBox(std::string_view text, int32_t style, std::optional<std::string_view> caption) {
  std::string title = caption ? std::string(*caption) : App::Instance().Title;
  return static_cast<int16_t>(uiscript::MessageBox(text, style, title));
}

int16_t DoEvents() {
  if (Display* d = App::Instance().GetDisplay()) d->Pump();
  return static_cast<int16_t>(App::Instance().Forms().size());
}

void End(int32_t code) { throw EndProgram{code}; }

}  // namespace forms

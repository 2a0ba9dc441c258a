#pragma once
// A form: a window of the program with its controls. The program derives its
// form class from Form, declares its controls as members and binds each of
// them to the form's design table in the constructor:
//
//   class Quillet1 : public forms::Form {
//    public:
//     forms::CommandButton DoOK;
//     forms::ControlArray<forms::CommandButton> Page;
//     Quillet1() : Form(kQuillet1Design) {
//       Bind(DoOK, "DoOK");
//       Bind(Page, "Page");
//       Load = [this] { Form_Load(); };
//       DoOK.Click = [this] { DoOK_Click(); };
//     }
//   };
//
// Outside controls are created when the form is constructed: the program
// registers their classes (com::RegisterControlClass) before that.
//
// Sizes: Width and Height are the outer size in twips; ScaleWidth and
// ScaleHeight the client area, which is the outer size less fixed frame
// sizes in pixels (times the screen's twips per pixel):
//   BorderStyle 0 (none):                  0 across, 0 down
//   1 (fixed single), 3 (fixed dialog):    6 across, 26 down (3 + 20 caption + 3)
//   2 (sizable):                           8 across, 28 down (4 + 20 caption + 4)
//   4 (fixed tool window):                 6 across, 22 down (3 + 16 + 3)
//   5 (sizable tool window):               8 across, 24 down (4 + 16 + 4)
// (the frames the window stand-in gives its top-level windows)
// A change of Width, Height or WindowState of a loaded form raises Resize,
// also while Load runs and inside Resize itself. A maximised form has the
// screen's size; while it is minimised or maximised, setting its size or
// position is error 384.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forms/control_array.h"
#include "platform/forms/controls.h"
#include "platform/forms/design.h"
#include "platform/forms/events.h"
#include "platform/forms/prop.h"

namespace forms {

// UnloadMode of QueryUnload: why the form is closed.
enum UnloadMode : int16_t {
  kFormControlMenu = 0,  // the close box or the control menu (Alt+F4)
  kFormCode = 1,         // Unload from program code
  kAppWindows = 2,       // the Windows session ends (log off, shut down)
  kAppTaskManager = 3,   // the task manager closes the program
};
enum WindowStateValue : int16_t { kNormal = 0, kMinimized = 1, kMaximized = 2 };

template <template <class...> class E>
struct FormEvents : MouseEvents<E>, KeyEvents<E> {
  E<> Load;
  E<> Activate;
  E<> Resize;
  E<> Paint;
  E<int16_t&, int16_t> QueryUnload;  // (Cancel, UnloadMode): Cancel not 0 keeps the form
  E<int16_t&> Unload;                // (Cancel)
};

class Form : public FormEvents<Event> {
 public:
  // `design` must outlive the form (a table of static storage).
  explicit Form(const FormDesign& design);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  Prop<std::string> Caption;
  Prop<float> Left, Top, Width, Height;
  Prop<int16_t> BorderStyle = 2;
  Prop<int16_t> WindowState = kNormal;
  Prop<bool> KeyPreview = false;
  Prop<bool> Enabled = true;
  Prop<std::string> Tag;
  Prop<int32_t> BackColor = kColorButtonFace;
  Prop<std::string> FontName;
  Prop<float> FontSize;
  Prop<bool> FontBold = false;
  Prop<int16_t> MousePointer = 0;

  float ScaleWidth() const;
  float ScaleHeight() const;
  // Size of `text` in twips in the form's font (text_metrics.h).
  float TextWidth(std::string_view text) const;
  float TextHeight(std::string_view text) const;
  // A window handle, unique per form, fixed for the run.
  int32_t hWnd() const { return hwnd_; }

  bool Loaded() const { return loaded_; }
  bool Visible() const { return visible_; }
  // Loads the form (raising Load) when it is not loaded.
  void LoadForm();
  // Loads when needed and shows the form; the first showing raises Resize.
  void Show();
  void Hide();
  void Refresh() { ++refreshCount_; }
  int RefreshCount() const { return refreshCount_; }
  void Move(float left, float top, float width, float height);
  // Closes the form: QueryUnload(mode), then Unload; returns false when a
  // handler cancelled. An unloaded form keeps its property values.
  bool Close(int16_t mode);

  // The control that has the focus (null: the form itself).
  VisibleControl* ActiveControl() const { return active_; }
  void SetActiveControl(VisibleControl* c) { active_ = c; }

  // The form's controls for the script and the dump, in design order.
  struct Member {
    std::string name;
    Control* single = nullptr;
    ControlArrayBase* array = nullptr;
  };
  const std::vector<Member>& Members() const { return members_; }
  // "DoOK", "Page(2)"; null when there is no such (loaded) control.
  Control* FindControl(std::string_view fullName) const;
  // Every timer of the form, arrays included, in design order.
  std::vector<Timer*> Timers() const;

  void Describe(PropertyList& out) const;

 protected:
  // Binds `control` to the design entry `name` (a single control) and takes
  // its design values. A missing entry or another type is a programming
  // error (std::logic_error).
  void Bind(Control& control, std::string_view name);
  // Binds `array` to the design entries `name` with an Index.
  void Bind(ControlArrayBase& array, std::string_view name);

 private:
  friend class App;
  void CheckBound() const;
  void SortMembers();
  void Frame(float* across, float* down) const;
  void RaiseResize();
  void CheckMovable() const;

  const FormDesign& design_;
  std::string name_;
  std::vector<Member> members_;
  std::vector<bool> bound_;  // per design entry
  VisibleControl* active_ = nullptr;
  bool loaded_ = false;
  bool visible_ = false;
  bool shownOnce_ = false;
  int resizeDepth_ = 0;
  int refreshCount_ = 0;
  int32_t hwnd_;
  float normalWidth_ = 0, normalHeight_ = 0;
};

}  // namespace forms

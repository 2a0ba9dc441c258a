#pragma once
// The runtime's own controls: command buttons, labels, text and combo boxes,
// shapes, images and timers. Each is a retained object: its properties are
// read and written by the program and by the dump, its events are raised by
// the runtime (the operator script) or by the program itself.
//
// A control belongs to one form; it gets its name, index and design values
// when the form binds it to its design table (form.h).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/forms/design.h"
#include "platform/forms/events.h"
#include "platform/forms/operator_input.h"
#include "platform/forms/prop.h"

namespace forms {

class Form;

// Name/value text pairs of a dump, in a stable order.
class PropertyList {
 public:
  void Text(std::string_view name, std::string_view value);  // quoted, \" \\ \n \r \t escaped
  void Number(std::string_view name, double value);          // as the runtime's CStr writes it
  void Bool(std::string_view name, bool value);              // True / False
  void Color(std::string_view name, int32_t value);          // &H and 6 (or 8) hex digits
  void Raw(std::string_view name, std::string value);        // written as given
  const std::vector<std::pair<std::string, std::string>>& Items() const { return items_; }

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};

// Raises the events of a mouse or drop action on `events` (a control's or a
// form's): a click is MouseDown and MouseUp at (cx, cy), then Click; a double
// click adds DblClick and a second MouseUp; a drop is OLEDragOver with the
// effects a file window offers, then OLEDragDrop unless the handler set the
// effect to 0, and a transcript line under `name`. False for other actions.
bool RaiseMouseAction(MouseEvents<Event>& events, const OperatorAction& action, float cx, float cy,
                      const std::string& name);

class Control {
 public:
  virtual ~Control() = default;
  Control& operator=(const Control&) = delete;

  virtual ControlType Type() const = 0;
  const std::string& Name() const { return name_; }
  int16_t Index() const { return index_; }  // -1 outside a control array
  std::string FullName() const;             // "DoOK", "Page(2)"
  Form* Parent() const { return form_; }

  Prop<std::string> Tag;
  Prop<bool> Enabled = true;

  // Appends every property for the dump.
  virtual void Describe(PropertyList& out) const;
  // Runs an operator's action as the control's events; throws OperatorError
  // when this control does not take it.
  virtual void Operate(const OperatorAction& action);
  // A new element for a control array: this control's property values, its
  // event handlers not set. The array sets index, visibility and events.
  virtual std::unique_ptr<Control> CloneForArray() const = 0;
  // Takes the design values of `d`; `form` gives the default font.
  virtual void ApplyDesign(const ControlDesign& d, const FormDesign& form);
  // Whether the operator can reach it: visible (where it has a look) and enabled.
  virtual bool Reachable() const { return Enabled; }

 protected:
  Control() = default;
  Control(const Control& o) : Tag(o.Tag), Enabled(o.Enabled), name_(o.name_), index_(o.index_), form_(o.form_) {}
  [[noreturn]] void Refuse(const OperatorAction& action) const;

 private:
  friend class Form;
  template <class T>
  friend class ControlArray;
  std::string name_;
  int16_t index_ = -1;
  Form* form_ = nullptr;
};

// A control with a place and a look on the form.
class VisibleControl : public Control {
 public:
  Prop<float> Left, Top, Width, Height;  // twips
  Prop<bool> Visible = true;
  Prop<std::string> ToolTipText;
  Prop<int32_t> BackColor = kColorButtonFace;
  Prop<int32_t> ForeColor = kColorButtonText;
  Prop<std::string> FontName = std::string("MS Sans Serif");
  Prop<float> FontSize = 8.25f;
  Prop<bool> FontBold = false;
  Prop<int16_t> MousePointer = 0;

  void Move(float left, float top, float width, float height);
  void Move(float left, float top);
  // Headless: nothing to draw; counted for tests of repaint-at-once steps.
  void Refresh() { ++refreshCount_; }
  int RefreshCount() const { return refreshCount_; }
  void SetFocus();

  void Describe(PropertyList& out) const override;
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;
  bool Reachable() const override { return Visible && Enabled; }

 protected:
  VisibleControl() = default;
  VisibleControl(const VisibleControl& o) = default;
  // Click, double click, mouse and drop actions through the mouse events;
  // a click is pressed and released at the control's centre.
  void OperateMouse(MouseEvents<Event>& events, const OperatorAction& action);

 private:
  int refreshCount_ = 0;
};

template <template <class...> class E>
struct CommandButtonEvents : MouseEvents<E>, KeyEvents<E> {};

class CommandButton : public VisibleControl, public CommandButtonEvents<Event> {
 public:
  template <template <class...> class E>
  using Events = CommandButtonEvents<E>;
  template <class A, class B, class F>
  static void PairEvents(A& a, B& b, F f) {
    PairMouseEvents(a, b, f);
    PairKeyEvents(a, b, f);
  }

  CommandButton() = default;
  Prop<std::string> Caption;
  Prop<bool> Default = false;
  Prop<bool> Cancel = false;

  ControlType Type() const override { return ControlType::CommandButton; }
  void Describe(PropertyList& out) const override;
  void Operate(const OperatorAction& action) override;
  std::unique_ptr<Control> CloneForArray() const override;
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;

 private:
  CommandButton(const CommandButton&) = default;
};

template <template <class...> class E>
struct LabelEvents : MouseEvents<E> {};

class Label : public VisibleControl, public LabelEvents<Event> {
 public:
  template <template <class...> class E>
  using Events = LabelEvents<E>;
  template <class A, class B, class F>
  static void PairEvents(A& a, B& b, F f) {
    PairMouseEvents(a, b, f);
  }

  Label() = default;
  Prop<std::string> Caption;
  Prop<int16_t> Alignment = 0;  // 0 left, 1 right, 2 centre

  ControlType Type() const override { return ControlType::Label; }
  void Describe(PropertyList& out) const override;
  void Operate(const OperatorAction& action) override;
  std::unique_ptr<Control> CloneForArray() const override;
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;

 private:
  Label(const Label&) = default;
};

template <template <class...> class E>
struct TextBoxEvents : MouseEvents<E>, KeyEvents<E> {
  E<> Change;
};

// A text box; setting Text (from code or by typing) raises Change when the
// text differs.
class TextBox : public VisibleControl, public TextBoxEvents<Event> {
 public:
  template <template <class...> class E>
  using Events = TextBoxEvents<E>;
  template <class A, class B, class F>
  static void PairEvents(A& a, B& b, F f) {
    PairMouseEvents(a, b, f);
    PairKeyEvents(a, b, f);
    f(a.Change, b.Change);
  }

  TextBox();
  Prop<std::string> Text;
  Prop<bool> Locked = false;
  Prop<bool> MultiLine = false;

  ControlType Type() const override { return ControlType::TextBox; }
  void Describe(PropertyList& out) const override;
  void Operate(const OperatorAction& action) override;
  std::unique_ptr<Control> CloneForArray() const override;
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;

 private:
  TextBox(const TextBox& o);
  void Hook();
};

template <template <class...> class E>
struct ComboBoxEvents : KeyEvents<E> {
  E<> Click;     // an item was chosen from the list (by the user or ListIndex)
  E<> Change;    // the text changed (typed or set from code)
  E<> DropDown;  // the list opens
  E<DataObject&, int32_t&, int16_t, int16_t, float, float> OLEDragDrop;
  E<DataObject&, int32_t&, int16_t, int16_t, float, float, int16_t> OLEDragOver;
};

// A combo box. Style 0 (drop-down combo) takes any Text; style 2 (drop-down
// list) only a text of its list (else error 383). Setting Text raises Change
// when the text differs; choosing an item (ListIndex, the script's pick) sets
// the text without Change and raises Click.
class ComboBox : public VisibleControl, public ComboBoxEvents<Event> {
 public:
  template <template <class...> class E>
  using Events = ComboBoxEvents<E>;
  template <class A, class B, class F>
  static void PairEvents(A& a, B& b, F f) {
    PairKeyEvents(a, b, f);
    f(a.Click, b.Click);
    f(a.Change, b.Change);
    f(a.DropDown, b.DropDown);
    f(a.OLEDragDrop, b.OLEDragDrop);
    f(a.OLEDragOver, b.OLEDragOver);
  }

  ComboBox();
  Prop<std::string> Text;
  Prop<int16_t> Style = 0;

  // Adds `item` at `index` (-1 = at the end); an index beyond ListCount is error 5.
  void AddItem(std::string item, int16_t index = -1);
  // Removes item `index`; outside 0..ListCount-1 is error 5.
  void RemoveItem(int16_t index);
  void Clear();
  // Item `index`; "" at or beyond ListCount, error 381 below 0.
  std::string List(int16_t index) const;
  int16_t ListCount() const { return static_cast<int16_t>(items_.size()); }
  // The chosen item, -1 when the text is none of the list's.
  int16_t ListIndex() const;
  // Chooses item `index` (-1 = none, text emptied); outside the list is error 380.
  void SetListIndex(int16_t index);

  ControlType Type() const override { return ControlType::ComboBox; }
  void Describe(PropertyList& out) const override;
  void Operate(const OperatorAction& action) override;
  std::unique_ptr<Control> CloneForArray() const override;
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;

 private:
  ComboBox(const ComboBox& o);
  void Hook();
  std::vector<std::string> items_;
  int16_t listIndex_ = -1;
};

// A frame or filled area; no events.
class Shape : public VisibleControl {
 public:
  template <template <class...> class E>
  struct Events {};
  template <class A, class B, class F>
  static void PairEvents(A&, B&, F) {}

  Shape() { BackColor.Init(0xFFFFFF); }
  Prop<int16_t> Kind = 0;  // the shape: 0 rectangle, 1 square, 2 oval, 3 circle, 4/5 rounded
  Prop<int32_t> FillColor = 0;
  Prop<int16_t> FillStyle = 1;  // 0 solid, 1 transparent
  Prop<int32_t> BorderColor = 0;
  Prop<int16_t> BorderWidth = 1;

  ControlType Type() const override { return ControlType::Shape; }
  void Describe(PropertyList& out) const override;
  std::unique_ptr<Control> CloneForArray() const override;
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;

 private:
  Shape(const Shape&) = default;
};

template <template <class...> class E>
struct ImageEvents : MouseEvents<E> {};

// A picture shown from a file; headless it keeps the file name only.
class Image : public VisibleControl, public ImageEvents<Event> {
 public:
  template <template <class...> class E>
  using Events = ImageEvents<E>;
  template <class A, class B, class F>
  static void PairEvents(A& a, B& b, F f) {
    PairMouseEvents(a, b, f);
  }

  Image() = default;
  Prop<std::string> Picture;
  Prop<bool> Stretch = false;

  ControlType Type() const override { return ControlType::Image; }
  void Describe(PropertyList& out) const override;
  void Operate(const OperatorAction& action) override;
  std::unique_ptr<Control> CloneForArray() const override;
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;

 private:
  Image(const Image&) = default;
};

template <template <class...> class E>
struct TimerEvents {
  E<> Tick;  // the runtime's Timer event (a member cannot share the class's name)
};

// A timer on the runtime's clock. Headless, time passes only when the
// operator script waits ("wait MS"): an enabled timer with an Interval above
// 0 fires every Interval milliseconds of waiting, counted from the moment it
// was enabled or its interval set. "timer NAME" fires it once at once.
class Timer : public Control, public TimerEvents<Event> {
 public:
  template <template <class...> class E>
  using Events = TimerEvents<E>;
  template <class A, class B, class F>
  static void PairEvents(A& a, B& b, F f) {
    f(a.Tick, b.Tick);
  }

  Timer();
  Prop<int32_t> Interval = 0;

  // The clock time (ms) of the next tick; meaningful while Armed().
  int64_t Due() const { return due_; }
  bool Armed() const { return Enabled && Interval > 0; }
  // Raises Tick and schedules the next one.
  void Fire();
  // Plans the next tick Interval ms from now (the form does it when loaded).
  void Restart();

  ControlType Type() const override { return ControlType::Timer; }
  void Describe(PropertyList& out) const override;
  std::unique_ptr<Control> CloneForArray() const override;
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;

 private:
  Timer(const Timer& o);
  void Hook();
  int64_t due_ = 0;
};

}  // namespace forms

#include "platform/forms/controls.h"

#include <algorithm>
#include <cstdio>

#include "platform/forms/app.h"
#include "platform/forms/form.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/uiscript/uiscript.h"

namespace forms {

const char* ActionName(OperatorAction::Kind kind) {
  switch (kind) {
    case OperatorAction::Click: return "click";
    case OperatorAction::DblClick: return "dblclick";
    case OperatorAction::MouseDown: return "mousedown";
    case OperatorAction::MouseMove: return "mousemove";
    case OperatorAction::MouseUp: return "mouseup";
    case OperatorAction::Drop: return "drop";
    case OperatorAction::Slide: return "slide";
    case OperatorAction::Type: return "type";
    case OperatorAction::Pick: return "pick";
  }
  return "?";
}

// ---- PropertyList

void PropertyList::Text(std::string_view name, std::string_view value) {
  std::string q = "\"";
  for (char c : value) {
    switch (c) {
      case '"': q += "\\\""; break;
      case '\\': q += "\\\\"; break;
      case '\n': q += "\\n"; break;
      case '\r': q += "\\r"; break;
      case '\t': q += "\\t"; break;
      default: q += c;
    }
  }
  q += '"';
  items_.emplace_back(std::string(name), std::move(q));
}

void PropertyList::Number(std::string_view name, double value) {
  items_.emplace_back(std::string(name), rt::CStr(value));
}

void PropertyList::Bool(std::string_view name, bool value) {
  items_.emplace_back(std::string(name), value ? "True" : "False");
}

void PropertyList::Color(std::string_view name, int32_t value) {
  auto u = static_cast<uint32_t>(value);
  char buf[16];
  std::snprintf(buf, sizeof buf, u > 0xFFFFFFu ? "&H%08X" : "&H%06X", u);
  items_.emplace_back(std::string(name), buf);
}

void PropertyList::Raw(std::string_view name, std::string value) {
  items_.emplace_back(std::string(name), std::move(value));
}

// ---- Control

std::string Control::FullName() const {
  if (index_ < 0) return name_;
  return name_ + "(" + std::to_string(index_) + ")";
}

void Control::Describe(PropertyList& out) const {
  out.Bool("Enabled", Enabled);
  out.Text("Tag", Tag.Get());
}

void Control::Operate(const OperatorAction& action) { Refuse(action); }

void Control::Refuse(const OperatorAction& action) const {
  throw OperatorError(FullName() + " does not take " + ActionName(action.kind));
}

void Control::ApplyDesign(const ControlDesign& d, const FormDesign&) {
  name_ = std::string(d.Name);
  index_ = d.Index;
  Tag.Init(std::string(d.Tag));
  Enabled.Init(d.Enabled);
}

// ---- VisibleControl

void VisibleControl::Move(float left, float top, float width, float height) {
  Left = left;
  Top = top;
  Width = width;
  Height = height;
}

void VisibleControl::Move(float left, float top) {
  Left = left;
  Top = top;
}

void VisibleControl::SetFocus() {
  // The runtime refuses the focus to a control that cannot take it.
  if (!Visible || !Enabled) rt::Raise(rt::kInvalidCall);
  if (Parent()) Parent()->SetActiveControl(this);
}

void VisibleControl::Describe(PropertyList& out) const {
  out.Number("Left", Left);
  out.Number("Top", Top);
  out.Number("Width", Width);
  out.Number("Height", Height);
  out.Bool("Visible", Visible);
  Control::Describe(out);
  out.Text("ToolTipText", ToolTipText.Get());
  out.Color("BackColor", BackColor);
  out.Color("ForeColor", ForeColor);
  out.Text("FontName", FontName.Get());
  out.Number("FontSize", FontSize);
  out.Bool("FontBold", FontBold);
  out.Number("MousePointer", MousePointer);
}

void VisibleControl::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  Control::ApplyDesign(d, form);
  Left.Init(d.Left);
  Top.Init(d.Top);
  Width.Init(d.Width);
  Height.Init(d.Height);
  Visible.Init(d.Visible);
  ToolTipText.Init(std::string(d.ToolTipText));
  if (d.BackColor != kDefaultColor) BackColor.Init(d.BackColor);
  if (d.ForeColor != kDefaultColor) ForeColor.Init(d.ForeColor);
  bool ownFont = !d.Font.Name.empty() || d.Font.Size != 0;
  FontName.Init(std::string(d.Font.Name.empty() ? form.Font.Name : d.Font.Name));
  FontSize.Init(d.Font.Size != 0 ? d.Font.Size : form.Font.Size);
  FontBold.Init(ownFont ? d.Font.Bold : form.Font.Bold);
}

namespace {

std::string JoinFiles(const std::vector<std::string>& files) {
  std::string s;
  for (const std::string& f : files) s += (s.empty() ? "" : "; ") + f;
  return s;
}

std::string QualifiedName(const Control& c) {
  return c.Parent() ? c.Parent()->Name() + "." + c.FullName() : c.FullName();
}

template <class Events>
void RaiseDrop(Events& events, const OperatorAction& a, const std::string& name) {
  DataObject data;
  data.Files = a.files;
  int32_t effect = kDropEffectCopy | kDropEffectMove | kDropEffectLink;
  Raise(events.OLEDragOver, data, effect, int16_t{1}, a.shift, a.x, a.y, int16_t{kEnter});
  if (effect != kDropEffectNone) Raise(events.OLEDragDrop, data, effect, int16_t{1}, a.shift, a.x, a.y);
  uiscript::Transcript::Write({"drop", name, JoinFiles(a.files), "effect " + std::to_string(effect)});
}

}  // namespace

bool RaiseMouseAction(MouseEvents<Event>& ev, const OperatorAction& a, float cx, float cy, const std::string& name) {
  if (a.eventOnly && a.kind == OperatorAction::Click) {
    Raise(ev.Click);
    return true;
  }
  if (a.eventOnly && a.kind == OperatorAction::DblClick) {
    Raise(ev.DblClick);
    return true;
  }
  switch (a.kind) {
    case OperatorAction::Click:
      Raise(ev.MouseDown, a.button, a.shift, cx, cy);
      Raise(ev.MouseUp, a.button, a.shift, cx, cy);
      Raise(ev.Click);
      return true;
    case OperatorAction::DblClick:
      Raise(ev.MouseDown, a.button, a.shift, cx, cy);
      Raise(ev.MouseUp, a.button, a.shift, cx, cy);
      Raise(ev.Click);
      Raise(ev.DblClick);
      Raise(ev.MouseUp, a.button, a.shift, cx, cy);
      return true;
    case OperatorAction::MouseDown: Raise(ev.MouseDown, a.button, a.shift, a.x, a.y); return true;
    case OperatorAction::MouseMove: Raise(ev.MouseMove, a.button, a.shift, a.x, a.y); return true;
    case OperatorAction::MouseUp: Raise(ev.MouseUp, a.button, a.shift, a.x, a.y); return true;
    case OperatorAction::Drop: RaiseDrop(ev, a, name); return true;
    default: return false;
  }
}

void VisibleControl::OperateMouse(MouseEvents<Event>& ev, const OperatorAction& a) {
  if (!RaiseMouseAction(ev, a, Width / 2, Height / 2, QualifiedName(*this))) Refuse(a);
}

// ---- CommandButton

void CommandButton::Describe(PropertyList& out) const {
  out.Text("Caption", Caption.Get());
  VisibleControl::Describe(out);
}

void CommandButton::Operate(const OperatorAction& action) {
  // A press gives the button the focus, as a real click does.
  if (action.kind != OperatorAction::MouseMove && action.kind != OperatorAction::Drop && Parent())
    Parent()->SetActiveControl(this);
  if (action.kind == OperatorAction::DblClick && action.eventOnly) return;  // its second press clicks
  if (action.kind == OperatorAction::DblClick) {
    // A button knows no double click: the second press is another click.
    OperatorAction click = action;
    click.kind = OperatorAction::Click;
    OperateMouse(*this, click);
    OperateMouse(*this, click);
    return;
  }
  OperateMouse(*this, action);
}

std::unique_ptr<Control> CommandButton::CloneForArray() const {
  return std::unique_ptr<Control>(new CommandButton(*this));
}

void CommandButton::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  VisibleControl::ApplyDesign(d, form);
  Caption.Init(std::string(d.Caption));
}

// ---- Label

void Label::Describe(PropertyList& out) const {
  out.Text("Caption", Caption.Get());
  VisibleControl::Describe(out);
  out.Number("Alignment", Alignment);
}

void Label::Operate(const OperatorAction& action) { OperateMouse(*this, action); }

std::unique_ptr<Control> Label::CloneForArray() const { return std::unique_ptr<Control>(new Label(*this)); }

void Label::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  VisibleControl::ApplyDesign(d, form);
  Caption.Init(std::string(d.Caption));
}

// ---- TextBox

TextBox::TextBox() {
  BackColor.Init(kColorWindowBackground);
  ForeColor.Init(kColorWindowText);
  Hook();
}

TextBox::TextBox(const TextBox& o) : VisibleControl(o), TextBoxEvents<Event>(o), Text(o.Text), Locked(o.Locked),
                                     MultiLine(o.MultiLine) {
  Hook();
}

void TextBox::Hook() {
  Text.OnChange([this] { Raise(Change); });
}

void TextBox::Describe(PropertyList& out) const {
  out.Text("Text", Text.Get());
  VisibleControl::Describe(out);
  out.Bool("Locked", Locked);
  out.Bool("MultiLine", MultiLine);
}

void TextBox::Operate(const OperatorAction& action) {
  if (action.kind != OperatorAction::Type) {
    OperateMouse(*this, action);
    return;
  }
  if (Locked) throw OperatorError(FullName() + " is locked");
  if (Parent()) Parent()->SetActiveControl(this);
  Text = action.text;
}

std::unique_ptr<Control> TextBox::CloneForArray() const { return std::unique_ptr<Control>(new TextBox(*this)); }

void TextBox::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  VisibleControl::ApplyDesign(d, form);
  Text.Init(std::string(d.Text));
}

// ---- ComboBox

ComboBox::ComboBox() {
  BackColor.Init(kColorWindowBackground);
  ForeColor.Init(kColorWindowText);
  Hook();
}

ComboBox::ComboBox(const ComboBox& o)
    : VisibleControl(o), ComboBoxEvents<Event>(o), Text(o.Text), Style(o.Style), items_(o.items_),
      listIndex_(o.listIndex_) {
  Hook();
}

void ComboBox::Hook() {
  Text.OnCheck([this](const std::string& v) {
    if (Style == 2 && !v.empty() && std::find(items_.begin(), items_.end(), v) == items_.end())
      rt::Raise(383, "'Text' property is read-only");
  });
  Text.OnChange([this] {
    if (listIndex_ >= 0 && items_[static_cast<size_t>(listIndex_)] != Text.Get()) listIndex_ = -1;
    Raise(Change);
  });
}

void ComboBox::AddItem(std::string item, int16_t index) {
  if (index < -1 || index > ListCount()) rt::Raise(rt::kInvalidCall);
  if (index == -1) index = ListCount();
  items_.insert(items_.begin() + index, std::move(item));
  if (listIndex_ >= index) ++listIndex_;
}

void ComboBox::RemoveItem(int16_t index) {
  if (index < 0 || index >= ListCount()) rt::Raise(rt::kInvalidCall);
  items_.erase(items_.begin() + index);
  if (listIndex_ == index) listIndex_ = -1;
  else if (listIndex_ > index) --listIndex_;
}

void ComboBox::Clear() {
  // The list only; the text stays as it is.
  items_.clear();
  listIndex_ = -1;
}

std::string ComboBox::List(int16_t index) const {
  if (index < 0) rt::Raise(381, "Invalid property array index");
  if (index >= ListCount()) return "";
  return items_[static_cast<size_t>(index)];
}

int16_t ComboBox::ListIndex() const { return listIndex_; }

void ComboBox::SetListIndex(int16_t index) {
  if (index < -1 || index >= ListCount()) rt::Raise(rt::kInvalidPropertyValue);
  listIndex_ = index;
  if (index == -1) {
    Text.Init("");
    return;
  }
  Text.Init(items_[static_cast<size_t>(index)]);
  Raise(Click);
}

void ComboBox::Describe(PropertyList& out) const {
  out.Text("Text", Text.Get());
  VisibleControl::Describe(out);
  out.Number("Style", Style);
  out.Number("ListCount", ListCount());
  out.Number("ListIndex", ListIndex());
  for (int16_t i = 0; i < ListCount(); ++i) out.Text("List(" + std::to_string(i) + ")", items_[static_cast<size_t>(i)]);
}

void ComboBox::Operate(const OperatorAction& action) {
  switch (action.kind) {
    case OperatorAction::Type:
      if (Style == 2) throw OperatorError(FullName() + " is a drop-down list: pick an item");
      if (Parent()) Parent()->SetActiveControl(this);
      Text = action.text;
      return;
    case OperatorAction::Pick: {
      int16_t index = -1;
      if (!action.text.empty() && action.text[0] == '#') {
        char* end = nullptr;
        long n = std::strtol(action.text.c_str() + 1, &end, 10);
        if (end && *end == 0 && action.text.size() > 1 && n >= 0 && n < ListCount()) index = static_cast<int16_t>(n);
        if (index < 0) throw OperatorError(FullName() + " has no item " + action.text);
      } else {
        auto it = std::find(items_.begin(), items_.end(), action.text);
        if (it == items_.end()) throw OperatorError(FullName() + " has no item \"" + action.text + "\"");
        index = static_cast<int16_t>(it - items_.begin());
      }
      if (Parent()) Parent()->SetActiveControl(this);
      Raise(DropDown);
      SetListIndex(index);
      return;
    }
    case OperatorAction::Drop: RaiseDrop(*this, action, QualifiedName(*this)); return;
    default: Refuse(action);
  }
}

std::unique_ptr<Control> ComboBox::CloneForArray() const {
  auto copy = std::unique_ptr<ComboBox>(new ComboBox(*this));
  // A new element starts with an empty list, as the runtime's Load gives it.
  copy->items_.clear();
  copy->listIndex_ = -1;
  return copy;
}

void ComboBox::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  VisibleControl::ApplyDesign(d, form);
  Style.Init(d.Style);
  Text.Init(std::string(d.Text));
}

// ---- Shape

void Shape::Describe(PropertyList& out) const {
  VisibleControl::Describe(out);
  out.Number("Shape", Kind);
  out.Color("FillColor", FillColor);
  out.Number("FillStyle", FillStyle);
  out.Color("BorderColor", BorderColor);
  out.Number("BorderWidth", BorderWidth);
}

std::unique_ptr<Control> Shape::CloneForArray() const { return std::unique_ptr<Control>(new Shape(*this)); }

void Shape::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  VisibleControl::ApplyDesign(d, form);
  Kind.Init(d.Style);
}

// ---- Image

void Image::Describe(PropertyList& out) const {
  VisibleControl::Describe(out);
  out.Text("Picture", Picture.Get());
  out.Bool("Stretch", Stretch);
}

void Image::Operate(const OperatorAction& action) { OperateMouse(*this, action); }

std::unique_ptr<Control> Image::CloneForArray() const { return std::unique_ptr<Control>(new Image(*this)); }

void Image::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  VisibleControl::ApplyDesign(d, form);
  Picture.Init(std::string(d.Picture));
}

// ---- Timer

Timer::Timer() { Hook(); }

Timer::Timer(const Timer& o) : Control(o), TimerEvents<Event>(o), Interval(o.Interval) {
  Hook();
  Restart();
}

void Timer::Hook() {
  Enabled.OnChange([this] { Restart(); });
  Interval.OnCheck([](const int32_t& v) {
    if (v < 0 || v > 65535) rt::Raise(rt::kInvalidPropertyValue);
  });
  Interval.OnChange([this] { Restart(); });
}

void Timer::Restart() { due_ = App::Instance().Now() + Interval; }

void Timer::Fire() {
  // The next tick is planned before the handler runs, so a handler that
  // changes Interval or Enabled plans its own.
  due_ = App::Instance().Now() + Interval;
  Raise(Tick);
}

void Timer::Describe(PropertyList& out) const {
  Control::Describe(out);
  out.Number("Interval", Interval);
}

std::unique_ptr<Control> Timer::CloneForArray() const { return std::unique_ptr<Control>(new Timer(*this)); }

void Timer::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  Control::ApplyDesign(d, form);
  Interval.Init(d.Interval);
  Restart();
}

}  // namespace forms

#include "platform/forms/form.h"

#include <algorithm>
#include <stdexcept>

#include "platform/forms/app.h"
#include "platform/forms/screen.h"
#include "platform/forms/text_metrics.h"
#include "platform/runtime/error.h"
#include "platform/uiscript/uiscript.h"

namespace forms {
namespace {

constexpr int32_t kCantMoveOrSize = 384;
constexpr int kMaxResizeDepth = 64;
constexpr int32_t kOutOfStackSpace = 28;

int32_t NextWindowHandle() {
  static int32_t next = 0x10010;
  next += 4;
  return next;
}

}  // namespace

Form::Form(const FormDesign& design)
    : design_(design), name_(design.Name), bound_(design.Controls.size(), false), hwnd_(NextWindowHandle()) {
  // The application object is made first, so it outlives every form, also
  // forms of static storage.
  App::Instance();
  Caption.Init(std::string(design.Caption));
  Left.Init(design.Left);
  Top.Init(design.Top);
  Width.Init(design.Width);
  Height.Init(design.Height);
  BorderStyle.Init(design.BorderStyle);
  KeyPreview.Init(design.KeyPreview);
  BackColor.Init(design.BackColor);
  FontName.Init(std::string(design.Font.Name));
  FontSize.Init(design.Font.Size);
  FontBold.Init(design.Font.Bold);

  auto movable = [this](const float&) { CheckMovable(); };
  Left.OnCheck(movable);
  Top.OnCheck(movable);
  Width.OnCheck(movable);
  Height.OnCheck(movable);
  Width.OnChange([this] { RaiseResize(); });
  Height.OnChange([this] { RaiseResize(); });
  BorderStyle.OnCheck([](const int16_t& v) {
    if (v < 0 || v > 5) rt::Raise(rt::kInvalidPropertyValue);
  });
  WindowState.OnCheck([](const int16_t& v) {
    if (v < kNormal || v > kMaximized) rt::Raise(rt::kInvalidPropertyValue);
  });
  WindowState.OnChange([this] {
    if (WindowState == kMaximized) {
      normalWidth_ = Width;
      normalHeight_ = Height;
      Width.Init(Screen().Width());
      Height.Init(Screen().Height());
    } else if (WindowState == kNormal && normalWidth_ > 0) {
      Width.Init(normalWidth_);
      Height.Init(normalHeight_);
      normalWidth_ = normalHeight_ = 0;
    }
    RaiseResize();
  });
  Caption.OnChange([this] {
    if (loaded_) uiscript::Transcript::Write({"caption", name_, Caption.Get()});
  });
}

Form::~Form() { App::Instance().FormDestroyed(this); }

void Form::CheckMovable() const {
  if (WindowState != kNormal)
    rt::Raise(kCantMoveOrSize, "A form can't be moved or sized while minimized or maximized");
}

void Form::Frame(float* across, float* down) const {
  float a = 0, d = 0;
  switch (BorderStyle) {
    // The platform's frames at 96 dpi, as the window stand-in counts them:
    // a 20-pixel caption (16 for a tool window) over a 4-pixel sizing
    // frame or a 3-pixel fixed one.
    case 1:
    case 3: a = 6; d = 26; break;
    case 2: a = 8; d = 28; break;
    case 4: a = 6; d = 22; break;
    case 5: a = 8; d = 24; break;
    default: break;
  }
  *across = a * Screen().TwipsPerPixelX();
  *down = d * Screen().TwipsPerPixelY();
}

float Form::ScaleWidth() const {
  float a, d;
  Frame(&a, &d);
  return std::max(0.0f, Width - a);
}

float Form::ScaleHeight() const {
  float a, d;
  Frame(&a, &d);
  return std::max(0.0f, Height - d);
}

float Form::TextWidth(std::string_view text) const { return forms::TextWidth(FontName.Get(), FontSize, FontBold, text); }

float Form::TextHeight(std::string_view text) const { return forms::TextHeight(FontSize, text); }

void Form::RaiseResize() {
  if (!loaded_) return;
  // A handler that keeps resizing its own form would recurse for ever; the
  // runtime stops it with its stack error instead of crashing.
  if (resizeDepth_ >= kMaxResizeDepth) rt::Raise(kOutOfStackSpace, "Out of stack space");
  struct Depth {
    int& d;
    explicit Depth(int& x) : d(x) { ++d; }
    ~Depth() { --d; }
  } depth(resizeDepth_);
  Raise(Resize);
}

void Form::LoadForm() {
  if (loaded_) return;
  CheckBound();
  loaded_ = true;
  App::Instance().FormLoaded(this);
  Raise(Load);
}

void Form::Show() {
  LoadForm();
  if (!loaded_ || visible_) return;
  visible_ = true;
  if (!shownOnce_) {
    shownOnce_ = true;
    RaiseResize();
  }
  Raise(Activate);
}

void Form::Hide() {
  LoadForm();
  visible_ = false;
}

void Form::Move(float left, float top, float width, float height) {
  Left = left;
  Top = top;
  Width = width;
  Height = height;
}

bool Form::Close(int16_t mode) {
  if (!loaded_) return true;
  int16_t cancel = 0;
  Raise(QueryUnload, cancel, mode);
  if (cancel != 0 || !loaded_) return !loaded_;
  Raise(Unload, cancel);
  if (cancel != 0 || !loaded_) return !loaded_;
  loaded_ = false;
  visible_ = false;
  shownOnce_ = false;
  active_ = nullptr;
  App::Instance().FormUnloaded(this);
  return true;
}

void Form::Bind(Control& control, std::string_view name) {
  for (size_t i = 0; i < design_.Controls.size(); ++i) {
    const ControlDesign& d = design_.Controls[i];
    if (d.Name != name || d.Index >= 0) continue;
    if (bound_[i]) throw std::logic_error(name_ + "." + std::string(name) + " is bound twice");
    if (d.Type != control.Type())
      throw std::logic_error(name_ + "." + std::string(name) + " has another type in the design table");
    bound_[i] = true;
    control.form_ = this;
    control.ApplyDesign(d, design_);
    members_.push_back(Member{std::string(name), &control, nullptr});
    SortMembers();
    return;
  }
  throw std::logic_error(name_ + "." + std::string(name) + " is not a single control of the design table");
}

void Form::Bind(ControlArrayBase& array, std::string_view name) {
  bool any = false;
  std::vector<int16_t> seen;
  for (size_t i = 0; i < design_.Controls.size(); ++i) {
    const ControlDesign& d = design_.Controls[i];
    if (d.Name != name || d.Index < 0) continue;
    if (bound_[i]) throw std::logic_error(name_ + "." + std::string(name) + " is bound twice");
    if (d.Type != array.Type())
      throw std::logic_error(name_ + "." + std::string(name) + " has another type in the design table");
    if (std::find(seen.begin(), seen.end(), d.Index) != seen.end())
      throw std::logic_error(name_ + "." + std::string(name) + " has index " + std::to_string(d.Index) + " twice");
    seen.push_back(d.Index);
    bound_[i] = true;
    array.name_ = std::string(name);
    array.AddDesignElement(d, design_, *this);
    any = true;
  }
  if (!any) throw std::logic_error(name_ + "." + std::string(name) + " is not a control array of the design table");
  members_.push_back(Member{std::string(name), nullptr, &array});
  SortMembers();
}

// Members stay in the order of their first design entry, whatever the order
// of the Bind calls, so dumps list controls as the table does.
void Form::SortMembers() {
  auto pos = [this](const std::string& n) {
    for (size_t k = 0; k < design_.Controls.size(); ++k)
      if (design_.Controls[k].Name == n) return k;
    return design_.Controls.size();
  };
  std::stable_sort(members_.begin(), members_.end(),
                   [&](const Member& a, const Member& b) { return pos(a.name) < pos(b.name); });
}

int16_t ControlArrayBase::UBound() const {
  std::vector<Control*> e = Elements();
  if (e.empty()) rt::Raise(rt::kSubscriptOutOfRange);
  return e.back()->Index();
}

int16_t ControlArrayBase::LBound() const {
  std::vector<Control*> e = Elements();
  if (e.empty()) rt::Raise(rt::kSubscriptOutOfRange);
  return e.front()->Index();
}

void Form::CheckBound() const {
  for (size_t i = 0; i < bound_.size(); ++i)
    if (!bound_[i])
      throw std::logic_error("design entry " + name_ + "." + std::string(design_.Controls[i].Name) + " is not bound");
}

Control* Form::FindControl(std::string_view fullName) const {
  std::string_view name = fullName;
  int index = -1;
  size_t open = fullName.find('(');
  if (open != std::string_view::npos) {
    if (fullName.back() != ')' || open + 2 > fullName.size() - 1) return nullptr;
    std::string_view digits = fullName.substr(open + 1, fullName.size() - open - 2);
    if (digits.size() > 5) return nullptr;
    index = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return nullptr;
      index = index * 10 + (c - '0');
    }
    if (index > 32767) return nullptr;
    name = fullName.substr(0, open);
  }
  for (const Member& m : members_) {
    if (m.name != name) continue;
    if (m.single) return index < 0 ? m.single : nullptr;
    return index < 0 ? nullptr : m.array->Find(static_cast<int16_t>(index));
  }
  return nullptr;
}

std::vector<Timer*> Form::Timers() const {
  std::vector<Timer*> out;
  for (const Member& m : members_) {
    if (m.single) {
      if (auto* t = dynamic_cast<Timer*>(m.single)) out.push_back(t);
    } else {
      for (Control* c : m.array->Elements())
        if (auto* t = dynamic_cast<Timer*>(c)) out.push_back(t);
    }
  }
  return out;
}

void Form::Describe(PropertyList& out) const {
  out.Text("Caption", Caption.Get());
  out.Number("Left", Left);
  out.Number("Top", Top);
  out.Number("Width", Width);
  out.Number("Height", Height);
  out.Number("ScaleWidth", ScaleWidth());
  out.Number("ScaleHeight", ScaleHeight());
  out.Number("BorderStyle", BorderStyle);
  out.Number("WindowState", WindowState);
  out.Bool("Visible", visible_);
  out.Bool("Enabled", Enabled);
  out.Bool("KeyPreview", KeyPreview);
  out.Text("Tag", Tag.Get());
  out.Color("BackColor", BackColor);
  out.Text("FontName", FontName.Get());
  out.Number("FontSize", FontSize);
  out.Bool("FontBold", FontBold);
  out.Number("MousePointer", MousePointer);
  out.Text("ActiveControl", active_ ? active_->FullName() : "");
}

}  // namespace forms

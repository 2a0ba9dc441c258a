#include "platform/forms/ole_control.h"

#include <cmath>

#include "platform/forms/form.h"
#include "platform/forms/screen.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/uiscript/uiscript.h"

namespace forms {
namespace {

constexpr int32_t kCantCreateObject = 429;
constexpr int32_t kReadOnly = 383;

}  // namespace

OleControl::OleControl() { Hook(); }

OleControl::OleControl(const OleControl& o)
    : VisibleControl(o), com::Dispatch(), com::EventSink(), OleControlEvents<forms::Event>(o), progId_(o.progId_),
      design_(o.design_) {
  Hook();
  // A new element is a new instance of the class with the design values; it
  // shares nothing with the element it was copied from.
  if (design_) Create(*design_);
  TellSize();
}

OleControl::~OleControl() {
  if (control_) control_->SetEventSink(nullptr);
}

void OleControl::Hook() {
  Width.OnChange([this] { TellSize(); });
  Height.OnChange([this] { TellSize(); });
}

void OleControl::Create(const ControlDesign& d) {
  control_ = com::CreateControl(progId_);
  if (!control_) rt::Raise(kCantCreateObject, "ActiveX component can't create object: " + progId_);
  control_->SetEventSink(this);
  for (const auto& [dispid, value] : d.Properties) control_->Put(dispid, value);
}

void OleControl::TellSize() {
  if (!control_) return;
  auto px = [](float twips, float perPixel) { return static_cast<int32_t>(std::lround(twips / perPixel)); };
  control_->SetClientSize(px(Width, Screen().TwipsPerPixelX()), px(Height, Screen().TwipsPerPixelY()));
}

rt::Variant OleControl::Extender(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args, bool* handled) {
  *handled = true;
  bool put = kind == com::InvokeKind::PropertyPut;
  if (kind == com::InvokeKind::Method) {
    switch (dispid) {
      case kExtName: case kExtIndex: case kExtLeft: case kExtTop: case kExtWidth: case kExtHeight:
      case kExtVisible: case kExtTag: case kExtEnabled: case kExtToolTipText:
        rt::Raise(rt::kNoSuchMember);
      default:
        *handled = false;
        return {};
    }
  }
  if (put && args.empty()) rt::Raise(rt::kInvalidCall);
  const rt::Variant& v = put ? args.back() : rt::Variant();
  auto number = [&](Prop<float>& p) -> rt::Variant {
    if (put) p = static_cast<float>(rt::CDbl(v));
    return static_cast<double>(p.Get());
  };
  switch (dispid) {
    case kExtName:
      if (put) rt::Raise(kReadOnly, "'Name' property is read-only");
      return Name();
    case kExtIndex:
      if (put) rt::Raise(kReadOnly, "'Index' property is read-only");
      return Index();
    case kExtLeft: return number(Left);
    case kExtTop: return number(Top);
    case kExtWidth: return number(Width);
    case kExtHeight: return number(Height);
    case kExtVisible:
      if (put) Visible = rt::CBool(v);
      return Visible.Get();
    case kExtEnabled:
      if (put) Enabled = rt::CBool(v);
      return Enabled.Get();
    case kExtTag:
      if (put) Tag = rt::CStr(v);
      return Tag.Get();
    case kExtToolTipText:
      if (put) ToolTipText = rt::CStr(v);
      return ToolTipText.Get();
    default:
      *handled = false;
      return {};
  }
}

rt::Variant OleControl::Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) {
  bool handled = false;
  rt::Variant result = Extender(dispid, kind, args, &handled);
  if (handled) return result;
  if (!control_) rt::Raise(rt::kObjectNotSet);
  return control_->Invoke(dispid, kind, args);
}

void OleControl::RaiseEvent(int32_t dispid, std::span<rt::Variant> args) { forms::Raise(Event, dispid, args); }

void OleControl::Describe(PropertyList& out) const {
  // The container's properties, then the control's own state.
  out.Number("Left", Left);
  out.Number("Top", Top);
  out.Number("Width", Width);
  out.Number("Height", Height);
  out.Bool("Visible", Visible);
  out.Bool("Enabled", Enabled);
  out.Text("Tag", Tag.Get());
  out.Text("ToolTipText", ToolTipText.Get());
  out.Text("ProgId", progId_);
  if (control_)
    for (auto& [name, value] : control_->DumpState()) out.Raw(name, value);
}

void OleControl::Operate(const OperatorAction& a) {
  if (a.kind == OperatorAction::Drop) {
    std::string files;
    for (const std::string& f : a.files) files += (files.empty() ? "" : "; ") + f;
    uiscript::Transcript::Write(
        {"drop", (Parent() ? Parent()->Name() + "." : std::string()) + FullName(), files, "OLEDropFile"});
  }
  if (auto* input = dynamic_cast<OperatorInput*>(control_.get())) {
    if (input->Operate(a)) return;
    Refuse(a);
  }
  auto raise = [this](int32_t dispid, std::vector<rt::Variant> args) { RaiseEvent(dispid, args); };
  auto mouse = [&](int32_t dispid, float x, float y) {
    raise(dispid, {rt::Variant(a.button), rt::Variant(a.shift), rt::Variant(static_cast<double>(x)),
                   rt::Variant(static_cast<double>(y))});
  };
  float cx = Width / 2, cy = Height / 2;
  if (a.eventOnly && (a.kind == OperatorAction::Click || a.kind == OperatorAction::DblClick)) {
    raise(a.kind == OperatorAction::Click ? kEventClick : kEventDblClick, {});
    return;
  }
  switch (a.kind) {
    case OperatorAction::Click:
      mouse(kEventMouseDown, cx, cy);
      mouse(kEventMouseUp, cx, cy);
      raise(kEventClick, {});
      return;
    case OperatorAction::DblClick:
      mouse(kEventMouseDown, cx, cy);
      mouse(kEventMouseUp, cx, cy);
      raise(kEventClick, {});
      raise(kEventDblClick, {});
      mouse(kEventMouseUp, cx, cy);
      return;
    case OperatorAction::MouseDown: mouse(kEventMouseDown, a.x, a.y); return;
    case OperatorAction::MouseMove: mouse(kEventMouseMove, a.x, a.y); return;
    case OperatorAction::MouseUp: mouse(kEventMouseUp, a.x, a.y); return;
    case OperatorAction::Drop:
      for (const std::string& f : a.files) raise(kEventOLEDropFile, {rt::Variant(f)});
      return;
    default: Refuse(a);
  }
}

std::unique_ptr<Control> OleControl::CloneForArray() const {
  return std::unique_ptr<Control>(new OleControl(*this));
}

void OleControl::ApplyDesign(const ControlDesign& d, const FormDesign& form) {
  VisibleControl::ApplyDesign(d, form);
  progId_ = std::string(d.ProgId);
  design_ = &d;
  Create(d);
  TellSize();
}

}  // namespace forms

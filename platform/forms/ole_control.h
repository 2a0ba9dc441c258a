#pragma once
// The host of an outside control (the imaging control, the slider) on a
// form. The host is itself a Dispatch object: it answers the container's
// (extender) properties by their dispatch ids and forwards every other id to
// the control; it tells the control its display size in pixels whenever its
// Width or Height changes; and it is the control's event sink, passing every
// event on to the program's handler with its dispatch id and arguments.
//
// Event arguments of the imaging control as the script raises them:
//   Click 9, DblClick 10: none
//   MouseDown 14, MouseMove 15, MouseUp 16: Button (Integer), Shift
//     (Integer), X, Y (Double, twips relative to the control)
//   OLEDropFile 42: the file's path (String)

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/com/control.h"
#include "platform/forms/controls.h"

namespace forms {

// Extender dispatch ids. Name and Index have no id the system relies on;
// the two here are this runtime's own.
enum : int32_t {
  kExtName = static_cast<int32_t>(0x80010000),
  kExtIndex = static_cast<int32_t>(0x80010001),
  kExtLeft = static_cast<int32_t>(0x80010003),
  kExtTop = static_cast<int32_t>(0x80010004),
  kExtWidth = static_cast<int32_t>(0x80010005),
  kExtHeight = static_cast<int32_t>(0x80010006),
  kExtVisible = static_cast<int32_t>(0x80010007),
  kExtTag = static_cast<int32_t>(0x8001000B),
  kExtEnabled = static_cast<int32_t>(0x8001000D),  // the thumbnails' enabled flag
  kExtToolTipText = static_cast<int32_t>(0x8001004A),
};

// Event ids the runtime raises for the operator on an outside control that
// does not handle operator input itself.
enum : int32_t { kEventClick = 9, kEventDblClick = 10, kEventMouseDown = 14, kEventMouseMove = 15,
                 kEventMouseUp = 16, kEventOLEDropFile = 42 };

template <template <class...> class E>
struct OleControlEvents {
  // Every event of the control: its dispatch id and arguments (by-reference
  // arguments may be changed).
  E<int32_t, std::span<rt::Variant>> Event;
};

class OleControl : public VisibleControl,
                   public com::Dispatch,
                   public com::EventSink,
                   public OleControlEvents<forms::Event> {
 public:
  template <template <class...> class E>
  using Events = OleControlEvents<E>;
  template <class A, class B, class F>
  static void PairEvents(A& a, B& b, F f) {
    f(a.Event, b.Event);
  }

  OleControl();
  ~OleControl() override;

  // The hosted control; null until the form binds this host to its design.
  com::Control* Object() const { return control_.get(); }
  const std::string& ProgId() const { return progId_; }

  rt::Variant Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) override;
  void RaiseEvent(int32_t dispid, std::span<rt::Variant> args) override;

  ControlType Type() const override { return ControlType::OleControl; }
  void Describe(PropertyList& out) const override;
  void Operate(const OperatorAction& action) override;
  std::unique_ptr<Control> CloneForArray() const override;
  // Creates the control by its program id (error 429 when the id is not
  // registered) and puts the design's properties on it.
  void ApplyDesign(const ControlDesign& d, const FormDesign& form) override;

 private:
  OleControl(const OleControl& o);
  void Hook();
  void Create(const ControlDesign& d);
  void TellSize();
  rt::Variant Extender(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args, bool* handled);

  std::string progId_;
  const ControlDesign* design_ = nullptr;
  std::shared_ptr<com::Control> control_;
};

}  // namespace forms

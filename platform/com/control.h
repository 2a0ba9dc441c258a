#pragma once
// Outside controls hosted on forms (the imaging control, the slider).
//
// A control is a Dispatch object that raises events to its container and is
// told the size of its display area. Container-side properties (position,
// visibility, Tag, the enabled flag of id &H8001000D ...) belong to the
// forms runtime's host object, not to the control.
//
// Programs register the control classes they use by program id once at
// start-up; the forms runtime creates them by that id.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/dispatch.h"

namespace com {

class EventSink {
 public:
  virtual ~EventSink() = default;
  // The control raises event `dispid` with `args` (by-reference arguments
  // may be changed by the handler).
  virtual void RaiseEvent(int32_t dispid, std::span<rt::Variant> args) = 0;
};

class Control : public Dispatch {
 public:
  // The display area the container gives the control, in pixels.
  virtual void SetClientSize(int32_t widthPx, int32_t heightPx) {
    clientWidth_ = widthPx;
    clientHeight_ = heightPx;
  }
  // The container's sink for events; null detaches. The sink outlives the
  // control's use of it.
  void SetEventSink(EventSink* sink) { sink_ = sink; }
  // The control's state for a dump: name/value pairs in a stable order.
  virtual std::vector<std::pair<std::string, std::string>> DumpState() const { return {}; }

 protected:
  void Fire(int32_t dispid, std::vector<rt::Variant> args = {}) {
    if (sink_) sink_->RaiseEvent(dispid, args);
  }
  int32_t clientWidth_ = 0;
  int32_t clientHeight_ = 0;

 private:
  EventSink* sink_ = nullptr;
};

using ControlFactory = std::function<std::shared_ptr<Control>()>;

// Registers a class under its program id ("PIXOLib.PIXO"); a second
// registration of the same id replaces the first.
void RegisterControlClass(std::string progId, ControlFactory factory);
// Creates an instance; null when the id is not registered.
std::shared_ptr<Control> CreateControl(std::string_view progId);

}  // namespace com

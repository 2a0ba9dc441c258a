#include "platform/slider/slider.h"

#include <memory>

#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"

namespace slider {

rt::Variant Slider::Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) {
  if (kind == com::InvokeKind::Method) rt::Raise(rt::kNoSuchMember);
  bool put = kind == com::InvokeKind::PropertyPut;
  if (put && args.empty()) rt::Raise(rt::kInvalidCall);
  int32_t v = put ? rt::CLng(args.back()) : 0;
  switch (dispid) {
    case kValue:
      if (put) SetValue(v);
      return value_;
    case kMin:
      if (put) SetRange(v, max_);
      return min_;
    case kMax:
      if (put) SetRange(min_, v);
      return max_;
    case kSmallChange:
      if (put && v < 0) rt::Raise(rt::kInvalidPropertyValue);
      if (put) smallChange_ = v;
      return smallChange_;
    case kLargeChange:
      if (put && v < 0) rt::Raise(rt::kInvalidPropertyValue);
      if (put) largeChange_ = v;
      return largeChange_;
    default:
      rt::Raise(rt::kNoSuchMember);
  }
}

void Slider::SetValue(int32_t v) {
  if (v < min_ || v > max_) rt::Raise(rt::kInvalidPropertyValue);
  if (v == value_) return;
  value_ = v;
  Fire(kEventChange);
}

void Slider::SetRange(int32_t min, int32_t max) {
  if (min > max) rt::Raise(rt::kInvalidPropertyValue);
  min_ = min;
  max_ = max;
  if (value_ < min_) SetValue(min_);
  else if (value_ > max_) SetValue(max_);
}

std::vector<std::pair<std::string, std::string>> Slider::DumpState() const {
  return {{"Value", rt::CStr(value_)},
          {"Min", rt::CStr(min_)},
          {"Max", rt::CStr(max_)},
          {"SmallChange", rt::CStr(smallChange_)},
          {"LargeChange", rt::CStr(largeChange_)}};
}

bool Slider::Operate(const forms::OperatorAction& action) {
  if (action.kind != forms::OperatorAction::Slide) return false;
  int32_t v = action.value;
  if (v < min_ || v > max_)
    throw forms::OperatorError("the slider's range is " + rt::CStr(min_) + " to " + rt::CStr(max_) + ", not " +
                               rt::CStr(v));
  if (!dragging_) {
    dragging_ = true;
    dragStart_ = value_;
  }
  if (v != value_) {
    value_ = v;
    Fire(kEventScroll);
  }
  if (!action.hold) {
    dragging_ = false;
    if (value_ != dragStart_) Fire(kEventChange);
  }
  return true;
}

void RegisterSliderClass() {
  com::RegisterControlClass(kProgId, [] { return std::make_shared<Slider>(); });
}

}  // namespace slider

#pragma once
// The slider outside control, program id "MSComctlLib.Slider".
//
// Properties by dispatch id (Long values): Value 11, Min 12, Max 13,
// SmallChange 14, LargeChange 15; a new slider has the range 0 to 10 and the
// value 0. Events: Scroll 16 while the operator drags the knob, Change 17 when
// a new position is set: by the operator's release, and by a Value put from
// code that changes the position (Change comes as for the operator's move).
// A value outside Min..Max is error 380; a range whose Min exceeds its Max is
// error 380; narrowing the range moves the value into it (with Change).
//
// The operator script drags it ("slide NAME VALUE [hold]"): Scroll at the new
// position, then on release Change when the position differs from where the
// drag began.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/control.h"
#include "platform/forms/operator_input.h"

namespace slider {

enum : int32_t { kValue = 11, kMin = 12, kMax = 13, kSmallChange = 14, kLargeChange = 15 };
enum : int32_t { kEventScroll = 16, kEventChange = 17 };

constexpr const char* kProgId = "MSComctlLib.Slider";

class Slider : public com::Control, public forms::OperatorInput {
 public:
  rt::Variant Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) override;
  std::vector<std::pair<std::string, std::string>> DumpState() const override;
  bool Operate(const forms::OperatorAction& action) override;

  int32_t Value() const { return value_; }

 private:
  void SetValue(int32_t v);
  void SetRange(int32_t min, int32_t max);
  int32_t value_ = 0, min_ = 0, max_ = 10, smallChange_ = 1, largeChange_ = 5;
  bool dragging_ = false;
  int32_t dragStart_ = 0;
};

// Registers the class under kProgId; the program calls it once at start-up.
void RegisterSliderClass();

}  // namespace slider

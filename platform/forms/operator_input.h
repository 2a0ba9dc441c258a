#pragma once
// What an operator does to one control, as the operator script describes it.
// The forms runtime turns an action into the control's events; an outside
// control that implements OperatorInput handles the actions itself (a slider
// is dragged, not clicked).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace forms {

struct OperatorAction {
  enum Kind { Click, DblClick, MouseDown, MouseMove, MouseUp, Drop, Slide, Type, Pick };
  Kind kind = Click;
  int16_t button = 1;  // 1 left, 2 right, 4 middle
  int16_t shift = 0;   // 1 Shift, 2 Ctrl, 4 Alt
  float x = 0, y = 0;  // twips, relative to the control
  std::vector<std::string> files;  // Drop
  int32_t value = 0;               // Slide: the new position
  bool hold = false;               // Slide: the button stays down (no release yet)
  std::string text;                // Type: the text; Pick: the item
  // Click, DblClick from a real mouse, whose press and release already came
  // as MouseDown and MouseUp: only the Click (DblClick) event follows.
  bool eventOnly = false;
};

// A control that cannot take an action, or an action that does not fit the
// control's state; the script driver reports it with the script line.
class OperatorError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OperatorInput {
 public:
  virtual ~OperatorInput() = default;
  // Performs `action`; false when this control does not take that kind of
  // action (the runtime then reports it). May throw OperatorError.
  virtual bool Operate(const OperatorAction& action) = 0;
};

const char* ActionName(OperatorAction::Kind kind);

}  // namespace forms

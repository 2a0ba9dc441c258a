#include "platform/screen/mouse_actions.h"

#include "platform/screen/input_map.h"
#include "platform/screen/units.h"

namespace screen {
namespace {

forms::OperatorAction At(forms::OperatorAction::Kind kind, int16_t button, unsigned state, double x, double y,
                         double tpp) {
  forms::OperatorAction a;
  a.kind = kind;
  a.button = button;
  a.shift = ShiftOf(state);
  a.x = static_cast<float>(PixelsToTwips(x, tpp));
  a.y = static_cast<float>(PixelsToTwips(y, tpp));
  return a;
}

forms::OperatorAction Event(forms::OperatorAction::Kind kind, unsigned state) {
  forms::OperatorAction a;
  a.kind = kind;
  a.shift = ShiftOf(state);
  a.eventOnly = true;
  return a;
}

}  // namespace

std::vector<forms::OperatorAction> MouseActions::Press(unsigned gdkButton, unsigned state, double x, double y,
                                                       bool second, double tpp) {
  const int16_t button = ButtonOf(gdkButton);
  if (button == 0) return {};
  pressed_ = gdkButton;
  second_ = second && gdkButton == 1;
  if (second_) return {Event(forms::OperatorAction::DblClick, state)};
  return {At(forms::OperatorAction::MouseDown, button, state, x, y, tpp)};
}

std::vector<forms::OperatorAction> MouseActions::Release(unsigned gdkButton, unsigned state, double x, double y,
                                                         bool inside, double tpp) {
  const int16_t button = ButtonOf(gdkButton);
  if (button == 0) return {};
  std::vector<forms::OperatorAction> out = {At(forms::OperatorAction::MouseUp, button, state, x, y, tpp)};
  if (gdkButton == 1 && pressed_ == 1 && inside && !second_) out.push_back(Event(forms::OperatorAction::Click, state));
  pressed_ = 0;
  second_ = false;
  return out;
}

forms::OperatorAction MouseActions::Move(unsigned state, double x, double y, double tpp) {
  return At(forms::OperatorAction::MouseMove, ButtonsHeldOf(state), state, x, y, tpp);
}

}  // namespace screen

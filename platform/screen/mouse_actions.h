#pragma once
// A real mouse on one target (a control's widget, a light control on the
// form) as the runtime's operator actions, the way the platform reports a
// mouse: a press is MouseDown; a release is MouseUp and, for the left
// button pressed and released over the target, Click; a double click is
// MouseDown, MouseUp, Click, DblClick, MouseUp; a move is MouseMove with
// the buttons held. Positions are twips relative to the target.

#include <cstdint>
#include <vector>

#include "platform/forms/operator_input.h"

namespace screen {

class MouseActions {
 public:
  // Button `gdkButton` (GDK's numbering) went down at (x, y) pixels with
  // modifier `state`. `second` is the second press of a double click
  // (GDK's double press), which raises DblClick instead of MouseDown.
  std::vector<forms::OperatorAction> Press(unsigned gdkButton, unsigned state, double x, double y, bool second,
                                           double twipsPerPixel);
  // The button went up at (x, y); `inside` tells whether that is over the target.
  std::vector<forms::OperatorAction> Release(unsigned gdkButton, unsigned state, double x, double y, bool inside,
                                             double twipsPerPixel);
  forms::OperatorAction Move(unsigned state, double x, double y, double twipsPerPixel);

 private:
  unsigned pressed_ = 0;   // GDK button of the press this release ends, 0 none
  bool second_ = false;    // that press was the second of a double click
};

}  // namespace screen

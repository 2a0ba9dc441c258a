#pragma once
// Quillet2, the sample window: a plain window whose only content is the
// work imaging control L2. The border trim and the quality check measure
// their grey sample in L2 and, at high trace levels, show the window beside
// the main window; Escape hides it again. The main window owns the one
// instance (Quillet1::SampleWindow).

#include <cstdint>

#include "platform/forms/form.h"
#include "platform/forms/ole_control.h"

namespace quillet {

// The design table of the sample window (quillet2.cpp).
extern const forms::FormDesign kQuillet2Design;

class Quillet2 : public forms::Form {
 public:
  Quillet2();

  forms::OleControl L2;  // the work sample

  // Escape (27) hides the window; other keys do nothing.
  void Form_KeyDown(int16_t& KeyCode, int16_t& Shift);
  // In the normal window state L2 fills the window less its frame (8 pixels
  // across, 32 down); L2 keeps its position.
  void Form_Resize();
};

}  // namespace quillet

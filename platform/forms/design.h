#pragma once
// The design-time layout of a form: one declarative table per form, written
// beside the form's class, holding every control with its design position,
// size, caption and font. The form's constructor binds its members to the
// entries by name; values the program relies on (the first sheet slot, a
// frame's design height) are read from the controls, never repeated in code.
//
// Fields are written with designated initializers in the order declared
// below; a field left out keeps its default. Positions and sizes in twips.

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/runtime/variant.h"

namespace forms {

enum class ControlType { CommandButton, Label, TextBox, ComboBox, Shape, Image, Timer, OleControl };

// An empty Name takes the form's font; Size 0 the form's size.
struct FontDesign {
  std::string_view Name = "";
  float Size = 0;
  bool Bold = false;
};

// System colours as the runtime writes them (high bit set).
enum : int32_t {
  kColorButtonFace = static_cast<int32_t>(0x8000000F),
  kColorWindowBackground = static_cast<int32_t>(0x80000005),
  kColorWindowText = static_cast<int32_t>(0x80000008),
  kColorButtonText = static_cast<int32_t>(0x80000012),
};
constexpr int32_t kDefaultColor = -1;  // the control type's own default

struct ControlDesign {
  ControlType Type = ControlType::CommandButton;
  std::string_view Name;
  int16_t Index = -1;  // element number of a control array; -1 for a single control
  float Left = 0, Top = 0, Width = 0, Height = 0;
  std::string_view Caption = "";  // buttons and labels
  std::string_view Text = "";     // text and combo boxes
  std::string_view Tag = "";
  std::string_view ToolTipText = "";
  bool Visible = true;
  bool Enabled = true;
  int32_t BackColor = kDefaultColor;
  int32_t ForeColor = kDefaultColor;
  FontDesign Font = {};
  int16_t Style = 0;      // combo box style (0 drop-down combo, 2 drop-down list); shape kind
  int32_t Interval = 0;   // timer interval in milliseconds
  std::string_view Picture = "";  // image: the picture's file
  std::string_view ProgId = "";   // outside control: the class to create
  // Outside control: design values put by dispatch id after creation, in order.
  std::vector<std::pair<int32_t, rt::Variant>> Properties = {};
};

struct FormDesign {
  std::string_view Name;  // "Quillet1"
  std::string_view Caption = "";
  float Left = 0, Top = 0, Width = 0, Height = 0;  // outer size
  int16_t BorderStyle = 2;  // 0 none, 1 fixed single, 2 sizable, 3 fixed dialog, 4/5 tool window
  bool KeyPreview = false;
  int32_t BackColor = kColorButtonFace;
  FontDesign Font = {"MS Sans Serif", 8.25f, false};
  std::vector<ControlDesign> Controls = {};
};

}  // namespace forms

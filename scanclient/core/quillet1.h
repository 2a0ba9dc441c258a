#pragma once
// Quillet1, the scanning client's main window: its controls and the
// procedures of all three subsystems as members. The core (this folder)
// holds start-up, layout, the button row and enabling; acquire/ and
// process/ hold the procedures of the sheets and of the output.
//
// Arguments the procedures take by reference in the system and never change
// are taken by value here; events of control arrays get the index first.

#include <cstdint>
#include <string>

#include "platform/forms/control_array.h"
#include "platform/forms/controls.h"
#include "platform/forms/form.h"
#include "platform/forms/ole_control.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/imaging/pixo_members.h"
#include "platform/runtime/variant.h"

namespace quillet {

// The design table of the main window (quillet1_design.cpp): every control
// with its design position and size; the values the procedures rely on (the
// first sheet slot, L1.Left, Shape(0)'s design height) are read from it.
extern const forms::FormDesign kQuillet1Design;

class Quillet1 : public forms::Form {
 public:
  Quillet1();

  // Command row and buttons.
  forms::CommandButton DoOK, DoHelp, DoCheck, DoSelect, DoInfo, DoSetup, DoAqu;
  forms::ControlArray<forms::CommandButton> Zoom;  // 0..2
  forms::ControlArray<forms::CommandButton> Tool;  // 0..9
  forms::ComboBox ZoomFact;
  forms::Image Logo;
  // Scan options of setup mode and their captions.
  forms::ControlArray<forms::ComboBox> Twain;  // 0..5
  forms::ControlArray<forms::Label> Label;     // 0..5
  // Slider row: captions and the three sliders (outside controls).
  forms::ControlArray<forms::Label> Slide;  // 0..2
  forms::OleControl SlideB, SlideC, SlideG;
  forms::TextBox Status;
  forms::ControlArray<forms::Shape> Shape;  // 0 command row, 1 sheet column, 2 view
  // The main view and the hidden save buffer (imaging controls).
  forms::OleControl L1, L2;
  // One set per sheet, element 0 from the design table.
  forms::ControlArray<forms::CommandButton> Page;
  forms::ControlArray<forms::OleControl> Thumb, Thsav, Thbas;

  // Start-up, layout, configuration (core).
  void Form_Load();
  void Form_Resize();
  void Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode);
  void DoSetup_Click();
  void DoHelp_Click();
  void DoCheck_Click();
  void ReadIni(const std::string& ProfileName);
  void Tools(int16_t row);
  void EnDisGUI(int16_t mode);
  void ShowInf(int16_t flag);

  // Sheets and view (acquire/).
  void L1_Zoom(double percent);
  void Tool_Click(int16_t Index);
  rt::Variant CheckPage(int16_t mode);

  // Commit (process/).
  void DoOK_Click();
};

using imaging::PixCall;
using imaging::PixGet;
using imaging::PixPut;

}  // namespace quillet

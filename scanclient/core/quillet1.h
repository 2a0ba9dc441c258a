#pragma once
// Quillet1, the scanning client's main window: its controls and the
// procedures of all three subsystems as members. The core (this folder)
// holds start-up, layout, the button row and enabling; acquire/ and
// process/ hold the procedures of the sheets and of the output.
//
// Arguments the procedures take by reference in the system and never change
// are taken by value here; events of control arrays get the index first.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/control_array.h"
#include "platform/forms/controls.h"
#include "platform/forms/form.h"
#include "platform/forms/ole_control.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/imaging/pixo_members.h"
#include "platform/runtime/variant.h"

namespace quillet {

// The one switch of the command line: the debug level.
inline const std::vector<std::string> kSwitchNames = {"Z"};

// The design table of the main window (quillet1_design.cpp): every control
// with its design position and size; the values the procedures rely on (the
// first sheet slot, L1.Left, Shape(0)'s design height) are read from it.
extern const forms::FormDesign kQuillet1Design;

class Quillet2;  // the sample window (quillet2.h)

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
  void ThumbClk(int16_t Index);
  rt::Variant Thumb_Autocheck(int16_t sheet, int16_t mode);

  // Sheet selection, scanner source and settings, scanning, file drop
  // import (acquire/scan_*.cpp). Shift 3 on a sheet button selects its
  // sheet and refills the scan options without scanning.
  void Page_MouseUp(int16_t Index, int16_t Button, int16_t Shift, float X, float Y);
  void DoSelect_Click();
  void DoInfo_Click();
  void Twain_Change(int16_t Index);
  void DoAqu_Click();
  void Page_OLEDragOver(int16_t Index, forms::DataObject& Data, int32_t& Effect, int16_t Button, int16_t Shift,
                        float X, float Y, int16_t State);
  void Page_OLEDragDrop(int16_t Index, forms::DataObject& Data, int32_t& Effect, int16_t Button, int16_t Shift,
                        float X, float Y);
  void Thumb_OLEDropFile(int16_t Index, const std::string& path);
  void OLEDragDrop(int16_t Index, const std::string& path);
  // Points the sheet buttons', scan controls' and thumbnails' drop events at
  // the handlers above; runs after HookViewEvents, whose thumbnail handler
  // it keeps for the other events.
  void HookScanEvents();

  // Sheet edits and sliders, border trim, quality check (process/edit_*.cpp,
  // trim_*.cpp, check_*.cpp). Each acts on the sheet shown in L1.
  void RotLeft();
  void RotRight();
  void Mirror();
  void Flip();
  void Undo();
  // Rebuilds the view from the base with the three slider positions;
  // refresh not 0 also copies it into the thumbnail.
  void Slider(int16_t refresh);
  void SlideB_Scroll();
  void SlideB_Change();
  void SlideC_Scroll();
  void SlideC_Change();
  void SlideG_Scroll();
  void SlideG_Change();
  // Points the sliders' Scroll and Change events at the handlers above.
  void HookSliderEvents();
  void AutoTrim();
  // 0 when the shown sheet passes (or a failure is accepted), else the
  // number 1..10 of the deciding failed check.
  int16_t AutoCheck(int16_t mode);

  // Thumbnails, zoom commands and mouse tools (acquire/view_*.cpp).
  // Copies the view into the shown sheet's thumbnail; flags bit 0 refits.
  void L1Thumb(int16_t flags);
  void Thumb_DblClick(int16_t Index);
  void Zoom_Click(int16_t Index);
  void ZoomFact_Click();
  void ZoomFact_Change();
  // The mouse handlers of L1 (X and Y in twips); the crop tool works inside them.
  void MouseDown(int16_t Button, int16_t Shift, float X, float Y);
  void MouseMove(int16_t Button, int16_t Shift, float X, float Y);
  void MouseUp(int16_t Button, int16_t Shift, float X, float Y);
  // Points the zoom controls', the thumbnails' and L1's events at the handlers above.
  void HookViewEvents();

  // Commit (process/).
  void DoOK_Click();
  // Commit, output format table, sheet preparation and finish image
  // (process/commit_*.cpp, prepare_*.cpp, finish_*.cpp).
  void SelectSaveFormat(int32_t r, int16_t k);
  int16_t L2Prepare(int16_t Thx, int16_t Bits);
  // Brings the save buffer to a depth that save format code `format` holds
  // (SaveDepthFor) and returns it: black and white cut at the quality
  // check's middle level, grey or colour for JPEG, a palette for RLE.
  int16_t L2FitFormat(int16_t format, int16_t bits);
  void SetSaveOptions(int32_t r);
  void ComposeFinish();

  // Keyboard and the sample window (core/keys_*.cpp, core/quillet2.cpp).
  void Form_KeyDown(int16_t& KeyCode, int16_t& Shift);
  // The sample window Quillet2 with its work imaging control L2: created
  // and loaded (hidden) on first use, it lives as long as this window.
  Quillet2& SampleWindow();

 private:
  std::shared_ptr<Quillet2> sample_;  // SampleWindow()
};

using imaging::PixCall;
using imaging::PixGet;
using imaging::PixPut;

}  // namespace quillet

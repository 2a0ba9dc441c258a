// The main window's function keys: diagnostics (F1), slider steps (F2 to
// F4), layout (F5), mouse tools and edits (F6 to F11) and the check or the
// geometry report (F12). Key preview is on, so the window sees every key
// before its controls; no control ever sees a function key.

#include <string>
#include <vector>

#include "platform/runtime/convert.h"
#include "platform/slider/slider.h"
#include "platform/win32/environment.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"

namespace quillet {
namespace {

enum : int16_t { kF1 = 112, kF2, kF3, kF4, kF5, kF6, kF7, kF8, kF9, kF10, kF11, kF12 };
enum : int16_t { kShiftMask = 1, kCtrlMask = 2 };

std::string Plain(int16_t n) { return rt::CStr(static_cast<double>(n)); }

int32_t ValueOf(forms::OleControl& slider) { return rt::CLng(slider.Get(slider::kValue)); }

// Shift alone steps down, Ctrl alone up, no modifier resets; the bounds are
// tested before the step, so the last step may land on the range's end.
void StepSlider(forms::OleControl& slider, int16_t Shift, int32_t reset, int32_t step, int32_t low, int32_t high) {
  if (!slider.Visible) return;
  if (Shift == 0) slider.Put(slider::kValue, reset);
  if (Shift == kShiftMask && ValueOf(slider) > low) slider.Put(slider::kValue, ValueOf(slider) - step);
  if (Shift == kCtrlMask && ValueOf(slider) < high) slider.Put(slider::kValue, ValueOf(slider) + step);
}

// Notepad with `path`, not waited for. A start that fails is logged and
// otherwise ignored: a diagnostic aid must not end the run and lose the
// sheets scanned so far.
void StartNotepad(const std::string& path) {
  if (!win32::StartProgram("Notepad", {path}) && App.DebugLevel > 0) LogLine("Notepad failed:" + path);
}

}  // namespace

void Quillet1::Form_KeyDown(int16_t& KeyCode, int16_t& Shift) {
  if (App.DebugLevel > 7) LogLine("BEG-KeyDown," + Plain(KeyCode) + "/" + Plain(Shift));
  App.LastKeyCode = KeyCode;
  if (App.DebugLevel > 6) {
    Status.Text = "Key:" + Plain(KeyCode) + "/" + Plain(Shift);
    Status.Refresh();
  }

  switch (KeyCode) {
    case kF1:
      if ((Shift & kShiftMask) != 0 && App.DebugLevel > 7) StartNotepad(App.IniPath);
      if ((Shift & kCtrlMask) != 0 && App.DebugLevel > 3) StartNotepad(App.LogPath);
      break;
    case kF2:
      StepSlider(SlideB, Shift, 0, 5, -96, 96);
      break;
    case kF3:
      StepSlider(SlideC, Shift, 0, 5, -96, 96);
      break;
    case kF4:
      StepSlider(SlideG, Shift, 10, 1, 1, 100);
      break;
    case kF5:
      Form_Resize();
      break;
    case kF6:
    case kF7:
    case kF8:
    case kF9:
    case kF10:
    case kF11: {
      const int16_t i = static_cast<int16_t>(KeyCode - kF6);  // MOVE, ZWIN, ZOOM, CROP, AUTO, UNDO
      if (Tool(i).Visible) Tool_Click(i);
      break;
    }
    case kF12:
      if (Shift != 0) {
        ShowInf(1);
      } else {
        CheckPage(2);
      }
      break;
    default:
      break;
  }

  if (KeyCode >= kF1 && KeyCode <= kF12) KeyCode = 0;
}

}  // namespace quillet

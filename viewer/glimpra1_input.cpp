// Keys, mouse, the click timer and the window size of the viewer.

#include "platform/forms/app.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/runtime/step_times.h"
#include "viewer/error_box.h"
#include "viewer/glimpra1.h"
#include "viewer/layout.h"
#include "platform/imaging/pixo_calls.h"

namespace viewer {
namespace {

enum KeyCodes : int16_t { kKeyEscape = 27, kKeyPageUp = 33, kKeyPageDown = 34, kKeyF1 = 112, kKeyF5 = 116 };
enum Buttons : int16_t { kLeft = 1, kRight = 2 };
enum ShiftStates : int16_t { kNoShift = 0, kShift = 1, kCtrl = 2 };
enum MousePointers : int16_t { kArrow = 1, kCross = 2 };

constexpr int32_t kClickMs = 300;
constexpr int32_t kWhite = 0xFFFFFF;
constexpr int16_t kRotateFlags = 5;

// One help line: label, tabs, text, CR LF.
struct HelpLine {
  const char* label;
  int tabs;
  const char* text;
};
constexpr HelpLine kHelp[] = {
    {"Tastatur:", 0, ""},
    {"    ESC:", 2, "Programm Ende"},
    {"    F1:", 2, "Programm Hilfe"},
    {"    F5:", 2, "Bild Refresh"},
    {"    PageUp:", 1, "Vorherige Seite (Multipage TIF)"},
    {"    PageDown:", 1, "N\xC3\xA4" "chste Seite (Multipage TIF)"},
    {"Maus:", 0, ""},
    {"    Links:", 2, "Zoom-In / Pan"},
    {"    Rechts:", 2, "Zoom-Out"},
    {"    Links+Strg:", 1, "Zoom Fenster"},
    {"    Rechts+Strg:", 1, "Zoom Vollbild"},
    {"    Links+Shift:", 1, "Drehen -90"},
    {"    Rechts+Shift:", 1, "Drehen +90"},
};

}  // namespace

void Glimpra1::Form_KeyDown(int16_t& KeyCode, int16_t& Shift) {
  ViewerState& s = State;
  s.LastKeyCode = KeyCode;
  if (s.DebugLevel > 6) Caption = "Key:" + rt::CStr(KeyCode) + "/" + rt::CStr(Shift);
  switch (KeyCode) {
    case kKeyEscape: forms::End();
    case kKeyF1:
      ShowHelp();
      KeyCode = 0;
      break;
    case kKeyF5: Form_Resize(); break;
    case kKeyPageUp:
      rt::MarkStep("glimpra.page.key");
      Load_File(L1.Tag, rt::SubInt(s.ShownPage, 1));
      break;
    case kKeyPageDown:
      rt::MarkStep("glimpra.page.key");
      Load_File(L1.Tag, rt::AddInt(s.ShownPage, 1));
      break;
    default: break;
  }
}

void Glimpra1::ShowHelp() {
  ErrorBox e("ShowHelp", State.CmdLine);
  e.Try([&] {
    std::string text;
    for (const HelpLine& line : kHelp) text += line.label + std::string(line.tabs, '\t') + line.text + "\r\n";
    forms::MsgBox(text, uiscript::kOkOnly, State.ProductName + " V" + State.ProductVersion);
  });
}

void Glimpra1::L1_MouseDown(int16_t Button, int16_t Shift, float /*X*/, float /*Y*/) {
  State.MouseCode = rt::AddInt(rt::MulInt(Shift, 8), Button);
  PixPut(L1, Pixo::RubberBandEnabled, false);
  PixPut(L1, Pixo::MousePointer, int16_t{kArrow});
  PixPut(L1, Pixo::PanEnabled, false);
  PixPut(L1, Pixo::ViewOption104, int16_t{0});
  if (Button == kLeft && Shift == kCtrl) {
    PixPut(L1, Pixo::RubberBandEnabled, true);
    PixPut(L1, Pixo::RubberBandActive, true);
    PixPut(L1, Pixo::MousePointer, int16_t{kCross});
  }
  if (Button == kLeft && Shift == kNoShift) PixPut(L1, Pixo::PanEnabled, true);
  Tim.Interval = kClickMs;
  Tim.Enabled = true;
}

void Glimpra1::L1_MouseMove(int16_t /*Button*/, int16_t /*Shift*/, float /*X*/, float /*Y*/) {}

void Glimpra1::Tim_Timer() {
  State.MouseCode = -1;
  Tim.Enabled = false;
}

void Glimpra1::L1_MouseUp(int16_t Button, int16_t Shift, float /*X*/, float /*Y*/) {
  ViewerState& s = State;
  auto zoom = [&] { return rt::CDbl(PixGet(L1, Pixo::ZoomPercent)); };
  // A zoom step is taken only while the zoom is inside its bound, so one
  // step may pass it (900 % becomes 1125 %).
  if (Button == kLeft && Shift == kNoShift && s.MouseCode == 1) {
    PixPut(L1, Pixo::ScaleMode, int16_t{kScalePercent});
    if (zoom() < 1000) PixPut(L1, Pixo::ZoomPercent, zoom() * 1.25);
  } else if (Button == kRight && Shift == kNoShift && s.MouseCode == 2) {
    PixPut(L1, Pixo::ScaleMode, int16_t{kScalePercent});
    if (zoom() > 10) PixPut(L1, Pixo::ZoomPercent, zoom() / 1.25);
  } else if (Button == kRight && Shift == kCtrl) {
    PixPut(L1, Pixo::ScaleMode, int16_t{kScaleFit});
  } else if (Button == kLeft && Shift == kCtrl) {
    double left = rt::CDbl(PixGet(L1, Pixo::RubberBandLeft));
    double top = rt::CDbl(PixGet(L1, Pixo::RubberBandTop));
    double width = rt::CDbl(PixGet(L1, Pixo::RubberBandWidth));
    double height = rt::CDbl(PixGet(L1, Pixo::RubberBandHeight));
    if (height > 0 && width > 0 && rt::CDbl(PixGet(L1, Pixo::RubberBandState)) >= 1)
      PixCall(L1, Pixo::ZoomToRect, {left, top, width, height});
  } else if (Button == kLeft && Shift == kShift) {
    PixCall(L1, Pixo::RotateImage, {int32_t{-9000}, kRotateFlags, kWhite});
  } else if (Button == kRight && Shift == kShift) {
    PixCall(L1, Pixo::RotateImage, {int32_t{9000}, kRotateFlags, kWhite});
  }
  s.MouseCode = 0;
  Tim.Enabled = false;
}

void Glimpra1::Form_Resize() {
  ViewerState& s = State;
  if (WindowState != forms::kNormal) return;
  // Errors here are passed over statement by statement: a resize must never
  // stop the window.
  PassOver([&] {
    if (Width < s.MinWidthPx * s.TwipsPerPixelX) Width = static_cast<float>(s.MinWidthPx * s.TwipsPerPixelX);
  });
  PassOver([&] {
    if (Height < s.MinHeightPx * s.TwipsPerPixelY) Height = static_cast<float>(s.MinHeightPx * s.TwipsPerPixelY);
  });
  PassOver([&] { L1.Width = Width - 8.0f * s.TwipsPerPixelX; });
  PassOver([&] { L1.Height = Height - 32.0f * s.TwipsPerPixelY; });
  PassOver([&] { PixCall(L1, Pixo::Repaint); });
  PassOver([&] { UpdateCaption(); });
}

}  // namespace viewer

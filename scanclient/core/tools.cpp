// Tools: lays out the button row (and the slider row) for one document type.

#include <string>
#include <string_view>

#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/runtime/strings.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

// No error tail of its own: a run-time error goes to the caller's.
void Quillet1::Tools(int16_t row) {
  if (App.DebugLevel > 7) LogLine("BEG-Tools," + rt::CStr(static_cast<double>(row)));
  if (row < 0 || row > 9) rt::Raise(rt::kSubscriptOutOfRange);
  // A code counts when its four letters stand anywhere in the list.
  const std::string list = App.DocTypeTable[row][Doc::Tools];
  auto present = [&list](std::string_view code) { return rt::InStr(list, code) > 0; };
  const double tx = App.TwipsPerPixelX;
  const double ty = App.TwipsPerPixelY;

  // The running position is a whole number of twips.
  double x = DoCheck.Left;
  auto advance = [&x](double by) { x = rt::CLng(x + by); };
  auto place = [&](forms::VisibleControl& c, std::string_view code) {
    if (present(code)) {
      c.Left = static_cast<float>(x);
      c.Visible = true;
      advance(c.Width + 3 * tx);
    } else {
      c.Visible = false;
    }
  };
  place(DoCheck, "CHEK");
  place(DoSelect, "SCAN");
  place(DoInfo, "INFO");
  place(DoSetup, "SETU");
  place(ZoomFact, "ZFAC");
  advance(3 * tx);
  constexpr std::string_view kZoomCodes[] = {"ZWID", "ZHEI", "ZOPT"};
  for (int16_t i = 0; i < 3; ++i) place(Zoom(i), kZoomCodes[i]);
  advance(3 * tx);
  constexpr std::string_view kToolCodes[] = {"MOVE", "ZWIN", "ZOOM", "CROP", "AUTO",
                                             "UNDO", "ROTL", "ROTR", "FLIP", "MIRR"};
  for (int16_t i = 0; i < 10; ++i) {
    place(Tool(i), kToolCodes[i]);
    if (i == 3 || i == 5 || i == 9) advance(3 * tx);
  }

  Logo.Top = static_cast<float>(3 * ty);
  Logo.Left = static_cast<float>(x);
  advance(Logo.Width + 6 * tx);
  if (!DoHelp.Tag.Get().empty()) {
    DoHelp.Left = static_cast<float>(x);
    advance(DoHelp.Width + 6 * tx);
  }

  x = rt::CLng(ZoomFact.Left + ZoomFact.Width + 6 * tx);
  int shown = 0;
  constexpr std::string_view kSliderCodes[] = {"BRIG", "CONT", "GAMA"};
  forms::OleControl* sliders[] = {&SlideB, &SlideC, &SlideG};
  for (int16_t i = 0; i < 3; ++i) {
    forms::Label& caption = Slide(i);
    forms::OleControl& slider = *sliders[i];
    if (present(kSliderCodes[i])) {
      caption.Left = static_cast<float>(x);
      slider.Left = static_cast<float>(x + caption.Width + 3 * tx);
      advance(caption.Width + slider.Width + 6 * tx);
      slider.Visible = true;
      caption.Visible = true;
      shown = 1;
    } else {
      slider.Visible = false;
      caption.Visible = false;
    }
  }

  const bool setup = rt::CDbl(rt::Variant(DoSetup.Tag.Get())) == 1;
  const double sliderRow = shown * (SlideB.Height + 5 * ty);
  if (setup) {
    Shape(0).Height = static_cast<float>(DoCheck.Height + Twain(0).Height + 15 * ty + sliderRow);
  } else {
    Shape(0).Height = static_cast<float>(DoCheck.Height + 10 * ty + sliderRow);
  }
  for (int16_t i = 0; i < Twain.Count(); ++i) {
    Twain(i).Visible = setup;
    Label(i).Visible = setup;
  }
  Form_Resize();
}

}  // namespace quillet

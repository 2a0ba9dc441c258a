// EnDisGUI (enabling around long operations, with the sheet order rule) and
// ShowInf (the view's geometry in the status line).

#include <cstdlib>
#include <string>

#include "platform/forms/app.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

void Quillet1::EnDisGUI(int16_t mode) {
  ProcScope p("EnDisGUI", Tail::ExitNow, rt::CStr(static_cast<double>(mode)));
  p.Run([&] {
    const bool enable = mode > 0;
    if (std::abs(mode) == 1) {
      DoAqu.Enabled = enable;
      DoSelect.Enabled = enable;
      DoInfo.Enabled = enable;
      DoOK.Enabled = enable;
      ZoomFact.Enabled = enable;
      // A combo box whose caption is hidden is left as it is.
      for (int16_t i = 0; i < Twain.Count(); ++i) {
        if (Label(i).Visible) Twain(i).Enabled = enable;
      }
      for (int16_t i = 0; i < Zoom.Count(); ++i) Zoom(i).Enabled = enable;
      for (int16_t i = 0; i < Tool.Count(); ++i) Tool(i).Enabled = enable;
      const int16_t pages = Page.Count();
      const int16_t thumbs = Thumb.Count();
      for (int16_t i = 0; i < pages; ++i) {
        if (!enable) {
          Page(i).Enabled = false;
          Thumb(i).Put(forms::kExtEnabled, false);
          continue;
        }
        // Enabling never disables: with ForceSequence on, sheet 0, every
        // green sheet and the sheet after a green one become reachable.
        if (Page(i).BackColor == SheetOkColor || App.ForceSequence == 0) {
          Page(i).Enabled = true;
          Thumb(i).Put(forms::kExtEnabled, true);
          if (i + 1 < pages) Page(i + 1).Enabled = true;
          if (i + 1 < thumbs) Thumb(i + 1).Put(forms::kExtEnabled, true);
        }
        if (i == 0) {
          Page(0).Enabled = true;
          Thumb(0).Put(forms::kExtEnabled, true);
        }
      }
    }
    forms::DoEvents();
  });
}

namespace {

// The runtime's mask "+0000;-0000": a sign always, at least four digits.
std::string SignedFour(float v) {
  return v < 0 ? rt::Format(-static_cast<double>(v), "-0000") : rt::Format(static_cast<double>(v), "+0000");
}

}  // namespace

void Quillet1::ShowInf(int16_t flag) {
  ProcScope p("ShowInf", Tail::ExitNow, rt::CStr(static_cast<double>(flag)));
  p.Run([&] {
    if (flag != 1) return;
    auto value = [this](Pixo m) { return static_cast<float>(rt::CDbl(PixGet(L1, m))); };
    auto group = [&](const char* label, Pixo a, Pixo b, Pixo c, Pixo d) {
      return std::string(" ") + label + ":" + SignedFour(value(a)) + "/" + SignedFour(value(b)) + "  " +
             SignedFour(value(c)) + "/" + SignedFour(value(d));
    };
    std::string line = " Img:" + rt::Format(static_cast<double>(value(Pixo::ImageWidth)), "0000") + "/" +
                       rt::Format(static_cast<double>(value(Pixo::ImageHeight)), "0000") + "  " +
                       SignedFour(value(Pixo::ImageValue60)) + "/" + SignedFour(value(Pixo::ImageValue61));
    line += group("Src", Pixo::SrcLeft, Pixo::SrcTop, Pixo::SrcWidth, Pixo::SrcHeight);
    line += group("Scl", Pixo::SclLeft, Pixo::SclTop, Pixo::SclWidth, Pixo::SclHeight);
    line += group("Dst", Pixo::DstLeft, Pixo::DstTop, Pixo::DstWidth, Pixo::DstHeight);
    line += group("Dcl", Pixo::DclLeft, Pixo::DclTop, Pixo::DclWidth, Pixo::DclHeight);
    if (App.DebugLevel > 3) {
      Status.Text = line;
      Status.Refresh();
    }
  });
}

}  // namespace quillet

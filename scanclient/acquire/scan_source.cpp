// The scanner source: the source dialog, the settings report, and the
// scan-option boxes that take no typed text.

#include <string>

#include "platform/forms/app.h"
#include "platform/runtime/convert.h"
#include "scanclient/acquire/scan_options.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

void Quillet1::DoSelect_Click() {
  ProcScope p("Select", Tail::Direct);
  p.Run([&] {
    if (!App.ScanAvailable) return;
    p.step = 1;
    PixPut(L1, Pixo::ViewEnabled, false);
    // A cancelled or failed dialog is not reported; the result stays in rc.
    App.rc = rt::CInt(PixCall(L1, Pixo::TwainSelectSource, {rt::Variant(hWnd())}));
    PixPut(L1, Pixo::ViewEnabled, true);
  });
}

void Quillet1::DoInfo_Click() {
  ProcScope p("DoInfo", Tail::Direct);
  p.Run([&] {
    if (!App.ScanAvailable) return;
    p.step = 1;
    PixCall(L1, Pixo::TwainPrepare, {rt::Variant(hWnd())});
    p.step = 2;
    auto text = [this](Pixo m) { return rt::CStr(PixGet(L1, m)); };
    auto integer = [this](Pixo m) { return rt::CInt(PixGet(L1, m)); };
    auto longer = [this](Pixo m) { return rt::CLng(PixGet(L1, m)); };
    TwainSettings s;
    s.name = text(Pixo::TwainSourceName);
    s.flags = integer(Pixo::TwainOptionFlags);
    s.author = text(Pixo::TwainAppAuthor);
    s.family = text(Pixo::TwainAppFamily);
    s.appName = text(Pixo::TwainAppName);
    s.top = longer(Pixo::TwainFrameTop);
    s.left = longer(Pixo::TwainFrameLeft);
    s.height = longer(Pixo::TwainFrameHeight);
    s.width = longer(Pixo::TwainFrameWidth);
    s.pixelType = integer(Pixo::TwainPixelType);
    s.bits = integer(Pixo::TwainBits);
    s.resolution = integer(Pixo::TwainResolution);
    s.maxPages = longer(Pixo::TwainMaxPages);
    s.contrast = integer(Pixo::TwainContrast);
    s.brightness = integer(Pixo::TwainBrightness);
    s.feeder = integer(Pixo::TwainFeederEnabled);
    s.autoFeed = integer(Pixo::TwainAutoFeed);
    p.step = 3;
    forms::MsgBox(TwainReport(s), uiscript::kOkOnly);
  });
}

// No error tail of its own: a run-time error goes to the caller's.
void Quillet1::Twain_Change(int16_t Index) {
  if (gResolutionFallback) return;
  Twain(Index).Text = Twain(Index).List(0);
}

}  // namespace quillet

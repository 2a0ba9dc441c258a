// Scanning a sheet: the scan options of the six boxes become the scanner
// settings of L1, one image is acquired and becomes the shown sheet's scan.

#include <string>

#include "platform/forms/app.h"
#include "platform/forms/screen.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"
#include "scanclient/acquire/scan_options.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

namespace {

void PutPaletteEntry(forms::OleControl& c, int16_t index, int32_t colour) {
  c.Put(static_cast<int32_t>(Pixo::PaletteEntry), {rt::Variant(index)}, rt::Variant(colour));
}

}  // namespace

void Quillet1::DoAqu_Click() {
  ProcScope p("DoAqu", Tail::ExitNow);
  p.Run([&] {
    if (!App.ScanAvailable) return;
    p.step = 2;
    forms::Screen().MousePointer = 11;
    EnDisGUI(-1);
    const rt::Variant window(hWnd());
    p.step = 3;
    PixPut(L1, Pixo::TwainOptionFlags, App.TwainFlags);

    p.step = 4;
    App.ScratchS = rt::UCase(rt::Trim(Twain(0).Text.Get()));
    for (const auto& [pixelType, bits] : ColourModePuts(App.ScratchS)) {
      PixPut(L1, Pixo::TwainPixelType, pixelType);
      PixPut(L1, Pixo::TwainBits, bits);
    }

    p.step = 5;
    if (!rt::IsNumeric(Twain(1).Text.Get())) {
      gResolutionFallback = true;
      Twain(1).Text = rt::Str(150);
      gResolutionFallback = false;
    }
    PixPut(L1, Pixo::TwainResolution, rt::Val(Twain(1).Text.Get()));

    p.step = 6;
    PixPut(L1, Pixo::TwainFrameTop, int32_t{-1});
    PixPut(L1, Pixo::TwainFrameLeft, int32_t{-1});
    PixPut(L1, Pixo::TwainFrameWidth, int32_t{-1});
    PixPut(L1, Pixo::TwainFrameHeight, int32_t{-1});
    const Pixo frame[2] = {Pixo::TwainFrameWidth, Pixo::TwainFrameHeight};
    for (int16_t i = 0; i < 2; ++i) {
      App.ScratchS = rt::UCase(rt::Trim(Twain(static_cast<int16_t>(2 + i)).Text.Get()));
      if (!rt::IsNumeric(App.ScratchS)) App.ScratchS = "-1";
      // Centimetres; 2.54 itself is not enough.
      if (rt::Val(App.ScratchS) > 2.54) PixPut(L1, frame[i], rt::Val(App.ScratchS) * 567);
    }

    p.step = 7;
    const Pixo level[2] = {Pixo::TwainBrightness, Pixo::TwainContrast};
    for (int16_t i = 0; i < 2; ++i) {
      App.ScratchS = rt::UCase(rt::Trim(Twain(static_cast<int16_t>(4 + i)).Text.Get()));
      if (!rt::IsNumeric(App.ScratchS)) App.ScratchS = "0";
      if (rt::Val(App.ScratchS) < -9 || rt::Val(App.ScratchS) > 9) App.ScratchS = "0";
      // 2000 leaves the source's own setting.
      if (rt::Val(App.ScratchS) == 0) {
        PixPut(L1, level[i], int32_t{2000});
      } else {
        PixPut(L1, level[i], rt::Val(App.ScratchS) * 100);
      }
    }

    p.step = 8;
    PixPut(L1, Pixo::TwainMaxPages, int32_t{-1});
    PixPut(L1, Pixo::TwainAppAuthor, "");
    PixPut(L1, Pixo::TwainAppFamily, "");
    PixPut(L1, Pixo::TwainAppName, "Quillet");
    PixPut(L1, Pixo::TwainFeederEnabled, int32_t{2});
    PixPut(L1, Pixo::TwainAutoFeed, int32_t{2});

    p.step = 9;
    PixCall(L1, Pixo::TwainPrepare, {window});
    PixPut(L1, Pixo::AutoRepaint, false);
    PixPut(L1, Pixo::ViewFlag57, true);
    PixPut(L1, Pixo::ScaleMode, int32_t{0});

    p.step = 10;
    Status.Text = "Scanning from " + rt::CStr(PixGet(L1, Pixo::TwainSourceName));
    Status.Refresh();

    p.step = 11;
    PixPut(L1, Pixo::ViewEnabled, false);
    App.rc = rt::CInt(PixCall(L1, Pixo::TwainAcquire, {window}));
    // The view takes the mouse again whatever the scan gave.
    PixPut(L1, Pixo::ViewEnabled, true);

    if (App.rc != 0) {
      p.step = 12;
      forms::MsgBox("TWAIN Error:" + rt::CStr(static_cast<double>(App.rc)), uiscript::kOkOnly);
      // A sheet button has already named its sheet in the view's Tag: the
      // view shows that sheet as it is, so that the next edit works on it
      // and not on the sheet shown before.
      if (rt::CDbl(rt::Variant(L1.Tag.Get())) >= 0) ThumbClk(rt::CInt(rt::Variant(L1.Tag.Get())));
    } else {
      p.step = 13;
      const std::string mode = Twain(0).Text.Get();
      if (rt::UCase(rt::Left(mode, 1)) == "G" && rt::InStr(mode, "2") > 0) {
        PutPaletteEntry(L1, 0, 0);
        PutPaletteEntry(L1, 1, 0xFFFFFF);
        PixCall(L1, Pixo::ChangeColorDepth, {int16_t{1}, int16_t{16}, int16_t{0}, int16_t{2}});
      }
      if (rt::CDbl(rt::Variant(L1.Tag.Get())) >= 0) {
        const int16_t k = rt::CInt(rt::Variant(L1.Tag.Get()));
        PixPut(Thsav(k), Pixo::BitmapHandle, PixGet(L1, Pixo::BitmapHandle));
        Thsav(k).Tag = "";
        PixPut(Thbas(k), Pixo::BitmapHandle, PixGet(L1, Pixo::BitmapHandle));
        Thsav(k).Left = 1;
      }
      ZoomFact.Tag = "0";
      L1Thumb(1);
      const int16_t k = rt::CInt(rt::Variant(L1.Tag.Get()));
      Tools(rt::CInt(rt::Variant(Page(k).Tag.Get())));
      if (Tool(3).Visible) Tool_Click(3);
      App.ScratchN = rt::CLng(CheckPage(1));
      // Too large or off the type's proportions: the crop tool lays a crop
      // rectangle at once.
      if ((App.ScratchN == 9 || App.ScratchN == 10) && App.ToolMode == 4) {
        MouseDown(1, 0, 0, 0);
        MouseUp(1, 0, 0, 0);
      }
    }

    p.step = 14;
    if (App.TwainClose) PixCall(L1, Pixo::TwainEndSession, {window});
    p.step = 15;
    forms::Screen().MousePointer = 0;
    EnDisGUI(1);
    if (App.DebugLevel > 7) LogLine("END-DoAqu");
  });
}

}  // namespace quillet

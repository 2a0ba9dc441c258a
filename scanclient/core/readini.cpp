// ReadIni: reads the INI file, fills the settings and tables, and shapes the
// main window from them, with one set of sheet controls per sheet.

#include <array>
#include <optional>
#include <string>

#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/strings.h"
#include "platform/win32/environment.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/ini_values.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/tables.h"

namespace quillet {

using imaging::Pixo;

namespace {

std::string Plain(double n) { return rt::CStr(n); }

}  // namespace

void Quillet1::ReadIni(const std::string& ProfileName) {
  ProcScope p("ReadIni", Tail::ExitNow, ProfileName);
  p.Run([&] {
    p.step = 1;
    const float tx = static_cast<float>(App.TwipsPerPixelX);
    const float ty = static_cast<float>(App.TwipsPerPixelY);
    const std::string profile = rt::UCase(ProfileName);

    if (std::string title = GetIni("General", "Title"); !title.empty()) {
      Caption = App.ProductName + " " + App.ProductVersion + ":" + title;
    }
    ReadCheckSettings();

    // Each part of WinSize and WinPos is tested and applied by itself.
    PixelPair size = SplitPixelPair(GetIni("General", "WinSize"));
    if (size.first && *size.first >= App.MinWidthPx && *size.first < App.ScreenWidthPx) {
      Width = static_cast<float>(*size.first * tx);
    }
    if (size.second && *size.second >= App.MinHeightPx && *size.second < App.ScreenHeightPx) {
      Height = static_cast<float>(*size.second * ty);
    }
    PixelPair pos = SplitPixelPair(GetIni("General", "WinPos"));
    if (pos.first) {
      double x = *pos.first;
      if (x >= 0 && x < App.ScreenWidthPx) {
        Left = static_cast<float>(x * tx);
      } else if (x < 0 && x > -App.ScreenWidthPx) {
        Left = static_cast<float>((App.ScreenWidthPx + x) * tx - Width);
      }
    }
    if (pos.second) {
      double y = *pos.second;
      if (y >= 0 && y < App.ScreenHeightPx) {
        Top = static_cast<float>(y * ty);
      } else if (y < 0 && y > -App.ScreenHeightPx) {
        Top = static_cast<float>((App.ScreenHeightPx + y) * ty - Height);
      }
    }

    ReadLayoutSettings();
    std::array<std::optional<int32_t>, 3> colors = ReadShapeColors();
    for (int16_t i = 0; i < 3; ++i) {
      if (colors[i]) Shape(i).FillColor = *colors[i];
    }
    if (colors[2]) PixPut(L1, Pixo::BackColor, static_cast<double>(*colors[2]));

    // Fonts and sizes.
    const float F = App.FontSize;
    const int16_t CH = App.ControlHeight;
    const int16_t B = App.Buttons;
    FontName = App.FontName;
    FontSize = F;
    for (forms::CommandButton* b : {&DoCheck, &DoSelect, &DoInfo, &DoSetup}) {
      b->FontName = App.FontName;
      b->FontSize = F - 2;
      b->Width = (CH + B) * tx;
      b->Height = (CH + B) * ty;
    }
    for (forms::CommandButton* b : {&DoOK, &DoHelp}) {
      b->FontName = App.FontName;
      b->FontSize = F + 2;
      if (CH > 8) b->Height = CH * ty;
    }
    DoAqu.FontName = App.FontName;
    DoAqu.FontSize = F;
    Status.FontName = App.FontName;
    Status.FontSize = F - 2;
    ZoomFact.FontName = App.FontName;
    ZoomFact.FontSize = F;
    for (int16_t i = 0; i < Slide.Count(); ++i) {
      Slide(i).FontName = App.FontName;
      Slide(i).FontSize = F;
    }
    if (CH > 8) {
      for (auto* array : {&Zoom, &Tool}) {
        for (int16_t i = 0; i < array->Count(); ++i) {
          forms::CommandButton& b = (*array)(i);
          b.FontName = App.FontName;
          b.FontSize = F - 2;
          b.Width = (CH + B) * tx;
          b.Height = (CH + B) * ty;
        }
      }
    }

    // The slider row sits under the first button row.
    const float D = DoSetup.Top + DoSetup.Height + 5 * ty;
    SlideB.Top = D;
    SlideC.Top = SlideB.Top;
    SlideG.Top = SlideB.Top;
    Slide(0).Top = D;
    Slide(1).Top = Slide(0).Top;
    Slide(2).Top = Slide(0).Top;

    const double frame = rt::Val(Shape(0).Tag.Get()) + B * ty;
    Shape(0).Tag = Plain(frame);
    Shape(0).Height = static_cast<float>(frame);

    DoCheck.Left = L1.Left + 3 * tx;
    DoSelect.Left = DoCheck.Left + DoCheck.Width + 3 * tx;
    DoInfo.Left = DoSelect.Left + DoSelect.Width + 3 * tx;
    DoSetup.Left = DoInfo.Left + DoInfo.Width + 3 * tx;
    ZoomFact.Left = DoSetup.Left + DoSetup.Width + 6 * tx;
    Zoom(0).Left = ZoomFact.Left + ZoomFact.Width + 6 * tx;
    for (int16_t i = 1; i < Zoom.Count(); ++i) Zoom(i).Left = Zoom(i - 1).Left + Zoom(i - 1).Width + 3 * tx;

    PixPut(L1, Pixo::AutoRepaint, false);
    PixPut(L1, Pixo::ViewFlag5, true);
    PixPut(L1, Pixo::ViewFlag57, true);
    PixPut(L1, Pixo::ViewOption56, int16_t{3});
    PixPut(L1, Pixo::ScaleMode, int32_t{3});
    ZoomFact.Tag = "0";

    std::string start = ReplacePlaceholders(GetIni("General", "StartImage"));
    if (FileFound(start)) {
      App.rc = rt::CLng(PixCall(L1, Pixo::LoadImageFile,
                                {win32::HostPath(start), int16_t{0}, int32_t{1}, int32_t{1}}));
    }
    L1_Zoom(0);
    PixPut(L1, Pixo::AutoRepaint, true);
    PixCall(L1, Pixo::Repaint);
    p.step = 2;

    // Texts, measured in the form's font.
    FontSize = F;
    ReadTextTables();
    for (int i = 1; i <= 12; ++i) {
      const std::string& text = App.LabelTexts[i];
      if (text.empty()) continue;
      if (i <= 6) {
        forms::Label& label = Label(static_cast<int16_t>(i - 1));
        label.Enabled = true;
        label.Visible = true;
        label.Caption = text;
        label.FontName = App.FontName;
        label.FontSize = F;
        label.Width = TextWidth(text + " ");
        Twain(static_cast<int16_t>(i - 1)).Enabled = true;
        Twain(static_cast<int16_t>(i - 1)).Visible = true;
      } else if (i == 7) {
        DoOK.Caption = text;
        DoOK.Width = 1.5f * TextWidth(text + "  ");
        DoOK.Tag = "-1";  // no sheet has been checked yet
      } else if (i == 8) {
        DoHelp.Caption = text;
        DoHelp.Width = 1.5f * TextWidth(text + "  ");
        DoHelp.Visible = true;
        DoHelp.Enabled = true;
        DoHelp.Tag = DoHelp.Caption.Get();
      } else if (i == 9) {
        DoAqu.Caption = text;
      } else {
        forms::Label& slide = Slide(static_cast<int16_t>(i - 10));
        slide.Enabled = true;
        slide.Visible = true;
        slide.Caption = text;
      }
    }
    for (int i = 1; i <= 30; ++i) {
      const std::string& tip = App.TooltipTexts[i];
      if (tip.empty()) continue;
      if (i == 1) DoOK.ToolTipText = tip;
      else if (i == 2) DoSelect.ToolTipText = tip;
      else if (i == 3) DoInfo.ToolTipText = tip;
      else if (i == 4) ZoomFact.ToolTipText = tip;
      else if (i <= 7) Zoom(static_cast<int16_t>(i - 5)).ToolTipText = tip;
      else if (i <= 17) Tool(static_cast<int16_t>(i - 8)).ToolTipText = tip;
      else if (i == 18) DoCheck.ToolTipText = tip;
      else if (i == 19) DoHelp.ToolTipText = tip;
      else if (i == 20) DoAqu.ToolTipText = tip;
      else if (i <= 26) Twain(static_cast<int16_t>(i - 21)).ToolTipText = tip;
      else if (i == 27) SlideB.ToolTipText = tip;
      else if (i == 28) SlideC.ToolTipText = tip;
      else if (i == 29) SlideG.ToolTipText = tip;
      else DoSetup.ToolTipText = tip;
    }
    for (int i = 1; i <= 19; ++i) {
      ButtonText button = ParseButtonText(GetIni("Text", "Button_" + rt::Format(static_cast<double>(i), "00")));
      const float f = F - 2 + button.sizeOffset;
      FontSize = f;
      const float w = static_cast<float>(rt::CLng(TextWidth(button.caption) + 8 * tx));
      forms::CommandButton* target = nullptr;
      if (i == 1) target = &DoSelect;
      else if (i == 2) target = &DoInfo;
      else if (i == 3) target = &DoSetup;
      else if (i <= 6) target = &Zoom(static_cast<int16_t>(i - 4));
      else if (i <= 16) target = &Tool(static_cast<int16_t>(i - 7));
      else if (i == 18) target = &DoCheck;
      // Captions 17 and 19 are read and measured, but no button takes them.
      if (target == nullptr || button.caption.empty()) continue;
      target->Caption = button.caption;
      target->FontSize = f;
      if (target->Width < w) target->Width = w;
      // A larger caption font replaces the button's pictures; this
      // runtime's buttons carry captions only, so there is none to clear.
    }
    Tools(0);
    FontSize = F;

    p.step = 3;
    ReadDocTypes(profile);
    p.step = 4;
    ReadFinishTable(profile);

    p.step = 5;
    App.MaxSheet = -1;
    for (int16_t r = 1; r <= App.DocTypeCount; ++r) {
      const DocTypeRow& row = App.DocTypeTable[r];
      const int16_t pages = SheetCount(r);
      for (int16_t j = 1; j <= pages; ++j) {
        App.MaxSheet = static_cast<int16_t>(App.MaxSheet + 1);
        const int16_t k = App.MaxSheet;
        if (k > 0) {
          Thumb.Load(k);
          Page.Load(k);
          Thsav.Load(k);
          Thbas.Load(k);
        }
        const float slot = Page(0).Height + Thumb(0).Height + 8 * ty;
        const bool enabled = !(App.ForceSequence != 0 && k > 0);

        forms::CommandButton& page = Page(k);
        page.Caption = SheetCaption(r, j);
        page.Top = Page(0).Top + k * slot;
        page.Left = Page(0).Left;
        page.ToolTipText = row[Doc::Describtion] + rt::Str(j);
        page.BackColor = NotAllOkColor;
        page.Tag = rt::Str(r);
        page.FontName = App.FontName;
        page.FontSize = static_cast<float>(rt::CDbl(rt::Variant(row[Doc::Fontsize])));
        page.Visible = true;
        page.Refresh();
        page.Enabled = enabled;

        // The pre-load's failures leave the sheet without an image and do
        // not stop the start.
        if (std::string path = PreloadPath(profile, r, j); !path.empty()) {
          p.step = -1;
          p.Try([&] {
            Status.Text = "Loading " + rt::Str(r) + ":" + path;
            Status.Refresh();
          });
          p.Try([&] {
            App.rc = rt::CLng(PixCall(Thumb(k), Pixo::LoadImageFile,
                                      {win32::HostPath(path), int16_t{0}, int32_t{1}, int32_t{1}}));
          });
          p.Try([&] { PixPut(Thsav(k), Pixo::BitmapHandle, PixGet(Thumb(k), Pixo::BitmapHandle)); });
          p.Try([&] { Thsav(k).Tag = ""; });
          p.Try([&] { PixPut(Thbas(k), Pixo::BitmapHandle, PixGet(Thumb(k), Pixo::BitmapHandle)); });
          p.Try([&] {
            Status.Text = "";
            Status.Refresh();
          });
          p.step = 1;
          // Forget the swallowed failure, so that a later run-time error of
          // ReadIni is reported as itself, not as this one.
          p.code = 0;
          p.text.clear();
        }

        forms::OleControl& thumb = Thumb(k);
        thumb.Top = Thumb(0).Top + k * slot;
        thumb.Left = Thumb(0).Left;
        thumb.Tag = rt::Str(r);
        PixPut(thumb, Pixo::ViewFlag57, true);
        PixPut(thumb, Pixo::ScaleMode, int32_t{3});
        thumb.ToolTipText = rt::Str(rt::CDbl(PixGet(thumb, Pixo::ImageWidth))) + " x" +
                            rt::Str(rt::CDbl(PixGet(thumb, Pixo::ImageHeight)));
        thumb.Visible = true;
        PixCall(thumb, Pixo::Repaint);
        thumb.Put(forms::kExtEnabled, enabled);

        Thsav(k).Left = 0;
        Shape(1).Height = (k + 1) * (Page(0).Height + Thumb(0).Height + 12 * ty);
        Shape(1).Width = L1.Left - Shape(1).Left;
      }
    }
    p.step = 8;

    // Without a document type there is no sheet for DoOK to stand under.
    if (App.MaxSheet < 0) p.ErrorExit(-7, "No document type found for profile " + ProfileName + "!");
    DoOK.BackColor = NotAllOkColor;
    DoOK.Width = Page(App.MaxSheet).Width;
    DoOK.Top = Thumb(App.MaxSheet).Top + Thumb(App.MaxSheet).Height + 4 * ty;
    DoOK.Left = Page(App.MaxSheet).Left;

    if (std::string text = GetIni("Text", "Start"); !text.empty()) {
      Status.Text = text;
      Status.Refresh();
    }
  });
}

}  // namespace quillet

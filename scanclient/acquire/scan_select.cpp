// Sheet selection: a sheet button makes its sheet current, refills the six
// scan-option boxes from the sheet's document type and scans it; and the
// events of the scan controls.

#include <span>
#include <string>

#include "platform/forms/screen.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "scanclient/acquire/scan_options.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

namespace {

std::string Num(double v) { return rt::CStr(v); }

// The document-type field behind each scan-option box, and the single item
// used when the field gives none.
struct OptionSource {
  Doc::Field field;
  const char* fallback;
};
constexpr OptionSource kOptionSources[6] = {{Doc::Colors, "COL24"},    {Doc::Resolutions, "300"},
                                            {Doc::Width, "20.9"},      {Doc::Height, "29.7"},
                                            {Doc::Brightness, "0"},    {Doc::Contrast, "0"}};

}  // namespace

void Quillet1::Page_MouseUp(int16_t Index, int16_t Button, int16_t Shift, float X, float Y) {
  ProcScope p("Page", Tail::ExitNow, Num(Index) + "/" + Num(Button) + "/" + Num(Shift) + "/" + Num(X) + "/" + Num(Y));
  p.Run([&] {
    p.step = 2;
    if (App.ScanAvailable) {
      p.step = 3;
      forms::Screen().MousePointer = 11;
      EnDisGUI(-1);
      p.step = 4;
      const int16_t row = rt::CInt(rt::Val(Page(Index).Tag.Get()));
      if (row < 0 || row > 9) rt::Raise(rt::kSubscriptOutOfRange);
      const DocTypeRow& type = App.DocTypeTable[row];
      p.step = 5;
      if (App.DebugLevel > 8) {
        std::string fields;
        for (int f = Doc::SectionName; f <= Doc::Type; ++f) fields += type[f] + ",";
        Status.Text = fields;
      }
      p.step = 6;
      DoAqu.Caption = App.LabelTexts[9] + "\r" + Page(Index).Caption.Get();
      DoAqu.FontSize = Page(Index).FontSize.Get();
      DoAqu.BackColor = Page(Index).BackColor.Get();
      DoAqu.Refresh();
      p.step = 7;
      L1.Tag = rt::CStr(static_cast<double>(Index));
      p.step = 8;
      for (int16_t i = 0; i <= 5; ++i) FillScanOption(Twain(i), type[kOptionSources[i].field], kOptionSources[i].fallback);
      p.step = 11;
      if (Shift != 3) DoAqu_Click();
    }
    p.step = 12;
    Tools(rt::CInt(rt::Variant(Page(Index).Tag.Get())));
    p.step = 13;
    EnDisGUI(1);
    forms::Screen().MousePointer = 0;
    if (App.DebugLevel > 7) LogLine("END-Page");
  });
}

void Quillet1::HookScanEvents() {
  Page.MouseUp = [this](int16_t i, int16_t button, int16_t shift, float x, float y) {
    Page_MouseUp(i, button, shift, x, y);
  };
  Page.OLEDragOver = [this](int16_t i, forms::DataObject& data, int32_t& effect, int16_t button, int16_t shift,
                            float x, float y, int16_t state) {
    Page_OLEDragOver(i, data, effect, button, shift, x, y, state);
  };
  Page.OLEDragDrop = [this](int16_t i, forms::DataObject& data, int32_t& effect, int16_t button, int16_t shift,
                            float x, float y) { Page_OLEDragDrop(i, data, effect, button, shift, x, y); };
  DoAqu.Click = [this] { DoAqu_Click(); };
  DoSelect.Click = [this] { DoSelect_Click(); };
  DoInfo.Click = [this] { DoInfo_Click(); };
  Twain.Change = [this](int16_t i) { Twain_Change(i); };
  // The thumbnails' other events belong to the view's handler, which this
  // one passes them on to.
  Thumb.Event = [this, view = std::move(Thumb.Event)](int16_t i, int32_t id, std::span<rt::Variant> args) {
    if (id == static_cast<int32_t>(imaging::PixoEvent::OLEDropFile) && !args.empty()) {
      Thumb_OLEDropFile(i, rt::CStr(args[0]));
      return;
    }
    if (view) view(i, id, args);
  };
}

}  // namespace quillet

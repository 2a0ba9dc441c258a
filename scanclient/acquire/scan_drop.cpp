// File drop import: an image file dropped on a sheet button or thumbnail
// becomes the sheet's image, as a scan of it would.
//
// None of these handlers has an error tail of its own: a run-time error goes
// to the forms runtime's default handling.

#include <string>

#include "platform/forms/app.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/error.h"
#include "platform/runtime/strings.h"
#include "scanclient/acquire/scan_options.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

namespace {

std::string Num(double v) { return rt::CStr(v); }

void PutPaletteEntry(forms::OleControl& c, int16_t index, int32_t colour) {
  c.Put(static_cast<int32_t>(Pixo::PaletteEntry), {rt::Variant(index)}, rt::Variant(colour));
}

const DocTypeRow& RowOf(const std::string& tag) {
  const int32_t row = rt::CLng(rt::Variant(tag));
  if (row < 0 || row > 9) rt::Raise(rt::kSubscriptOutOfRange);
  return App.DocTypeTable[row];
}

// "Error Load:" & path & "," & the control's result, logged and shown.
void ReportLoadError(const std::string& path, int32_t rc) {
  const std::string line = "Error Load:" + path + "," + Num(rc);
  LogLine(line);
  forms::MsgBox(line, uiscript::kOkOnly, "Fehler !");
}

// The two drop handlers' test: one file, and a type that takes it.
bool DropOk(const DocTypeRow& row, const forms::DataObject& data) {
  const std::string& list = row[Doc::OleDrop];
  return !list.empty() && data.Files.size() == 1 && DropAccepted(list, data.Files[0]);
}

}  // namespace

void Quillet1::Page_OLEDragOver(int16_t Index, forms::DataObject& Data, int32_t& Effect, int16_t Button,
                                int16_t Shift, float /*X*/, float /*Y*/, int16_t /*State*/) {
  if (App.DebugLevel > 7) LogLine("BEG-Page_OLEDragOver," + Num(Index) + "/" + Num(Button) + "/" + Num(Shift));
  if (!DropOk(RowOf(Page(Index).Tag.Get()), Data)) Effect = forms::kDropEffectNone;
}

void Quillet1::Page_OLEDragDrop(int16_t Index, forms::DataObject& Data, int32_t& Effect, int16_t Button,
                                int16_t Shift, float /*X*/, float /*Y*/) {
  if (App.DebugLevel > 7) LogLine("BEG-Page_OLEDragDrop," + Num(Index) + "/" + Num(Button) + "/" + Num(Shift));
  if (!DropOk(RowOf(Page(Index).Tag.Get()), Data)) {
    Effect = forms::kDropEffectNone;
    return;
  }
  OLEDragDrop(Index, Data.Files[0]);
}

void Quillet1::Thumb_OLEDropFile(int16_t Index, const std::string& path) {
  if (App.DebugLevel > 7) LogLine("BEG-Thumb_OLEDropFile," + Num(Index) + "/" + path);
  if (path.empty()) return;
  if (DropAccepted(RowOf(Page(Index).Tag.Get())[Doc::OleDrop], path)) OLEDragDrop(Index, path);
}

void Quillet1::OLEDragDrop(int16_t Index, const std::string& path) {
  if (App.DebugLevel > 7) LogLine("BEG-OLEDragDrop," + Num(Index) + "/" + path);
  const std::string size = RowOf(Page(Index).Tag.Get())[Doc::Size];
  // A file that cannot be read stops the import before anything changes.
  if (const int32_t rc = rt::CLng(PixCall(L1, Pixo::GetFileInfo, {path, int16_t{1}, int16_t{0}})); rc != 0) {
    ReportLoadError(path, rc);
    return;
  }
  const float minW = static_cast<float>(rt::Val(rt::Mid(size, 11, 4)));
  const float minH = static_cast<float>(rt::Val(rt::Mid(size, 16, 4)));
  const float width = static_cast<float>(rt::CDbl(PixGet(L1, Pixo::InfoWidth)));
  const float height = static_cast<float>(rt::CDbl(PixGet(L1, Pixo::InfoHeight)));
  if (width < minW || height < minH) {
    forms::MsgBox(App.Messages[8] + "\r\n" + rt::Format(width, "0000") + "x" + rt::Format(height, "0000") + " < " +
                      rt::Mid(size, 11, 9),
                  uiscript::kOkOnly, "Fehler !");
    return;
  }

  L1.Tag = Num(Index);
  ZoomFact.Tag = "0";
  Page_MouseUp(Index, 1, 3, 0, 0);
  if (const int32_t rc = rt::CLng(PixCall(L1, Pixo::LoadImageFile, {path, int16_t{24}, int16_t{1}, int16_t{1}}));
      rc != 0) {
    // Readable head, damaged body: the sheet keeps what it had, and the view
    // shows it, as its Tag now says.
    ReportLoadError(path, rc);
    ThumbClk(Index);
    return;
  }

  // The colour mode of the type's first scan option.
  const std::string mode = Twain(0).Text.Get();
  int16_t bits = 24;
  if (rt::InStr(mode, "24") > 0) bits = 24;
  else if (rt::InStr(mode, "8") > 0) bits = 8;
  else if (rt::InStr(mode, "4") > 0) bits = 4;
  else if (rt::InStr(mode, "1") > 0) bits = 1;
  const std::string letter = rt::UCase(rt::Left(mode, 1));
  if (letter == "C") {
    PixCall(L1, Pixo::ChangeColorDepth, {bits, int16_t{6}, int16_t{0}, int16_t{0}});
  } else if (letter == "G") {
    PixCall(L1, Pixo::ConvertToGray, {bits});
  } else if (letter == "P") {
    PixCall(L1, Pixo::ChangeColorDepth, {bits, int16_t{2}, int16_t{0}, int16_t{0}});
  } else if (letter == "B") {
    // Two colours held with 8 bits per pixel, unlike a scanned black and
    // white sheet.
    PutPaletteEntry(L1, 0, 0);
    PutPaletteEntry(L1, 1, 0xFFFFFF);
    PixCall(L1, Pixo::ChangeColorDepth, {int16_t{8}, int16_t{16}, int16_t{0}, int16_t{2}});
  }

  if (rt::CDbl(rt::Variant(L1.Tag.Get())) >= 0) {
    const int16_t k = rt::CInt(rt::Variant(L1.Tag.Get()));
    PixPut(Thsav(k), Pixo::BitmapHandle, PixGet(L1, Pixo::BitmapHandle));
    Thsav(k).Tag = "";
    PixPut(Thbas(k), Pixo::BitmapHandle, PixGet(L1, Pixo::BitmapHandle));
  }
  L1Thumb(1);
  if (Tool(3).Visible) Tool_Click(3);
  Thsav(Index).Left = 1;
  const int32_t r = rt::CLng(Thumb_Autocheck(Index, 1));
  if ((r == 9 || r == 10) && App.ToolMode == 4) {
    MouseDown(1, 0, 0, 0);
    MouseUp(1, 0, 0, 0);
  }
}

}  // namespace quillet

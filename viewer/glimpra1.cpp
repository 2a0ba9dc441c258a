#include "viewer/glimpra1.h"

#include <algorithm>

#include "guicommon/cmdline.h"
#include "platform/forms/app.h"
#include "platform/forms/screen.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/files.h"
#include "platform/runtime/step_times.h"
#include "platform/runtime/strings.h"
#include "platform/win32/environment.h"
#include "viewer/error_box.h"
#include "viewer/layout.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/imaging/pixo_control.h"

namespace viewer {
namespace {

// Pages are loaded in true colour; the page read ahead must be read alike
// to be the page the load takes.
constexpr int16_t kLoadBits = 24;

// The window as designed: its start size is also its minimum; the view
// fills it less the frame (8 x 32 pixels at 15 twips per pixel).
const forms::FormDesign kGlimpra1Design = {
    .Name = "Glimpra1",
    .Caption = "Glimpra",
    .Width = 4800,
    .Height = 3600,
    .BorderStyle = 2,
    .KeyPreview = true,
    .Controls =
        {
            {.Type = forms::ControlType::OleControl, .Name = "L1", .Width = 4680, .Height = 3120,
             .ProgId = imaging::kPixoProgId},
            {.Type = forms::ControlType::OleControl, .Name = "L0", .Width = 1500, .Height = 1500,
             .Visible = false, .ProgId = imaging::kPixoProgId},
            {.Type = forms::ControlType::Timer, .Name = "Tim", .Enabled = false, .Interval = 300},
        },
};

constexpr int32_t kBufferChars = 64;

// The query results are cut before their first NUL, as from a fixed buffer.
std::string CutAtNul(const std::string& s) { return s.substr(0, s.find('\0')); }

[[noreturn]] void Fatal(const ViewerState& s, int32_t code, const std::string& text) {
  forms::MsgBox("Error:" + rt::Str(code) + "=" + text + "\r\n" + s.CmdLine, uiscript::kOkOnly);
  forms::End();
}

}  // namespace

Glimpra1::Glimpra1() : Form(kGlimpra1Design) {
  Bind(L1, "L1");
  Bind(L0, "L0");
  Bind(Tim, "Tim");
  Load = [this] { Form_Load(); };
  KeyDown = [this](int16_t& keyCode, int16_t& shift) { Form_KeyDown(keyCode, shift); };
  Resize = [this] { Form_Resize(); };
  QueryUnload = [this](int16_t& cancel, int16_t mode) { Form_QueryUnload(cancel, mode); };
  L1.Event = [this](int32_t dispid, std::span<rt::Variant> args) { OnL1Event(dispid, args); };
  Tim.Tick = [this] { Tim_Timer(); };
}

void Glimpra1::OnL1Event(int32_t dispid, std::span<rt::Variant> args) {
  using imaging::PixoEvent;
  auto mouse = [&](void (Glimpra1::*handler)(int16_t, int16_t, float, float)) {
    if (args.size() < 4) rt::Raise(rt::kInvalidCall);
    (this->*handler)(rt::CInt(args[0]), rt::CInt(args[1]), static_cast<float>(rt::CDbl(args[2])),
                     static_cast<float>(rt::CDbl(args[3])));
  };
  switch (static_cast<PixoEvent>(dispid)) {
    case PixoEvent::MouseDown: mouse(&Glimpra1::L1_MouseDown); break;
    case PixoEvent::MouseMove: mouse(&Glimpra1::L1_MouseMove); break;
    case PixoEvent::MouseUp: mouse(&Glimpra1::L1_MouseUp); break;
    case PixoEvent::OLEDropFile:
      if (!args.empty()) L1_FileEvent(rt::CStr(args[0]));
      break;
    default: break;
  }
}

void Glimpra1::Form_Load() {
  ViewerState& s = State;
  ErrorBox e("Load", s.CmdLine);
  e.step = 1;
  // Each statement runs on after a run-time error report, like the rest of
  // the start-up; the fatal conditions end the program instead.
  e.Try([&] {
    s.ProductName = "Glimpra";
    s.ProductVersion = "1.4";
    Caption = s.ProductName + " " + s.ProductVersion;
  });

  e.Try([&] {
    std::string path;
    // A path too long for the buffer answers with the size it needs, which
    // is no success.
    const uint32_t length = win32::GetTempPath(kBufferChars - 1, &path);
    if (length == 0 || length >= kBufferChars - 1) Fatal(s, -2, "GetTempPath failed!");
    s.TempPath = CutAtNul(path);
  });
  e.Try([&] {
    std::string name;
    uint32_t size = kBufferChars;
    if (!win32::GetComputerName(&name, &size)) Fatal(s, -3, "GetComputerName failed!");
    s.ComputerName = rt::UCase(CutAtNul(name));
  });
  e.Try([&] {
    std::string name;
    uint32_t size = kBufferChars;
    if (!win32::GetUserName(&name, &size)) Fatal(s, -4, "GetUserName failed!");
    s.UserName = rt::UCase(CutAtNul(name));
  });
  e.step = 2;

  e.Try([&] { s.CmdLine = rt::Trim(win32::CommandLine()); });
  e.Try([&] {
    if (guicommon::ParseCmd(s.CmdLine) < 1) Fatal(s, -5, "Too few parameters");
  });

  e.Try([&] {
    s.DebugLevel = 0;
    bool development = rt::Left(s.ComputerName, 4) == "QX71";
    if (development) s.DebugLevel = 9;
    if (s.DebugLevel < 0 || (s.DebugLevel > 8 && !development)) s.DebugLevel = 1;
    std::string z = guicommon::GetParam("Z");
    if (rt::IsNumeric(z)) s.DebugLevel = rt::CInt(rt::Variant(z));
  });
  e.step = 3;

  e.Try([&] {
    forms::ScreenObject& screen = forms::Screen();
    s.TwipsPerPixelX = rt::CLng(screen.TwipsPerPixelX());
    s.TwipsPerPixelY = rt::CLng(screen.TwipsPerPixelY());
    s.ScreenHeightPx = rt::CLng(screen.Height() / s.TwipsPerPixelY);
    s.ScreenWidthPx = rt::CLng(screen.Width() / s.TwipsPerPixelX);
    s.MinHeightPx = rt::CLng(Height / s.TwipsPerPixelY);
    s.MinWidthPx = rt::CLng(Width / s.TwipsPerPixelX);
  });

  e.Try([&] { Tag = guicommon::GetParam("T"); });
  e.step = 4;
  e.Try([&] { Top = 0; });
  e.Try([&] { Left = 0; });
  e.Try([&] { BorderStyle = 2; });
  e.Try([&] { Show(); });

  e.step = -5;
  const std::pair<Pixo, rt::Variant> setUp[] = {
      {Pixo::ViewOption56, int16_t{3}},    {Pixo::ViewFlag57, true},
      {Pixo::ViewOption107, false},        {Pixo::ScaleMode, int16_t{kScaleActual}},
      {Pixo::ViewOption104, int16_t{0}},   {Pixo::RubberBandState, int16_t{1}},
      {Pixo::DrawOption165, int16_t{13}},  {Pixo::ViewOption168, int16_t{0}},
      {Pixo::ViewOption167, int16_t{1}},
  };
  for (const auto& [member, value] : setUp) e.Try([&] { PixPut(L1, member, value); });

  e.step = 6;
  e.Try([&] {
    std::string text = guicommon::GetParam("W");
    if (!text.empty()) BuildWatermarkCell(text);
  });

  e.step = 7;
  e.Try([&] {
    // Only the exact switch deletes: a longer one such as /DEBUG also
    // matches "D" by prefix and must not cost the caller the file.
    deleteAfterShow_ = !ExactParam("D").empty();
    std::string file = rt::Trim(guicommon::GetParam("1"));
    s.LoadCount = 0;
    Load_File(file, 1);
  });
}

void Glimpra1::Load_File(const std::string& file, int16_t page) {
  ViewerState& s = State;
  ErrorBox e("Load_File", s.CmdLine);
  bool firstLoad = s.LoadCount == 0;
  bool deleteFile = deleteAfterShow_ && firstLoad;
  if (firstLoad) deleteAfterShow_ = false;
  // A run-time error is reported and ends the load where it happened.
  e.Try([&] {
    e.step = 1;
    // An exact test of the path: a name holding "*" or "?" is not a pattern.
    // L1.Tag keeps the path as given; files are reached by its host form.
    std::string host = win32::HostPath(file);
    bool exists = rt::FileExists(host);
    if (exists) PixCall(L1, Pixo::GetFileInfo, {rt::Variant(host), int32_t{page}, int32_t{1}});

    e.step = 2;
    // Taken even for a missing file, from the last information.
    s.ShownBits = rt::CInt(PixGet(L1, Pixo::InfoBits));
    s.ShownPage = rt::CInt(PixGet(L1, Pixo::InfoPage));
    s.ShownPageCount = rt::CInt(PixGet(L1, Pixo::InfoPageCount));
    L1.Tag = file;

    e.step = 3;
    if (!exists) {
      if (s.LoadCount == 0) {
        forms::MsgBox("File not found", uiscript::kOkOnly, "ERROR");
        forms::End();
      }
      return;
    }

    e.step = 4;
    PixPut(L1, Pixo::AutoRepaint, false);
    rt::Variant result = PixCall(L1, Pixo::LoadImageFile, {rt::Variant(host), kLoadBits, int32_t{page}, int32_t{-1}});
    // The view keeps whatever it held when a page fails to load; only the
    // delete below needs to know.
    bool loaded = rt::CLng(result) == imaging::kPixoOk;
    s.ShownWidth = rt::CInt(PixGet(L1, Pixo::ImageWidth));
    s.ShownHeight = rt::CInt(PixGet(L1, Pixo::ImageHeight));
    s.LoadCount = rt::AddInt(s.LoadCount, 1);
    s.ShownFileDate = rt::GeneralDate(rt::FileDateTime(host));

    e.step = 6;
    if (rt::CLng(PixGet(L0, Pixo::BitmapHandle)) != 0) TileWatermark();

    e.step = 7;
    if (!Tag.Get().empty()) {
      L1.ToolTipText = Tag.Get();
    } else {
      double kb = rt::Int(rt::CDbl(PixGet(L1, Pixo::InfoSizeDisk)) / 1024);
      L1.ToolTipText = FileNamePart(file) + "  (" + rt::CStr(kb) + " kb)  " + s.ShownFileDate;
    }

    e.step = 8;
    SizeWindow();
    PixPut(L1, Pixo::AutoRepaint, true);
    Form_Resize();
    rt::MarkStep("glimpra.page.shown");

    // The file goes only once its first page is on show (not right after
    // the load), and never when that page could not be loaded.
    e.step = 5;
    if (deleteFile && loaded) rt::Kill(host);
    if (!deleteFile) ReadNextPageAhead(host);
  });
}

// PageDown loads ShownPage + 1; the last page has no next one to read.
// Pages turned in quick succession are decoded side by side, as many as
// pages like this one fit in kReadAheadBytes (one at least).
void Glimpra1::ReadNextPageAhead(const std::string& host) {
  constexpr double kReadAheadBytes = 64.0 * 1024 * 1024;
  const ViewerState& s = State;
  auto* view = dynamic_cast<imaging::PixoControl*>(L1.Object());
  if (!view || s.ShownPage < 1 || s.ShownPage >= s.ShownPageCount) return;
  const double pageBytes = std::max(1.0, static_cast<double>(s.ShownWidth) * s.ShownHeight * (s.ShownBits > 8 ? 3 : 1));
  const auto fit = static_cast<int32_t>(std::clamp(kReadAheadBytes / pageBytes, 1.0, double{imaging::kMostPagesAhead}));
  view->ReadAhead(host, kLoadBits, s.ShownPage + 1, std::min<int32_t>(s.ShownPageCount - s.ShownPage, fit));
}

void Glimpra1::SizeWindow() {
  ViewerState& s = State;
  WindowPlacement w = PlaceWindow(s, guicommon::GetParam("P") == "C");
  Height = static_cast<float>(w.Height);
  Width = static_cast<float>(w.Width);
  if (w.Left) Left = static_cast<float>(*w.Left);
  if (w.Top) Top = static_cast<float>(*w.Top);
  PixPut(L1, Pixo::ScaleMode, w.ScaleMode);
}

void Glimpra1::L1_FileEvent(const std::string& path) {
  if (rt::FileExists(win32::HostPath(path))) Load_File(path, 1);
}

void Glimpra1::Form_QueryUnload(int16_t& /*Cancel*/, int16_t /*UnloadMode*/) {
  PixPut(L1, Pixo::BitmapHandle, int32_t{0});
}

}  // namespace viewer

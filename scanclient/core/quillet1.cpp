#include "scanclient/core/quillet1.h"

#include <cstdlib>

#include "guicommon/cmdline.h"
#include "platform/eventlog/eventlog.h"
#include "platform/forms/screen.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"
#include "platform/uiscript/uiscript.h"
#include "platform/win32/environment.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/ini_values.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/tables.h"

namespace quillet {

using guicommon::GetParam;
using guicommon::Params;
using guicommon::ParseCmd;

Quillet1::Quillet1() : Form(kQuillet1Design) {
  Bind(Shape, "Shape");
  Bind(DoCheck, "DoCheck");
  Bind(DoSelect, "DoSelect");
  Bind(DoInfo, "DoInfo");
  Bind(DoSetup, "DoSetup");
  Bind(ZoomFact, "ZoomFact");
  Bind(Zoom, "Zoom");
  Bind(Tool, "Tool");
  Bind(Logo, "Logo");
  Bind(DoHelp, "DoHelp");
  Bind(Slide, "Slide");
  Bind(SlideB, "SlideB");
  Bind(SlideC, "SlideC");
  Bind(SlideG, "SlideG");
  Bind(Label, "Label");
  Bind(Twain, "Twain");
  Bind(L1, "L1");
  Bind(L2, "L2");
  Bind(Page, "Page");
  Bind(Thumb, "Thumb");
  Bind(Thsav, "Thsav");
  Bind(Thbas, "Thbas");
  Bind(DoOK, "DoOK");
  Bind(DoAqu, "DoAqu");
  Bind(Status, "Status");

  Load = [this] { Form_Load(); };
  Resize = [this] { Form_Resize(); };
  QueryUnload = [this](int16_t& cancel, int16_t mode) { Form_QueryUnload(cancel, mode); };
  KeyDown = [this](int16_t& code, int16_t& shift) { Form_KeyDown(code, shift); };
  DoSetup.Click = [this] { DoSetup_Click(); };
  DoHelp.Click = [this] { DoHelp_Click(); };
  DoCheck.Click = [this] { DoCheck_Click(); };
  DoOK.Click = [this] { DoOK_Click(); };
  Tool.Click = [this](int16_t index) { Tool_Click(index); };
  HookSliderEvents();
  HookViewEvents();
  HookScanEvents();
}

void Quillet1::Form_Load() {
  ProcScope p("Load", Tail::Direct);
  bool done = p.Run([&] {
    p.step = 1;
    App.UseExitCode = true;
    App.ProductName = "Quillet";
    App.ProductVersion = "2.14";
    Caption = App.ProductName + " " + App.ProductVersion;

    // A path longer than the buffer comes back as the size it needs, with
    // nothing copied: that is a failure too, not a temporary path.
    std::string temp;
    uint32_t length = win32::GetTempPath(63, &temp);
    App.rc = static_cast<int32_t>(length);
    if (length == 0 || length >= 63) p.ErrorExit(-2, "GetTempPath failed!");
    App.TempPath = temp.substr(0, temp.find('\0'));

    std::string name;
    uint32_t size = 64;
    bool ok = win32::GetComputerName(&name, &size);
    App.rc = ok ? 1 : 0;
    if (!ok) p.ErrorExit(-3, "GetComputerName failed!");
    App.ComputerName = rt::UCase(name.substr(0, name.find('\0')));

    name.clear();
    size = 64;
    ok = win32::GetUserName(&name, &size);
    App.rc = ok ? 1 : 0;
    if (!ok) p.ErrorExit(-4, "GetUserName failed!");
    App.UserName = rt::UCase(name.substr(0, name.find('\0')));

    p.step = 2;
    std::string cmd = rt::Trim(win32::CommandLine());
    if (cmd.size() >= 2 && cmd.front() == '"' && cmd.back() == '"') cmd = cmd.substr(1, cmd.size() - 2);
    App.CmdLine = cmd;
    App.rc = ParseCmd(App.CmdLine);
    int32_t rows = App.rc;
    if (rows < 3) p.ErrorExit(-5, "Too few parameters");

    bool development = rt::Left(App.ComputerName, 4) == "QX71";
    App.DebugLevel = 0;
    if (development) {
      App.DebugLevel = 9;
      App.UseExitCode = false;
    }
    App.ProgramDir = win32::ProgramDirectory();
    App.IniPath = JoinPath(App.ProgramDir, App.ProductName + ".ini");
    if (!FileFound(App.IniPath)) p.ErrorExit(-6, "INI file not found!");
    App.LogPath = JoinPath(App.ProgramDir, App.ProductName + ".log");
    LogEvent("Started:" + NowGeneral(), evlog::kInformation, 0, NowEventData());

    App.WorkDir = App.TempPath;
    App.FilPath = App.ProgramDir;
    if (std::string v = GetIni("General", "WorkDir"); !v.empty()) App.WorkDir = v + "/";
    if (std::string v = GetIni("General", "LogFile"); !v.empty()) App.LogPath = v;
    if (std::string v = GetIni("General", "FilPath"); !v.empty()) App.FilPath = v;
    App.LogPath = ReplacePlaceholders(App.LogPath);

    if (auto level = NumericValue(GetIni("General", "DebugLevel"))) App.DebugLevel = rt::CInt(*level);
    if (App.DebugLevel < 0 || (App.DebugLevel > 8 && !development)) App.DebugLevel = 1;
    if (auto z = NumericValue(GetParam("Z"))) App.DebugLevel = rt::CInt(*z);
    App.Debugging = IsYes(GetIni("General", "Debugging"), false) ? 1 : 0;

    if (App.DebugLevel > 0) {
      LogLine("Started:" + NowGeneral() + ";" + App.TempPath + ";" + App.ComputerName + ";" + App.UserName +
              ";" + App.IniPath + ";" + App.LogPath);
    }
    if (App.DebugLevel > 2) {
      std::string line = "Cmd:";
      for (int i = 1; i <= rows; ++i) line += Params.Name(i) + "=" + Params.Value(i) + ",";
      LogLine(line);
    }

    p.step = 3;
    forms::ScreenObject& screen = forms::Screen();
    App.TwipsPerPixelX = rt::CLng(screen.TwipsPerPixelX());
    App.TwipsPerPixelY = rt::CLng(screen.TwipsPerPixelY());
    App.ScreenHeightPx = rt::CLng(screen.Height() / App.TwipsPerPixelY);
    App.ScreenWidthPx = rt::CLng(screen.Width() / App.TwipsPerPixelX);
    App.MinHeightPx = rt::CLng(Height / App.TwipsPerPixelY);
    App.MinWidthPx = rt::CLng(Width / App.TwipsPerPixelX);
    Top = 0;
    Left = 0;
    BorderStyle = 2;
    Shape(0).Tag = rt::CStr(static_cast<double>(Shape(0).Height));
    DoSetup.Tag = "0";
    L1.Tag = "0";
    ZoomFact.Tag = "0";

    p.step = 4;
    ReadIni(GetParam("1"));
    Form_Resize();
    App.ScanAvailable = rt::CBool(PixCall(L1, imaging::Pixo::TwainAvailable, {rt::Variant(hWnd())}));
    if (!App.ScanAvailable) {
      DoSelect.Visible = false;
      DoInfo.Visible = false;
      DoSetup.Visible = false;
      DoAqu.Visible = false;
    }
    DoInfo.Enabled = true;
    ZoomFact.Enabled = true;
    Tools(0);
    if (App.DebugLevel > 7) DoAqu.Enabled = true;
    for (int16_t i = 0; i < Zoom.Count(); ++i) Zoom(i).Enabled = true;
    for (int16_t i = 0; i < Tool.Count(); ++i) Tool(i).Enabled = true;
    Tool_Click(0);
    Refresh();
  });
  // A start-up that failed half-way leaves no usable window: end the run
  // with the error number once the report is out.
  if (!done) EndProgram(p.errorNumber());
}

void Quillet1::Form_Resize() {
  ProcScope p("Resize", Tail::Direct);
  p.Run([&] {
    if (WindowState != forms::kNormal) return;
    const float tx = static_cast<float>(App.TwipsPerPixelX);
    const float ty = static_cast<float>(App.TwipsPerPixelY);
    if (Width < App.MinWidthPx * tx) Width = App.MinWidthPx * tx;
    if (Height < App.MinHeightPx * ty) Height = App.MinHeightPx * ty;
    if (DoOK.Top + DoOK.Height + 54 * ty > Height) Height = DoOK.Top + DoOK.Height + 54 * ty;

    Status.Top = Height - Status.Height - 28 * ty;
    Status.Width = Width - 8 * tx;

    float x = L1.Left + 3 * tx;
    Twain(0).Top = DoCheck.Top + DoCheck.Height + 5 * ty;
    Label(0).Top = Twain(0).Top + Twain(0).Height - Label(0).Height;
    if (SlideB.Visible || SlideC.Visible || SlideG.Visible) {
      Twain(0).Top = Twain(0).Top + SlideB.Height + 5 * ty;
      Label(0).Top = Label(0).Top + SlideB.Height + 5 * ty;
    }
    for (int16_t k = 0; k <= 5; ++k) {
      Label(k).Left = x;
      x = x + Label(k).Width + 4 * tx;
      Label(k).Top = Label(0).Top;
      Twain(k).Left = x;
      x = x + Twain(k).Width + 4 * tx;
      Twain(k).Top = Twain(0).Top;
    }

    Shape(0).Width = Width - Shape(0).Left - 8 * tx;
    Shape(1).Height = Height - Shape(1).Top - 8 * ty;
    Shape(2).Left = Shape(0).Left;
    Shape(2).Top = Shape(0).Top + Shape(0).Height;
    Shape(2).Width = Width - Shape(2).Left - 8 * tx;
    Shape(2).Height = Height - Shape(2).Top - 8 * ty;

    L1.Left = Shape(2).Left;
    L1.Top = Shape(2).Top;
    L1.Width = Width - L1.Left - 8 * tx;
    L1.Height = Status.Top - L1.Top - 2 * ty;

    if (rt::CDbl(rt::Variant(ZoomFact.Tag.Get())) == 0) L1_Zoom(0);
    if (App.DebugLevel > 8) {
      Status.Text = rt::CStr(static_cast<double>(Width) / tx) + "x" + rt::CStr(static_cast<double>(Height) / ty);
    }
  });
}

}  // namespace quillet

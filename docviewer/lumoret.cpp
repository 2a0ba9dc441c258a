// Lumoret: shows one RTF or text file read-only, prints it on request and
// reports by exit code whether it was loaded and printed.
#include <cstdio>

#include "docviewer/Mainframe.h"
#include "docviewer/framework/ornmodule.h"
#include "docviewer/framework/xtrace.h"
#include "docviewer/resource.h"
#include "platform/ole/com.h"
#include "platform/screen/windows_display.h"
#include "platform/uiscript/uiscript.h"
#include "platform/win32/environment.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/menu.h"
#include "platform/windows/resources.h"

using namespace win;

// Batch flag 0 (batch only when the desktop is not visible), event logger
// level 3, default event category 4.
COrnModule g_module(u"Lumoret", 0, 3, 4);

int WinMain(HINSTANCE hInstance, HINSTANCE, wchar_t*, int) {
  XTraceLine(Xt::Msg, "start", "::WinMain", XTRACE_AT);
  ole::HRESULT hrCom = ole::CoInitialize(nullptr);
  g_module.Init(hInstance);
  HMODULE richEdit = LoadLibraryW(L"RichEd20.dll");
  HICON icon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_LUMORET));
  HMENU menu = LoadMenuW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
  HACCEL accel = LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
  int exitCode = 0;
  {
    // The frame and its document go before COM is uninitialised.
    MFrame frame;
    if (richEdit && icon && menu && accel && ole::Succeeded(hrCom)) {
      INITCOMMONCONTROLSEX icc;
      icc.dwICC = ICC_BAR_CLASSES;
      InitCommonControlsEx(&icc);
      if (HWND hwnd = frame.Create(GetDesktopWindow(), MFrame::kCaption, menu, icon)) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
          if (!TranslateAcceleratorW(frame.m_hWnd, accel, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
          }
        }
        exitCode = static_cast<int>(msg.wParam);
      }
    }
  }
  g_module.Term();
  if (ole::Succeeded(hrCom)) ole::CoUninitialize();
  XTraceLine(Xt::Msg, "end", "::WinMain", XTRACE_AT);
  return exitCode;
}

// The Linux entry: the program's resources, the command line, then the
// platform's entry point; the exit code leaves the process as its low 8 bits.
int main(int argc, char** argv) {
  win32::SetCommandLine(argc, argv);
  HINSTANCE self = GetModuleHandleW(nullptr);
  AddLumoretResources(self);
  int code = 0;
  try {
    // Headless, or with the window on the screen when there is one.
    code = screen::RunWindows([self] { return WinMain(self, nullptr, nullptr, SW_SHOWDEFAULT); });
  } catch (const uiscript::ScriptError& e) {
    // A fault of the operator script, not of the program (as in the forms
    // runtime).
    std::fprintf(stderr, "%s\n", e.what());
    code = 124;
  }
  win32::ExitProcess(code);
}

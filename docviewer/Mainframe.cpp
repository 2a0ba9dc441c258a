#include "docviewer/Mainframe.h"

#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "docviewer/framework/xtrace.h"
#include "docviewer/resource.h"
#include "docviewer/tracing.h"
#include "platform/printing/printdlg.h"
#include "platform/registry/registry.h"
#include "platform/runtime/step_times.h"
#include "platform/windows/cmdline.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/dialog.h"
#include "platform/windows/errors.h"
#include "platform/windows/menu.h"
#include "platform/windows/resources.h"

using namespace win;

namespace {

// Status texts by index; 3 is the toolbar button's text.
const wchar_t* const kStatus[] = {
    L"Dokument gedruckt", L"Dokument geladen", L"Kein Dokument", L"Drucken", L"Drucker auswählen",
    L"Dokument wird gedruckt ...", L"Lade %ls ...",
};
enum StatusIndex { kPrinted = 0, kLoaded = 1, kNothing = 2, kPrintButton = 3, kChoose = 4, kPrinting = 5, kLoading = 6 };

constexpr const wchar_t* kCloseQuestion =
    L"Das Dokument ist noch nicht ausgedruckt worden. Wollen Sie es wirklich schließen?";
constexpr size_t kMaxText = 256;
constexpr LONG kDisplayLineWidth = 8640;

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
  return *a == *b;
}

// Show commands that would leave the window out of the operator's sight.
bool HidesWindow(UINT showCmd) {
  return showCmd == SW_HIDE || showCmd == SW_SHOWMINIMIZED || showCmd == SW_MINIMIZE ||
         showCmd == SW_SHOWMINNOACTIVE || showCmd == SW_FORCEMINIMIZE || showCmd > SW_FORCEMINIMIZE;
}

intptr_t AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    // Centred on the frame, whose handle comes as the parameter.
    RECT owner, self;
    if (GetWindowRect(reinterpret_cast<HWND>(lParam), &owner) && GetWindowRect(dlg, &self)) {
      int w = self.right - self.left, h = self.bottom - self.top;
      SetWindowPos(dlg, nullptr, owner.left + (owner.right - owner.left - w) / 2,
                   owner.top + (owner.bottom - owner.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    return 1;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) >= IDOK && LOWORD(wParam) <= IDNO) {
    EndDialog(dlg, LOWORD(wParam));
    return 1;
  }
  return 0;
}

}  // namespace

MFrame::MFrame() {
  TRACE_SCOPE("MFrame::MFrame");
  int argc = 0;
  // The frame keeps pointers into the argument block and frees it at its end.
  wchar_t** argv = m_argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* a = argv[i];
    bool hasValue = i + 1 < argc;
    if (EqualsNoCase(a, L"-f")) {
      if (hasValue) m_pszFile = argv[++i];
    } else if (EqualsNoCase(a, L"-c")) {
      if (hasValue) m_pszCaption = argv[++i];
    } else if (EqualsNoCase(a, L"-t")) {
      if (hasValue) m_pszKind = argv[++i];
    } else if (EqualsNoCase(a, L"-n")) {
      m_bNoQuestion = 1;
    }
  }
}

MFrame::~MFrame() {
  TRACE_SCOPE("MFrame::~MFrame");
  if (m_hWnd) DestroyWindow(m_hWnd);
  delete m_pDoc;
  if (m_hdcTarget) DeleteDC(m_hdcTarget);
  if (m_argv) LocalFree(m_argv);
}

HWND MFrame::Create(HWND parent, const wchar_t* title, HMENU menu, HICON icon) {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc;
  if (!GetClassInfoExW(inst, kClassName, &wc)) {
    wc = WNDCLASSEXW{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = inst;
    wc.hIcon = icon;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_MENU + 1));
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) return nullptr;
  }
  return CreateWindowExW(0, kClassName, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, parent, menu, inst, this);
}

LRESULT MFrame::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<MFrame*>(cs->lpCreateParams);
    self->m_hWnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  if (!self->ProcessWindowMessage(hwnd, msg, wParam, lParam, result))
    result = DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->m_hWnd = nullptr;
    self->OnFinalMessage(hwnd);
  }
  return result;
}

bool MFrame::ProcessWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_CREATE: result = OnCreate(); return true;
    case WM_SIZE: OnSize(wParam, lParam); return true;
    case WM_SETFOCUS: OnSetFocus(); return true;
    case WM_CLOSE: OnClose(); return true;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case ID_FILE_PRINT: OnPrint(); return true;
        case ID_FILE_CLOSE: OnExit(); return true;
        case IDM_ABOUT: OnAbout(); return true;
        default: return false;
      }
    default: return false;
  }
}

int MFrame::ExitCode() const {
  if (!m_bLoaded) return -2;
  return m_bPrinted ? 1 : -1;
}

std::wstring MFrame::MakeTitle(const wchar_t* file, const wchar_t* caption, const wchar_t* kind, bool* noQuestion) {
  const wchar_t* name = file;
  for (const wchar_t* p = file; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  const wchar_t* first = name;
  const wchar_t* second = name;
  if (kind && std::wcscmp(kind, L"1") == 0) {
    first = L"Antragsformular";
  } else if (kind && std::wcscmp(kind, L"3") == 0) {
    first = L"PUK";
    *noQuestion = true;
  }
  if (caption) second = caption;
  if (first == second) first = kCaption;  // neither part was replaced
  std::wstring title = std::wstring(first) + L" - " + second;
  if (title.size() > kMaxText) title.resize(kMaxText);
  return title;
}

LRESULT MFrame::OnCreate() {
  TRACE_SCOPE("MFrame::OnCreate");
  HINSTANCE inst = GetModuleHandleW(nullptr);
  m_hwndStatus = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<intptr_t>(IDC_STATUSBAR)), inst, nullptr);
  SendMessageW(m_hwndStatus, SB_SIMPLE, 1, 0);
  m_hwndRE = CreateWindowExW(0, RICHEDIT_CLASSW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL |
                                 ES_SELECTIONBAR | ES_SAVESEL | ES_SUNKEN | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                                 ES_MULTILINE,
                             0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<intptr_t>(IDC_RICHEDIT)), inst,
                             nullptr);
  m_pDoc = new CRichEditDoc;
  m_pDoc->Initialize(m_hwndRE, nullptr);
  SendMessageW(m_hwndRE, EM_SETREADONLY, 1, 0);
  CreateToolbar();

  if (m_pszFile) {
    PRINTDLGW pd;
    pd.hwndOwner = m_hWnd;
    pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    if (PrintDlgW(&pd) && pd.hDC) {
      SetTargetDevice(pd.hDC, true);
    } else if (HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr)) {
      SetTargetDevice(display, false);
    }
    m_bLoaded = LoadFile();
    m_bPrinted = 0;
    if (m_bLoaded) {
      bool noQuestion = false;
      std::wstring title = MakeTitle(m_pszFile, m_pszCaption, m_pszKind, &noQuestion);
      if (noQuestion) m_bNoQuestion = 1;
      SetWindowTextW(m_hWnd, title.c_str());
    } else {
      ShowError(m_dwError);
    }
  }
  RestorePlacement();
  UpdateUI();
  return 0;
}

void MFrame::CreateToolbar() {
  TRACE_SCOPE("MFrame::CreateToolbar");
  m_hwndToolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT,
                                  0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<intptr_t>(IDC_TOOLBAR)),
                                  GetModuleHandleW(nullptr), nullptr);
  // The string list ends with an empty string.
  std::wstring strings = std::wstring(kStatus[kPrintButton]) + L'\0';
  auto first = SendMessageW(m_hwndToolbar, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(strings.c_str()));
  SendMessageW(m_hwndToolbar, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL()));
  SendMessageW(m_hwndToolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBBUTTON button;
  button.iBitmap = STD_PRINT;
  button.idCommand = ID_FILE_PRINT;
  button.fsState = TBSTATE_ENABLED;
  button.fsStyle = BTNS_BUTTON;
  button.iString = first;
  SendMessageW(m_hwndToolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
  ShowWindow(m_hwndToolbar, SW_SHOW);
}

void MFrame::SetTargetDevice(HDC hdc, bool printer) {
  LONG width = kDisplayLineWidth;
  if (printer) {
    REUtil::PrinterMetrics metrics;
    REUtil::GetPrinterMetrics(hdc, &metrics);
    RECT page;
    REUtil::MarginsToTwips(kMargins, metrics, &page);
    width = page.right - page.left;
  }
  SendMessageW(m_hwndRE, EM_SETTARGETDEVICE, reinterpret_cast<WPARAM>(hdc), width);
  // The control keeps using the context; the previous one is free now.
  if (m_hdcTarget && m_hdcTarget != hdc) DeleteDC(m_hdcTarget);
  m_hdcTarget = hdc;
}

bool MFrame::LoadFile() {
  TRACE_SCOPE("MFrame::LoadFile");
  XTraceDetail(1, "start %.128ls", m_pszFile);
  SetStatusText(kStatus[kLoading], m_pszFile);
  rt::MarkStep("lumoret.load.begin");
  bool loaded = REUtil::LoadREFile(m_hwndRE, m_pszFile);
  rt::MarkStep("lumoret.load.end");
  m_dwError = loaded ? 0 : GetLastError();
  return loaded;
}

bool MFrame::PrintDoc(HDC hdc) {
  TRACE_SCOPE("MFrame::PrintDoc");
  SetStatusText(kStatus[kPrinting]);
  REUtil::PrinterMetrics metrics;
  REUtil::GetPrinterMetrics(hdc, &metrics);
  RECT page;
  REUtil::MarginsToTwips(kMargins, metrics, &page);
  SetTargetDevice(hdc, true);
  bool printed = REUtil::PrintREDoc(hdc, m_hwndRE, page);
  m_dwError = printed ? 0 : GetLastError();
  return printed;
}

void MFrame::UpdateUI() {
  TRACE_SCOPE("MFrame::UpdateUI");
  SetStatusText(kStatus[!m_bLoaded ? kNothing : m_bPrinted ? kPrinted : kLoaded]);
  EnableMenuItem(GetMenu(m_hWnd), ID_FILE_PRINT, MF_BYCOMMAND | (m_bLoaded ? MF_ENABLED : MF_GRAYED));
  SendMessageW(m_hwndToolbar, TB_SETSTATE, ID_FILE_PRINT,
               MAKELPARAM(m_bLoaded ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE, 0));
}

void MFrame::SetStatusText(const wchar_t* format, ...) {
  std::wstring text;
  if (format) {
    // Formatted in full first, so that a long path is cut, not lost.
    std::vector<wchar_t> buf(512);
    while (true) {
      va_list args;
      va_start(args, format);
      int n = std::vswprintf(buf.data(), buf.size(), format, args);
      va_end(args);
      if (n >= 0) break;
      if (buf.size() > (1u << 20)) {
        buf[0] = L'\0';
        break;
      }
      buf.resize(buf.size() * 2);
    }
    text = buf.data();
    if (text.size() > kMaxText) text.resize(kMaxText);
  }
  SendMessageW(m_hwndStatus, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
}

void MFrame::ShowError(DWORD error) {
  std::wstring text;
  if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, error, &text)) {
    wchar_t code[32];
    std::swprintf(code, 32, L"Error %08X", static_cast<unsigned>(error));
    text = code;
  }
  MessageBoxW(m_hWnd, text.c_str(), kCaption, MB_TASKMODAL | MB_ICONERROR | MB_OK);
}

RECT MFrame::GetClientArea() {
  RECT tb, sb;
  GetWindowRect(m_hwndToolbar, &tb);
  GetWindowRect(m_hwndStatus, &sb);
  POINT tbBottomRight{tb.right, tb.bottom};
  POINT sbTop{sb.left, sb.top};
  ScreenToClient(m_hWnd, &tbBottomRight);
  ScreenToClient(m_hWnd, &sbTop);
  return RECT{0, tbBottomRight.y, tbBottomRight.x, sbTop.y};
}

void MFrame::OnSize(WPARAM wParam, LPARAM lParam) {
  SendMessageW(m_hwndStatus, WM_SIZE, wParam, lParam);
  SendMessageW(m_hwndToolbar, WM_SIZE, wParam, lParam);
  RECT area = GetClientArea();
  SetWindowPos(m_hwndRE, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void MFrame::OnSetFocus() { SetFocus(m_hwndRE); }

void MFrame::OnClose() {
  TRACE_SCOPE("MFrame::OnClose");
  if (m_bPrinting) {
    // Destroying the window now would pull the control from under the
    // printer; the close comes back when the print run is over.
    m_bClosePending = true;
    return;
  }
  if (m_bLoaded && !m_bPrinted && !m_bNoQuestion &&
      MessageBoxW(m_hWnd, kCloseQuestion, kCaption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDNO)
    return;
  SavePlacement();
  DestroyWindow(m_hWnd);
}

void MFrame::OnPrint() {
  TRACE_SCOPE("MFrame::OnPrint");
  if (m_bPrinting) {
    XTraceLine(Xt::Wrn, "print request during printing ignored", "MFrame::OnPrint", XTRACE_AT);
    return;
  }
  SetStatusText(kStatus[kChoose]);
  PRINTDLGW pd;
  pd.hwndOwner = m_hwndRE;
  pd.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
  if (!PrintDlgW(&pd) || !pd.hDC) return;  // "Drucker auswählen" stays until the next update
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT)));
  m_bPrinting = true;
  m_bPrinted = PrintDoc(pd.hDC);
  m_bPrinting = false;
  if (m_bPrinted) {
    UpdateUI();
    SavePlacement();
    SetCursor(previous);
    DestroyWindow(m_hWnd);
    return;
  }
  ShowError(m_dwError);
  SetCursor(previous);
  UpdateUI();
  if (m_bClosePending) {
    m_bClosePending = false;
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
  }
}

void MFrame::OnExit() { PostMessageW(m_hWnd, WM_CLOSE, 0, 0); }

void MFrame::OnAbout() {
  TRACE_SCOPE("MFrame::OnAbout");
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), m_hWnd, AboutProc,
                  reinterpret_cast<LPARAM>(m_hWnd));
}

void MFrame::OnFinalMessage(HWND) { PostQuitMessage(ExitCode()); }

void MFrame::SavePlacement() {
  TRACE_SCOPE("MFrame::SavePlacement");
  WINDOWPLACEMENT wp;
  if (!GetWindowPlacement(m_hWnd, &wp)) return;
  reg::Key key = 0;
  if (reg::CreateKey(reg::Hive::CurrentUser, kPlacementKey, &key) != reg::kSuccess) return;
  reg::SetValue(key, kPlacementValue, reg::kBinary, reinterpret_cast<const uint8_t*>(&wp), sizeof wp);
  reg::CloseKey(key);
}

void MFrame::RestorePlacement() {
  TRACE_SCOPE("MFrame::RestorePlacement");
  reg::Key key = 0;
  if (reg::OpenKey(reg::Hive::CurrentUser, kPlacementKey, &key) != reg::kSuccess) return;
  WINDOWPLACEMENT wp;
  reg::ValueType type = reg::kNone;
  uint32_t size = sizeof wp;
  reg::Status status = reg::QueryValue(key, kPlacementValue, &type, reinterpret_cast<uint8_t*>(&wp), &size);
  reg::CloseKey(key);
  // Only a whole record counts: a shorter value would leave part of it
  // unset, a longer one is not a placement.
  if (status != reg::kSuccess || type != reg::kBinary || size != sizeof wp || wp.length != sizeof wp) return;
  const RECT& r = wp.rcNormalPosition;
  if (!(r.left > 0 && r.top > 0 && r.right < GetSystemMetrics(SM_CXFULLSCREEN) &&
        r.bottom < GetSystemMetrics(SM_CYFULLSCREEN) && r.right - r.left >= 400 && r.bottom - r.top >= 200))
    return;
  // A placement saved while minimised (or hidden) would bring the window
  // back out of sight; it comes back normal.
  if (HidesWindow(wp.showCmd)) wp.showCmd = SW_SHOWNORMAL;
  SetWindowPlacement(m_hWnd, &wp);
}

#include "platform/windows/dialog.h"

#include <map>

#include "platform/uiscript/uiscript.h"
#include "platform/windows/detail.h"
#include "platform/windows/display.h"
#include "platform/windows/text.h"

namespace win {

namespace {

struct Modal {
  DLGPROC proc = nullptr;
  bool ended = false;
  intptr_t result = 0;
};

// Dialogs being shown, by handle; nested dialogs are possible.
std::map<HWND, Modal>& Modals() {
  static std::map<HWND, Modal> m;
  return m;
}

LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto it = Modals().find(hwnd);
  if (it != Modals().end() && it->second.proc && msg != WM_NCCREATE && msg != WM_NCDESTROY) {
    if (it->second.proc(hwnd, msg, wParam, lParam)) return 1;
  }
  if (msg == WM_CLOSE) {  // a dialog closes by ending with IDCANCEL, not by DestroyWindow
    EndDialog(hwnd, IDCANCEL);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

namespace detail {
void RegisterDialogClasses() {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = DefDlgProc;
  wc.lpszClassName = L"#32770";
  RegisterClassExW(&wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"Static";
  RegisterClassExW(&wc);
  wc.lpszClassName = L"Button";
  RegisterClassExW(&wc);
}
}  // namespace detail

int MessageBoxW(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
  return uiscript::MessageBox(ToUtf8(text ? text : L""), static_cast<int32_t>(type),
                              ToUtf8(caption ? caption : L"Error"));
}

intptr_t DialogBoxParamW(HINSTANCE instance, const wchar_t* templateName, HWND owner, DLGPROC proc,
                         LPARAM param) {
  const DialogTemplate* tpl = FindDialogResource(instance, templateName);
  if (!tpl || !proc) return -1;
  HWND dlg = CreateWindowExW(0, L"#32770", tpl->title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                             tpl->cx * 3 / 2, tpl->cy * 2, owner, nullptr, instance, nullptr);
  if (!dlg) return -1;
  Modals()[dlg].proc = proc;
  std::string statics;
  std::vector<int> buttons;
  int defaultButton = 0;
  HWND focus = nullptr;
  for (const auto& item : tpl->items) {
    HWND c = CreateWindowExW(0, item.className.c_str(), item.text.c_str(), WS_CHILD | WS_VISIBLE | item.style,
                             item.x * 3 / 2, item.y * 2, item.cx * 3 / 2, item.cy * 2, dlg,
                             reinterpret_cast<HMENU>(static_cast<intptr_t>(item.id)), instance, nullptr);
    bool isButton = GetClassNameW(c) == L"Button";
    if (isButton) {
      buttons.push_back(item.id);
      if ((item.style & BS_DEFPUSHBUTTON) || !defaultButton) defaultButton = item.id;
      if (!focus) focus = c;
    } else if (!(item.style & SS_ICON) && !item.text.empty()) {
      if (!statics.empty()) statics += "\n";
      statics += ToUtf8(item.text);
    }
  }
  ShowWindow(dlg, SW_SHOW);
  SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param);

  int answer = defaultButton ? defaultButton : IDCANCEL;
  bool byDefault = true;
  if (!Modals()[dlg].ended) {
    if (auto queued = uiscript::AnswerQueue::Instance().Take()) {
      bool offered = false;
      for (int id : buttons) offered = offered || id == *queued;
      if (!offered) {
        DestroyWindow(dlg);
        Modals().erase(dlg);
        throw uiscript::ScriptError("ui script: answer '" + std::string(uiscript::AnswerName(*queued)) +
                                    "' does not fit the dialog '" + ToUtf8(tpl->title) + "'");
      }
      answer = *queued;
      byDefault = false;
    } else if (Display* display = GetDisplay()) {
      answer = display->AnswerDialog(dlg, defaultButton);
      byDefault = false;
    }
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(answer), 0),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, answer)));
  }
  if (!Modals()[dlg].ended) SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  Modal modal = Modals()[dlg];
  Modals().erase(dlg);
  intptr_t result = modal.ended ? modal.result : -1;
  std::string shown = modal.ended && result >= IDOK && result <= IDNO
                          ? std::string(uiscript::AnswerName(static_cast<uiscript::Answer>(result)))
                          : std::to_string(result);
  if (byDefault) shown += " (default)";
  uiscript::Transcript::Write({"dialog", ToUtf8(tpl->title), statics, shown});
  DestroyWindow(dlg);
  return result;
}

bool EndDialog(HWND dialog, intptr_t result) {
  auto it = Modals().find(dialog);
  if (it == Modals().end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  it->second.ended = true;
  it->second.result = result;
  return true;
}

}  // namespace win

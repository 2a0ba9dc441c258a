// The status bar control.
#include <map>
#include <string>

#include "platform/uiscript/uiscript.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/text.h"

namespace win {

namespace {

constexpr int kHeight = 22;

struct StatusBar {
  bool simple = false;
  std::wstring simpleText;
  std::map<int, std::wstring> parts;
  int partCount = 1;
  std::wstring shown;  // last text written to the transcript
};

StatusBar* Data(HWND h) { return reinterpret_cast<StatusBar*>(GetWindowLongPtrW(h, 0)); }

void NoteShown(StatusBar* sb) {
  std::wstring now = sb->simple ? sb->simpleText : sb->parts[0];
  if (now != sb->shown) {
    sb->shown = now;
    uiscript::Transcript::Write({"status", ToUtf8(now)});
  }
}

LRESULT CopyText(const std::wstring& text, wchar_t* buf) {
  if (buf) {
    std::copy(text.begin(), text.end(), buf);
    buf[text.size()] = L'\0';
  }
  return static_cast<LRESULT>(text.size() & 0xFFFF);
}

LRESULT StatusProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  StatusBar* sb = Data(h);
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtrW(h, 0, reinterpret_cast<LONG_PTR>(new StatusBar));
      return DefWindowProcW(h, msg, wParam, lParam);
    case WM_NCDESTROY:
      delete sb;
      SetWindowLongPtrW(h, 0, 0);
      return 0;
    case WM_SIZE: {
      RECT pc;
      if (GetClientRect(GetParent(h), &pc))
        SetWindowPos(h, nullptr, 0, pc.bottom - kHeight, pc.right, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case SB_SIMPLE:
      sb->simple = wParam != 0;
      NoteShown(sb);
      return 1;
    case SB_ISSIMPLE:
      return sb->simple ? 1 : 0;
    case SB_SETPARTS:
      sb->partCount = static_cast<int>(wParam);
      return 1;
    case SB_GETPARTS:
      return sb->partCount;
    case SB_SETTEXTW: {
      int part = static_cast<int>(wParam & 0xFF);
      auto* text = reinterpret_cast<const wchar_t*>(lParam);
      std::wstring t = text ? text : L"";
      if (part == static_cast<int>(SB_SIMPLEID)) sb->simpleText = t;
      else sb->parts[part] = t;
      NoteShown(sb);
      return 1;
    }
    case SB_GETTEXTLENGTHW:
    case SB_GETTEXTW: {
      int part = static_cast<int>(wParam & 0xFF);
      const std::wstring& t = part == static_cast<int>(SB_SIMPLEID) ? sb->simpleText : sb->parts[part];
      return msg == SB_GETTEXTW ? CopyText(t, reinterpret_cast<wchar_t*>(lParam))
                                : static_cast<LRESULT>(t.size() & 0xFFFF);
    }
    default:
      return DefWindowProcW(h, msg, wParam, lParam);
  }
}

}  // namespace

namespace detail {
void RegisterStatusBar() {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = StatusProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.lpszClassName = STATUSCLASSNAMEW;
  RegisterClassExW(&wc);
}
}  // namespace detail

}  // namespace win

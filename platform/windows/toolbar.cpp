// The toolbar control.
#include <string>
#include <vector>

#include "platform/windows/commctrl.h"
#include "platform/windows/detail.h"

namespace win {

namespace {

constexpr int kHeight = 28;
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 24;
constexpr int kButtonTop = 2;

struct Button {
  int bitmap = 0;
  int id = 0;
  BYTE state = 0;
  BYTE style = 0;
  std::wstring text;
};

struct Toolbar {
  size_t structSize = 0;
  std::vector<std::wstring> strings;
  bool imagesLoaded = false;
  std::vector<Button> buttons;
  int pressed = -1;
};

Toolbar* Data(HWND h) { return reinterpret_cast<Toolbar*>(GetWindowLongPtrW(h, 0)); }

int IndexOf(const Toolbar* tb, int id) {
  for (size_t i = 0; i < tb->buttons.size(); ++i)
    if (tb->buttons[i].id == id && tb->buttons[i].style != BTNS_SEP) return static_cast<int>(i);
  return -1;
}

int HitTest(const Toolbar* tb, LPARAM lParam) {
  int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  if (y < kButtonTop || y >= kButtonTop + kButtonHeight || x < 0) return -1;
  auto i = static_cast<size_t>(x / kButtonWidth);
  return i < tb->buttons.size() ? static_cast<int>(i) : -1;
}

void AutoSize(HWND h) {
  RECT pc;
  if (GetClientRect(GetParent(h), &pc)) SetWindowPos(h, nullptr, 0, 0, pc.right, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT ToolbarProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  Toolbar* tb = Data(h);
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtrW(h, 0, reinterpret_cast<LONG_PTR>(new Toolbar));
      return DefWindowProcW(h, msg, wParam, lParam);
    case WM_NCDESTROY:
      delete tb;
      SetWindowLongPtrW(h, 0, 0);
      return 0;
    case WM_SIZE:
    case TB_AUTOSIZE:
      AutoSize(h);
      return 0;
    case TB_BUTTONSTRUCTSIZE:
      tb->structSize = wParam;
      return 0;
    case TB_LOADIMAGES:
      // Only the common controls' own standard bitmaps exist here.
      if (reinterpret_cast<HINSTANCE>(lParam) != HINST_COMMCTRL() ||
          (wParam != IDB_STD_SMALL_COLOR && wParam != IDB_STD_LARGE_COLOR))
        return 0;
      tb->imagesLoaded = true;
      return 15;  // number of standard images
    case TB_ADDSTRINGW: {
      auto* list = reinterpret_cast<const wchar_t*>(lParam);
      if (wParam != 0 || !list) return -1;  // string resources are not supported
      auto first = static_cast<LRESULT>(tb->strings.size());
      while (*list) {
        std::wstring s(list);
        list += s.size() + 1;
        tb->strings.push_back(std::move(s));
      }
      return first;
    }
    case TB_ADDBUTTONSW: {
      auto* src = reinterpret_cast<const TBBUTTON*>(lParam);
      if (tb->structSize != sizeof(TBBUTTON) || !src) return 0;
      for (WPARAM i = 0; i < wParam; ++i) {
        Button b;
        b.bitmap = src[i].iBitmap;
        b.id = src[i].idCommand;
        b.state = src[i].fsState;
        b.style = src[i].fsStyle;
        if (src[i].iString >= 0 && src[i].iString < 0x10000) {
          auto idx = static_cast<size_t>(src[i].iString);
          if (idx < tb->strings.size()) b.text = tb->strings[idx];
        } else if (src[i].iString != -1) {
          b.text = reinterpret_cast<const wchar_t*>(src[i].iString);
        }
        tb->buttons.push_back(std::move(b));
      }
      return 1;
    }
    case TB_BUTTONCOUNT:
      return static_cast<LRESULT>(tb->buttons.size());
    case TB_COMMANDTOINDEX:
      return IndexOf(tb, static_cast<int>(wParam));
    case TB_GETBUTTON: {
      auto* out = reinterpret_cast<TBBUTTON*>(lParam);
      if (wParam >= tb->buttons.size() || !out) return 0;
      const Button& b = tb->buttons[wParam];
      *out = TBBUTTON{};
      out->iBitmap = b.bitmap;
      out->idCommand = b.id;
      out->fsState = b.state;
      out->fsStyle = b.style;
      return 1;
    }
    case TB_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (wParam >= tb->buttons.size() || !r) return 0;
      auto x = static_cast<LONG>(wParam) * kButtonWidth;
      *r = {x, kButtonTop, x + kButtonWidth, kButtonTop + kButtonHeight};
      return 1;
    }
    case TB_GETBUTTONTEXTW: {
      int i = IndexOf(tb, static_cast<int>(wParam));
      if (i < 0) return -1;
      const std::wstring& t = tb->buttons[static_cast<size_t>(i)].text;
      if (auto* buf = reinterpret_cast<wchar_t*>(lParam)) {
        std::copy(t.begin(), t.end(), buf);
        buf[t.size()] = L'\0';
      }
      return static_cast<LRESULT>(t.size());
    }
    case TB_SETSTATE: {
      int i = IndexOf(tb, static_cast<int>(wParam));
      if (i < 0) return 0;
      tb->buttons[static_cast<size_t>(i)].state = static_cast<BYTE>(LOWORD(static_cast<uintptr_t>(lParam)));
      return 1;
    }
    case TB_GETSTATE: {
      int i = IndexOf(tb, static_cast<int>(wParam));
      return i < 0 ? -1 : tb->buttons[static_cast<size_t>(i)].state;
    }
    case WM_LBUTTONDOWN:
      tb->pressed = HitTest(tb, lParam);
      return 0;
    case WM_LBUTTONUP: {
      int i = HitTest(tb, lParam);
      bool same = i >= 0 && i == tb->pressed;
      tb->pressed = -1;
      if (!same) return 0;
      const Button& b = tb->buttons[static_cast<size_t>(i)];
      if ((b.state & TBSTATE_ENABLED) && !(b.state & TBSTATE_HIDDEN) && b.style != BTNS_SEP)
        SendMessageW(GetParent(h), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(b.id), BN_CLICKED),
                     reinterpret_cast<LPARAM>(h));
      return 0;
    }
    default:
      return DefWindowProcW(h, msg, wParam, lParam);
  }
}

}  // namespace

namespace detail {
void RegisterToolbar() {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = ToolbarProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.lpszClassName = TOOLBARCLASSNAMEW;
  RegisterClassExW(&wc);
}
}  // namespace detail

bool InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
  if (!icc || icc->dwSize != sizeof(INITCOMMONCONTROLSEX)) return false;
  if (icc->dwICC & ICC_BAR_CLASSES) {
    WNDCLASSEXW wc;
    if (!GetClassInfoExW(nullptr, STATUSCLASSNAMEW, &wc)) detail::RegisterStatusBar();
    if (!GetClassInfoExW(nullptr, TOOLBARCLASSNAMEW, &wc)) detail::RegisterToolbar();
  }
  return true;
}

}  // namespace win

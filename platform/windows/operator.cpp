#include "platform/windows/operator.h"

#include <string>

#include "platform/uiscript/uiscript.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/menu.h"

namespace win {

KeyMessage KeyMessageOf(int virtualKey, bool down, bool altHeld) {
  constexpr LPARAM kReleased = LPARAM{3} << 30;
  KeyMessage m;
  if (virtualKey == VK_MENU) {
    m.message = down ? WM_SYSKEYDOWN : WM_KEYUP;
    m.lParam = 1 | (down ? KF_ALTDOWN_LPARAM : kReleased);
    return m;
  }
  if (altHeld) {
    m.message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    m.lParam = 1 | KF_ALTDOWN_LPARAM;
  } else {
    m.message = down ? WM_KEYDOWN : WM_KEYUP;
    m.lParam = 1;
  }
  if (!down) m.lParam |= kReleased;
  return m;
}

void PostKey(HWND target, int virtualKey, bool down, bool altHeld) {
  const KeyMessage m = KeyMessageOf(virtualKey, down, altHeld);
  PostMessageW(target, m.message, static_cast<WPARAM>(virtualKey), m.lParam);
}

HWND OperatorWindow() {
  HWND active = GetActiveWindow();
  if (active && IsWindow(active)) return active;
  return FindWindowExW(nullptr, nullptr, nullptr, nullptr);
}

HWND KeyTarget() {
  HWND focus = GetFocus();
  return focus && IsWindow(focus) ? focus : OperatorWindow();
}

bool ChooseMenuCommand(HWND top, UINT id) {
  HMENU menu = GetMenu(top);
  const UINT state = menu ? GetMenuState(menu, id, MF_BYCOMMAND) : kMenuItemNotFound;
  if (state == kMenuItemNotFound) return false;
  if (state & (MF_GRAYED | MF_DISABLED)) {
    uiscript::Transcript::Write({"menu", std::to_string(id), "greyed"});
    return false;
  }
  return PostMessageW(top, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
}

bool ClickToolbarButton(HWND toolbar, int id) {
  const LRESULT index = SendMessageW(toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(id), 0);
  RECT r;
  if (index < 0 || !SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)))
    return false;
  const LPARAM at = MAKELPARAM(static_cast<WORD>((r.left + r.right) / 2), static_cast<WORD>((r.top + r.bottom) / 2));
  PostMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(toolbar, WM_LBUTTONUP, 0, at);
  return true;
}

void PostSysCommand(HWND top, WPARAM command) { PostMessageW(top, WM_SYSCOMMAND, command, 0); }

}  // namespace win

#include "platform/screen/window_input.h"

#include <gdk/gdk.h>

namespace screen {

using namespace win;

UINT ButtonMessageOf(unsigned button, int presses) {
  static constexpr UINT kMessages[3][3] = {
      {WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK},
      {WM_MBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONDBLCLK},
      {WM_RBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK},
  };
  if (button < 1 || button > 3 || presses < 0 || presses > 2) return WM_NULL;
  return kMessages[button - 1][presses];
}

WPARAM MouseKeysOf(unsigned state, unsigned button, bool down) {
  struct Flag {
    unsigned mask;
    unsigned button;
    WPARAM key;
  };
  static constexpr Flag kFlags[] = {
      {GDK_BUTTON1_MASK, 1, MK_LBUTTON}, {GDK_BUTTON2_MASK, 2, MK_MBUTTON}, {GDK_BUTTON3_MASK, 3, MK_RBUTTON},
      {GDK_SHIFT_MASK, 0, MK_SHIFT},     {GDK_CONTROL_MASK, 0, MK_CONTROL},
  };
  WPARAM keys = 0;
  for (const Flag& f : kFlags) {
    bool held = (state & f.mask) != 0;
    // GDK reports the state before the event; the message tells the one after.
    if (f.button != 0 && f.button == button) held = down;
    if (held) keys |= f.key;
  }
  return keys;
}

int WheelDeltaOf(int direction) {
  switch (direction) {
    case GDK_SCROLL_UP: return WHEEL_DELTA;
    case GDK_SCROLL_DOWN: return -WHEEL_DELTA;
    default: return 0;
  }
}

RECT ModelRectOf(int x, int y, int width, int height, const RECT& frame) {
  return RECT{x, y, x + frame.left + width + frame.right, y + frame.top + height + frame.bottom};
}

RECT NonClientOf(HWND hwnd) {
  RECT window, client;
  POINT origin;
  if (!GetWindowRect(hwnd, &window) || !GetClientRect(hwnd, &client) || !ClientToScreen(hwnd, &origin)) return {};
  return RECT{origin.x - window.left, origin.y - window.top, window.right - origin.x - client.right,
              window.bottom - origin.y - client.bottom};
}

}  // namespace screen

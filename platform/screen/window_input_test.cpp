#include "platform/screen/window_input.h"

#include <gdk/gdk.h>
#include <gtest/gtest.h>

#include "platform/windows/menu.h"

namespace screen {
namespace {

using namespace win;

TEST(WindowInputTest, ButtonsBecomeTheirMessages) {
  struct Case {
    unsigned button;
    int presses;
    UINT message;
  };
  const Case cases[] = {
      {1, 1, WM_LBUTTONDOWN}, {1, 0, WM_LBUTTONUP}, {1, 2, WM_LBUTTONDBLCLK}, {3, 1, WM_RBUTTONDOWN},
      {3, 2, WM_RBUTTONDBLCLK}, {2, 0, WM_MBUTTONUP}, {2, 1, WM_MBUTTONDOWN}, {4, 1, WM_NULL}, {0, 1, WM_NULL},
  };
  for (const Case& c : cases) EXPECT_EQ(ButtonMessageOf(c.button, c.presses), c.message) << c.button << "/" << c.presses;
}

TEST(WindowInputTest, MouseKeysTellTheStateAfterTheEvent) {
  struct Case {
    unsigned state, button;
    bool down;
    WPARAM keys;
  };
  const Case cases[] = {
      {0, 1, true, MK_LBUTTON},
      {GDK_BUTTON1_MASK, 1, false, 0},                         // the left button's release
      {GDK_BUTTON1_MASK | GDK_SHIFT_MASK, 3, true, MK_LBUTTON | MK_RBUTTON | MK_SHIFT},
      {GDK_CONTROL_MASK | GDK_BUTTON2_MASK, 0, false, MK_CONTROL | MK_MBUTTON},  // a move
      {GDK_MOD1_MASK, 0, false, 0},                            // Alt is not a mouse key
  };
  for (const Case& c : cases) EXPECT_EQ(MouseKeysOf(c.state, c.button, c.down), c.keys) << c.state << "/" << c.button;
}

TEST(WindowInputTest, WheelNotches) {
  EXPECT_EQ(WheelDeltaOf(GDK_SCROLL_UP), WHEEL_DELTA);
  EXPECT_EQ(WheelDeltaOf(GDK_SCROLL_DOWN), -WHEEL_DELTA);
  EXPECT_EQ(WheelDeltaOf(GDK_SCROLL_LEFT), 0);
  EXPECT_EQ(WheelDeltaOf(GDK_SCROLL_SMOOTH), 0);
}

TEST(WindowInputTest, AFramesModelRectangleAddsItsFrameToTheClientArea) {
  struct Case {
    int x, y, width, height;
    RECT frame, model;
  };
  const Case cases[] = {
      {100, 120, 592, 452, {4, 44, 4, 4}, {100, 120, 700, 620}},
      {0, 0, 300, 200, {0, 0, 0, 0}, {0, 0, 300, 200}},
      {-10, 5, 0, 0, {4, 24, 4, 4}, {-10, 5, -2, 33}},
  };
  for (const Case& c : cases) EXPECT_EQ(ModelRectOf(c.x, c.y, c.width, c.height, c.frame), c.model) << c.x;
}

TEST(WindowInputTest, TheFrameAroundAClientAreaIsTheModels) {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"WindowInputTest";
  RegisterClassExW(&wc);
  HMENU menu = CreateMenu();
  HWND plain = CreateWindowExW(0, L"WindowInputTest", L"p", WS_OVERLAPPEDWINDOW, 10, 10, 400, 300, nullptr, nullptr,
                               nullptr, nullptr);
  HWND withMenu = CreateWindowExW(0, L"WindowInputTest", L"m", WS_OVERLAPPEDWINDOW, 10, 10, 400, 300, nullptr, menu,
                                  nullptr, nullptr);
  EXPECT_EQ(NonClientOf(plain), (RECT{4, 24, 4, 4}));
  EXPECT_EQ(NonClientOf(withMenu), (RECT{4, 44, 4, 4}));
  RECT r;
  GetWindowRect(withMenu, &r);
  RECT client;
  GetClientRect(withMenu, &client);
  EXPECT_EQ(ModelRectOf(r.left, r.top, client.right, client.bottom, NonClientOf(withMenu)), r);
  DestroyWindow(plain);
  DestroyWindow(withMenu);
}

}  // namespace
}  // namespace screen

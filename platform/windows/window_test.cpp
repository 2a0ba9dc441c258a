#include "platform/windows/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/windows/menu.h"
#include "platform/windows/script.h"

namespace win {
namespace {

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
};
std::vector<Seen> g_seen;
LRESULT g_createAnswer = 0;

LRESULT RecordingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  g_seen.push_back({h, m, w});
  if (m == WM_CREATE) return g_createAnswer;
  return DefWindowProcW(h, m, w, l);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowsForTest();
    SetScriptForTest({});
    g_seen.clear();
    g_createAnswer = 0;
    WNDCLASSEXW wc;
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = reinterpret_cast<HINSTANCE>(uintptr_t{0x400000});
    wc.lpszClassName = L"Rec";
    ASSERT_TRUE(RegisterClassExW(&wc));
  }
  void TearDown() override { ResetWindowsForTest(); }

  static HWND Top() {
    return CreateWindowExW(0, L"Rec", L"top", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr, nullptr,
                           nullptr);
  }
  static HWND Child(HWND parent, int id) {
    return CreateWindowExW(0, L"Rec", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }
  static std::vector<UINT> MessagesOf(HWND h) {
    std::vector<UINT> out;
    for (const auto& s : g_seen)
      if (s.hwnd == h) out.push_back(s.msg);
    return out;
  }
};

TEST_F(WindowTest, DestroyNotifiesParentThenChildrenAndStalesHandles) {
  HWND top = Top();
  HWND child = Child(top, 7);
  ASSERT_TRUE(top && child);
  EXPECT_EQ(GetDlgItem(top, 7), child);
  g_seen.clear();
  ASSERT_TRUE(DestroyWindow(top));
  std::vector<std::pair<HWND, UINT>> order;
  for (const auto& s : g_seen)
    if (s.msg == WM_DESTROY || s.msg == WM_NCDESTROY) order.emplace_back(s.hwnd, s.msg);
  std::vector<std::pair<HWND, UINT>> expected = {
      {top, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(SendMessageW(top, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(WindowTest, CreateThatAnswersMinusOneFailsAndLeavesNoWindow) {
  g_createAnswer = -1;
  EXPECT_EQ(Top(), nullptr);
  EXPECT_EQ(FindWindowExW(nullptr, nullptr, L"Rec", nullptr), nullptr);
  ASSERT_FALSE(g_seen.empty());
  EXPECT_EQ(g_seen.back().msg, static_cast<UINT>(WM_NCDESTROY));
}

TEST_F(WindowTest, CreationSendsSizeOfTheClientAreaAfterCreate) {
  HWND top = Top();
  auto msgs = MessagesOf(top);
  ASSERT_GE(msgs.size(), 3u);
  EXPECT_EQ(msgs[0], static_cast<UINT>(WM_NCCREATE));
  EXPECT_EQ(msgs[1], static_cast<UINT>(WM_CREATE));
  EXPECT_EQ(msgs[2], static_cast<UINT>(WM_SIZE));
  RECT client;
  GetClientRect(top, &client);
  EXPECT_EQ(client.right, 400 - 8);
  EXPECT_EQ(client.bottom, 300 - 8 - 20);  // frame and caption, no menu
  SetMenu(top, CreateMenu());
  GetClientRect(top, &client);
  EXPECT_EQ(client.bottom, 300 - 8 - 20 - 20);
}

LRESULT g_subclassCalls = 0;
WNDPROC g_previous = nullptr;
LRESULT Subclass(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) return 42;
  ++g_subclassCalls;
  return CallWindowProcW(g_previous, h, m, w, l);
}

TEST_F(WindowTest, SubclassSeesMessagesFirstAndPropertiesIgnoreCase) {
  HWND top = Top();
  g_previous = LongToProc(SetWindowLongPtrW(top, GWLP_WNDPROC, ProcToLong(Subclass)));
  EXPECT_EQ(g_previous, RecordingProc);
  EXPECT_EQ(SendMessageW(top, WM_USER, 0, 0), 42);
  g_seen.clear();
  SetWindowTextW(top, L"renamed");
  EXPECT_EQ(g_subclassCalls, 1);
  EXPECT_EQ(MessagesOf(top), std::vector<UINT>{WM_SETTEXT});
  EXPECT_EQ(GetWindowTextW(top), L"renamed");

  int marker = 0;
  ASSERT_TRUE(SetPropW(top, L"Old_Proc", &marker));
  EXPECT_EQ(GetPropW(top, L"OLD_PROC"), &marker);
  EXPECT_EQ(RemovePropW(top, L"old_proc"), &marker);
  EXPECT_EQ(GetPropW(top, L"OLD_PROC"), nullptr);
}

TEST_F(WindowTest, QuitArrivesAfterEveryPostedMessage) {
  HWND top = Top();
  PostMessageW(top, WM_USER + 1, 0, 0);
  PostQuitMessage(-2);
  PostMessageW(top, WM_USER + 2, 0, 0);
  MSG m;
  std::vector<UINT> got;
  int r;
  while ((r = GetMessageW(&m, nullptr, 0, 0)) > 0) got.push_back(m.message);
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(static_cast<int>(m.wParam), -2);
}

TEST_F(WindowTest, PeekWithoutRemovalLeavesTheMessage) {
  HWND top = Top();
  PostMessageW(top, WM_USER, 5, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 5u);
  EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, DestroyedWindowLosesItsQueuedMessages) {
  HWND top = Top();
  HWND other = Top();
  PostMessageW(top, WM_USER, 0, 0);
  PostMessageW(other, WM_USER, 0, 0);
  DestroyWindow(top);
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, other);
  EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

// Pumps everything queued through the accelerator, translation and dispatch
// steps of a program's loop.
void Pump(HWND frame, HACCEL accel) {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (!TranslateAcceleratorW(frame, accel, &m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
}

void PostKey(HWND h, int vk, bool ctrl) {
  if (ctrl) PostMessageW(h, WM_KEYDOWN, VK_CONTROL, 1);
  PostMessageW(h, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
  PostMessageW(h, WM_KEYUP, static_cast<WPARAM>(vk), 1);
  if (ctrl) PostMessageW(h, WM_KEYUP, VK_CONTROL, 1);
}

TEST_F(WindowTest, CharacterAcceleratorFollowsTheMenuItemState) {
  HMENU menu = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 501, L"&Print");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  HWND top = CreateWindowExW(0, L"Rec", L"t", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, menu, nullptr, nullptr);
  HWND child = Child(top, 1);
  ACCEL a{0, 16, 501};  // Ctrl+P as a character
  HACCEL accel = CreateAcceleratorTableW(&a, 1);
  auto commands = [&] {
    int n = 0;
    for (const auto& s : g_seen)
      if (s.hwnd == top && s.msg == WM_COMMAND && LOWORD(s.wParam) == 501 && HIWORD(s.wParam) == 1) ++n;
    return n;
  };

  PostKey(child, 'P', true);
  Pump(top, accel);
  EXPECT_EQ(commands(), 1);
  PostKey(child, 'P', false);  // a plain "p" is no accelerator
  Pump(top, accel);
  EXPECT_EQ(commands(), 1);
  EnableMenuItem(menu, 501, MF_BYCOMMAND | MF_GRAYED);
  PostKey(child, 'P', true);
  Pump(top, accel);
  EXPECT_EQ(commands(), 1);
  EXPECT_EQ(GetMenuState(menu, 501, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
}

TEST_F(WindowTest, CtrlLetterCharComesBeforeLaterInput) {
  HWND top = Top();
  PostMessageW(top, WM_KEYDOWN, VK_CONTROL, 1);
  PostMessageW(top, WM_KEYDOWN, 'P', 1);
  PostMessageW(top, WM_USER, 0, 0);
  MSG m;
  std::vector<std::pair<UINT, WPARAM>> order;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    order.emplace_back(m.message, m.wParam);
    TranslateMessage(&m);
  }
  std::vector<std::pair<UINT, WPARAM>> expected = {
      {WM_KEYDOWN, VK_CONTROL}, {WM_KEYDOWN, 'P'}, {WM_CHAR, 16}, {WM_USER, 0}};
  EXPECT_EQ(order, expected);
}

TEST_F(WindowTest, AltF4OnAChildClosesTheTopLevelWindow) {
  HWND top = Top();
  HWND child = Child(top, 1);
  SendMessageW(child, WM_SYSKEYDOWN, VK_F4, 1 | KF_ALTDOWN_LPARAM);
  EXPECT_FALSE(IsWindow(top));  // WM_CLOSE reached DefWindowProcW
  auto close = MessagesOf(top);
  EXPECT_NE(std::find(close.begin(), close.end(), static_cast<UINT>(WM_CLOSE)), close.end());
}

TEST_F(WindowTest, ShowingActivatesAndFocusesTheWindow) {
  HWND top = Top();
  g_seen.clear();
  ShowWindow(top, SW_SHOWNORMAL);
  EXPECT_TRUE(IsWindowVisible(top));
  EXPECT_EQ(GetActiveWindow(), top);
  EXPECT_EQ(GetFocus(), top);
  auto msgs = MessagesOf(top);
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), static_cast<UINT>(WM_SETFOCUS)), msgs.end());
}

TEST_F(WindowTest, PlacementKeepsTheNormalRectangleWhileMaximised) {
  HWND top = Top();
  ShowWindow(top, SW_SHOWNORMAL);
  ShowWindow(top, SW_MAXIMIZE);
  WINDOWPLACEMENT wp;
  ASSERT_TRUE(GetWindowPlacement(top, &wp));
  EXPECT_EQ(wp.length, 44u);
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_EQ(wp.rcNormalPosition, (RECT{100, 100, 500, 400}));
  ShowWindow(top, SW_RESTORE);
  RECT r;
  GetWindowRect(top, &r);
  EXPECT_EQ(r, (RECT{100, 100, 500, 400}));

  wp.showCmd = SW_SHOWNORMAL;
  wp.rcNormalPosition = {200, 150, 800, 650};
  ASSERT_TRUE(SetWindowPlacement(top, &wp));
  GetWindowRect(top, &r);
  EXPECT_EQ(r, (RECT{200, 150, 800, 650}));
  wp.length = 40;
  EXPECT_FALSE(SetWindowPlacement(top, &wp));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(WindowTest, AMaximisedWindowMovedKeepsItsStateAndItsNormalRectangle) {
  HWND top = Top();
  ShowWindow(top, SW_SHOWNORMAL);
  ShowWindow(top, SW_MAXIMIZE);
  MoveWindow(top, 0, 0, 1000, 700, true);  // where a window manager maximised it
  RECT r;
  GetWindowRect(top, &r);
  EXPECT_EQ(r, (RECT{0, 0, 1000, 700}));
  EXPECT_TRUE(IsZoomed(top));
  WINDOWPLACEMENT wp;
  ASSERT_TRUE(GetWindowPlacement(top, &wp));
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_EQ(wp.rcNormalPosition, (RECT{100, 100, 500, 400}));
  ShowWindow(top, SW_RESTORE);
  GetWindowRect(top, &r);
  EXPECT_EQ(r, (RECT{100, 100, 500, 400}));
}

TEST_F(WindowTest, DefaultPlacementAndScreenMetrics) {
  HWND top = CreateWindowExW(0, L"Rec", L"t", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  RECT r;
  GetWindowRect(top, &r);
  EXPECT_EQ(r, (RECT{40, 40, 40 + 960, 40 + 768}));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
  EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), 1280);
  EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), 1024 - 60);
}

TEST_F(WindowTest, AChildsScrollBarsStandOutsideItsClientArea) {
  HWND top = Top();
  struct Case {
    DWORD style;
    RECT client;
  };
  for (const Case& c : std::vector<Case>{{0, {0, 0, 200, 100}},
                                         {WS_VSCROLL, {0, 0, 183, 100}},
                                         {WS_VSCROLL | WS_HSCROLL, {0, 0, 183, 83}},
                                         {WS_BORDER | WS_HSCROLL, {0, 0, 198, 81}}}) {
    HWND child = CreateWindowExW(0, L"Rec", L"", WS_CHILD | c.style, 0, 0, 200, 100, top, nullptr, nullptr, nullptr);
    RECT r;
    GetClientRect(child, &r);
    EXPECT_EQ(r, c.client) << c.style;
    DestroyWindow(child);
  }
}

TEST_F(WindowTest, ChildRectanglesAreInParentClientCoordinates) {
  HWND top = Top();
  HWND child = Child(top, 1);
  MoveWindow(child, 10, 20, 50, 30, true);
  RECT r;
  GetWindowRect(child, &r);
  EXPECT_EQ(r, (RECT{100 + 4 + 10, 100 + 24 + 20, 100 + 4 + 60, 100 + 24 + 50}));
  auto msgs = MessagesOf(child);
  EXPECT_EQ(msgs.back(), static_cast<UINT>(WM_MOVE));
}

}  // namespace
}  // namespace win

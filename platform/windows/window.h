#pragma once
// The headless window manager: window classes, a window tree, messages, one
// thread message queue with its loop, properties, subclassing, focus,
// placement and the screen metrics.
//
// Nothing is drawn. Windows keep their class, text, styles, rectangle,
// parent, children and properties; messages reach their window procedure as
// on the platform (SendMessageW calls it at once, PostMessageW queues).
// The first handle of the tree is the desktop window, which is visible.
//
// When GetMessageW finds the queue empty it runs the next step of the
// operator script (script.h); PeekMessageW runs only steps marked "nested".
// On a real screen (display.h) both run the screen's events first, and an
// operator's session without a script waits in GetMessageW for real input.
// One UI thread: none of these calls may be made from another thread.
//
// Non-client metrics (fixed): a top-level window with a caption has a
// 4-pixel frame on every side, a 20-pixel caption and, with a menu, a
// 20-pixel menu bar above its client area; a child window has a 1-pixel
// border with WS_BORDER, and its scroll bars (WS_VSCROLL, WS_HSCROLL) stand
// outside its client area, 17 pixels at the right and at the bottom.
// ORN_SCREEN="WxH" sets the screen size in pixels (default 1280x1024; a
// malformed value ends the run with 124 at first use); the full-screen
// client area (SM_CXFULLSCREEN, SM_CYFULLSCREEN) is the screen less a
// 40-pixel task bar and the 20-pixel caption in height. The desktop window
// is visible unless ORN_DESKTOP is "hidden" (uiscript::DesktopVisible).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/windows/errors.h"

namespace win {

using BOOL = int32_t;
using UINT = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using LONG = int32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using HANDLE = void*;

// Handles are opaque numbers; a stale handle is detected, never followed.
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HMENU__;
using HMENU = HMENU__*;
struct HACCEL__;
using HACCEL = HACCEL__*;
struct HICON__;
using HICON = HICON__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HDC__;
using HDC = HDC__*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
  LONG x = 0, y = 0;
};
struct RECT {
  LONG left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const RECT&) const = default;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

struct CREATESTRUCTW {
  void* lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy, cx, y, x;
  LONG style;
  const wchar_t* lpszName;
  const wchar_t* lpszClass;
  DWORD dwExStyle;
};

struct WNDCLASSEXW {
  UINT cbSize = sizeof(WNDCLASSEXW);
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;  // bytes, in steps of sizeof(LONG_PTR)
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;
  const wchar_t* lpszMenuName = nullptr;
  const wchar_t* lpszClassName = nullptr;
  HICON hIconSm = nullptr;
};

// The platform's placement record: eleven 32-bit fields, 44 bytes.
struct WINDOWPLACEMENT {
  UINT length = sizeof(WINDOWPLACEMENT);
  UINT flags = 0;
  UINT showCmd = 0;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};
static_assert(sizeof(WINDOWPLACEMENT) == 44);

// Resource ids travel as names whose value is below 0x10000.
inline const wchar_t* MAKEINTRESOURCEW(int id) {
  return reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(static_cast<WORD>(id)));
}
inline bool IS_INTRESOURCE(const wchar_t* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return static_cast<WPARAM>(lo) | (static_cast<WPARAM>(hi) << 16); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
  return static_cast<LPARAM>(static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 16));
}
// Signed coordinates packed in a mouse message's lParam.
constexpr int GET_X_LPARAM(LPARAM l) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(l))); }
constexpr int GET_Y_LPARAM(LPARAM l) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(l))); }

enum Message : UINT {
  WM_NULL = 0x0000,
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_ENABLE = 0x000A,
  WM_SETREDRAW = 0x000B,
  WM_SETTEXT = 0x000C,
  WM_GETTEXT = 0x000D,
  WM_GETTEXTLENGTH = 0x000E,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUERYENDSESSION = 0x0011,
  WM_QUIT = 0x0012,
  WM_ENDSESSION = 0x0016,
  WM_SHOWWINDOW = 0x0018,
  WM_SETCURSOR = 0x0020,
  WM_NCCREATE = 0x0081,
  WM_NCDESTROY = 0x0082,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_SYSCHAR = 0x0106,
  WM_INITDIALOG = 0x0110,
  WM_COMMAND = 0x0111,
  WM_SYSCOMMAND = 0x0112,
  WM_HSCROLL = 0x0114,
  WM_VSCROLL = 0x0115,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MBUTTONDBLCLK = 0x0209,
  WM_MOUSEWHEEL = 0x020A,
  WM_CUT = 0x0300,
  WM_COPY = 0x0301,
  WM_PASTE = 0x0302,
  WM_CLEAR = 0x0303,
  WM_USER = 0x0400,
};

inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

enum ShowCommand : int {
  SW_HIDE = 0,
  SW_SHOWNORMAL = 1,
  SW_SHOWMINIMIZED = 2,
  SW_SHOWMAXIMIZED = 3,
  SW_MAXIMIZE = 3,
  SW_SHOWNOACTIVATE = 4,
  SW_SHOW = 5,
  SW_MINIMIZE = 6,
  SW_SHOWMINNOACTIVE = 7,
  SW_SHOWNA = 8,
  SW_RESTORE = 9,
  SW_SHOWDEFAULT = 10,
  SW_FORCEMINIMIZE = 11,
};

enum WindowLongIndex : int {
  GWLP_WNDPROC = -4,
  GWLP_HINSTANCE = -6,
  GWLP_ID = -12,
  GWL_STYLE = -16,
  GWL_EXSTYLE = -20,
  GWLP_USERDATA = -21,
};
enum ClassLongIndex : int { GCLP_HCURSOR = -12, GCLP_HICON = -14, GCLP_HBRBACKGROUND = -10 };

inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;

enum SysCommand : WPARAM { SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_CLOSE = 0xF060, SC_RESTORE = 0xF120 };
enum SizeType : WPARAM { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };
enum ActivateState : WPARAM { WA_INACTIVE = 0, WA_ACTIVE = 1 };

enum SystemMetric : int { SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17 };

enum PeekFlags : UINT { PM_NOREMOVE = 0, PM_REMOVE = 1 };

enum GetWindowCmd : UINT { GW_HWNDNEXT = 2, GW_OWNER = 4, GW_CHILD = 5 };
enum AncestorFlags : UINT { GA_PARENT = 1, GA_ROOT = 2 };

// Virtual keys the stand-in knows.
enum VirtualKey : int {
  VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
  VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
  VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28,
  VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_F1 = 0x70, VK_F4 = 0x73, VK_F12 = 0x7B,
};
// Bit 29 of a key message's lParam: the Alt key is down.
constexpr LPARAM KF_ALTDOWN_LPARAM = LPARAM{1} << 29;

// Mouse key flags in wParam of mouse messages.
inline constexpr WPARAM MK_LBUTTON = 1;
inline constexpr WPARAM MK_RBUTTON = 2;
inline constexpr WPARAM MK_SHIFT = 4;
inline constexpr WPARAM MK_CONTROL = 8;
inline constexpr WPARAM MK_MBUTTON = 0x10;
constexpr int WHEEL_DELTA = 120;

enum SystemColor : int { COLOR_MENU = 4, COLOR_WINDOW = 5 };

// ---- classes and windows

// Registers a class; false (ERROR_CLASS_ALREADY_EXISTS 1410) when the name is
// taken. Names compare without regard to case.
bool RegisterClassExW(const WNDCLASSEXW* wc);
bool UnregisterClassW(const wchar_t* className, HINSTANCE instance);
bool GetClassInfoExW(HINSTANCE instance, const wchar_t* className, WNDCLASSEXW* out);
// GCLP_HICON, GCLP_HCURSOR, GCLP_HBRBACKGROUND of the window's class.
uintptr_t SetClassLongPtrW(HWND hwnd, int index, uintptr_t value);
uintptr_t GetClassLongPtrW(HWND hwnd, int index);
std::wstring GetClassNameW(HWND hwnd);

// Creates a window. `menuOrId` is the menu of a top-level window or the id of
// a child. Sends WM_NCCREATE (FALSE ends the creation), WM_CREATE (-1 ends
// it; the window is then destroyed and null returned), then WM_SIZE and
// WM_MOVE. CW_USEDEFAULT places a top-level window at (40, 40) with three
// quarters of the screen's width and height.
HWND CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                     HINSTANCE instance, void* param);
// Sends WM_DESTROY to the window, destroys its children (each receiving
// WM_DESTROY and WM_NCDESTROY), then sends WM_NCDESTROY; the handle is
// stale afterwards.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
HWND GetDesktopWindow();
HWND GetParent(HWND hwnd);
HWND GetAncestor(HWND hwnd, UINT flags);
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetDlgItem(HWND parent, int id);
// The first child of `parent` (null: a top-level window) after `after` with
// the class and/or window text given (null matches anything).
HWND FindWindowExW(HWND parent, HWND after, const wchar_t* className, const wchar_t* windowName);

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);

// The menu bar of a top-level window (menu.h builds menus).
HMENU GetMenu(HWND hwnd);
bool SetMenu(HWND hwnd, HMENU menu);

// The text of a top-level window goes into the transcript when it changes:
//   caption | <class name> | <text>
bool SetWindowTextW(HWND hwnd, const wchar_t* text);
std::wstring GetWindowTextW(HWND hwnd);

bool ShowWindow(HWND hwnd, int cmd);  // true when the window was visible before
bool IsWindowVisible(HWND hwnd);
bool IsIconic(HWND hwnd);
bool IsZoomed(HWND hwnd);
bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);
bool UpdateWindow(HWND hwnd);
bool InvalidateRect(HWND hwnd, const RECT* rect, bool erase);

// Rectangles: window rectangles in screen coordinates, client rectangles
// with origin 0,0.
bool GetWindowRect(HWND hwnd, RECT* out);
bool GetClientRect(HWND hwnd, RECT* out);
bool ClientToScreen(HWND hwnd, POINT* pt);
bool ScreenToClient(HWND hwnd, POINT* pt);
// Positions are in the parent's client coordinates (screen for top-level).
// A maximised or minimised top-level window keeps its state and the normal
// rectangle that GetWindowPlacement reports.
bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint);
bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* out);
// Fails with ERROR_INVALID_PARAMETER unless length is sizeof(WINDOWPLACEMENT).
bool SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* wp);

HWND SetFocus(HWND hwnd);  // returns the previous focus window
HWND GetFocus();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);

int GetSystemMetrics(int index);

// ---- properties and subclassing

bool SetPropW(HWND hwnd, const wchar_t* name, HANDLE data);
HANDLE GetPropW(HWND hwnd, const wchar_t* name);
HANDLE RemovePropW(HWND hwnd, const wchar_t* name);

// A window procedure kept in a HANDLE-sized slot (property, long value).
inline HANDLE ProcToHandle(WNDPROC proc) { return reinterpret_cast<HANDLE>(reinterpret_cast<uintptr_t>(proc)); }
inline WNDPROC HandleToProc(HANDLE h) { return reinterpret_cast<WNDPROC>(reinterpret_cast<uintptr_t>(h)); }
inline LONG_PTR ProcToLong(WNDPROC proc) { return static_cast<LONG_PTR>(reinterpret_cast<uintptr_t>(proc)); }
inline WNDPROC LongToProc(LONG_PTR v) { return reinterpret_cast<WNDPROC>(static_cast<uintptr_t>(v)); }

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Default handling: WM_NCCREATE takes the window text, WM_SETTEXT,
// WM_GETTEXT, WM_GETTEXTLENGTH, WM_CLOSE destroys the window, WM_SYSCOMMAND
// (SC_CLOSE sends WM_CLOSE, SC_MINIMIZE/SC_MAXIMIZE/SC_RESTORE), Alt+F4 in
// WM_SYSKEYDOWN sends SC_CLOSE to the top-level window, WM_ACTIVATE sets
// the focus to the window, WM_MOUSEWHEEL goes on to the parent.
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- messages and the loop

// 0 and ERROR_INVALID_WINDOW_HANDLE for a stale handle.
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Returns 0 for WM_QUIT (its wParam is the exit code), else 1. Filters are
// not supported (hwnd must be null, range 0/0). An empty queue runs the
// screen's events (display.h), then the next script step (script.h), then,
// in an operator's session on the screen, waits for real input; when
// nothing is left to do and no top-level window exists, it answers WM_QUIT
// with code 0 instead of waiting for ever.
int GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
bool PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// WM_KEYDOWN of a character key posts WM_CHAR (Ctrl+letter: the control
// code, 1 to 26); WM_SYSKEYDOWN with Alt and a letter posts WM_SYSCHAR.
bool TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
// The key's state as the thread has read it from the queue: bit 15 set
// while it is down.
int16_t GetKeyState(int virtualKey);

// ---- cursors

enum CursorId : int { IDC_ARROW = 32512, IDC_WAIT = 32514 };
HCURSOR LoadCursorW(HINSTANCE instance, const wchar_t* name);
HCURSOR SetCursor(HCURSOR cursor);  // returns the previous cursor
HCURSOR GetCursor();

// ---- clipboard (text only)

void SetClipboardText(std::wstring text);
bool GetClipboardText(std::wstring* out);  // false when the clipboard is empty
void EmptyClipboard();

// Destroys every window, empties the queue, the quit flag, the focus, the
// registered classes of programs and the script: a clean state for the next
// test.
void ResetWindowsForTest();

}  // namespace win

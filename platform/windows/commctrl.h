#pragma once
// Common controls: the status bar and the toolbar.
//
// Status bar ("msctls_statusbar32"): sizes itself to the bottom 22 pixels of
// its parent's client area on WM_SIZE; keeps the texts of its parts and, in
// simple mode, one simple text (part SB_SIMPLEID). A change of the shown
// text goes into the transcript:  status | <text>
//
// Toolbar ("ToolbarWindow32"): sizes itself to the top 28 pixels of its
// parent on WM_SIZE and TB_AUTOSIZE; buttons of 64 x 24 pixels stand side by
// side from the left. A left click (button down and up) on a button whose
// state has TBSTATE_ENABLED sends WM_COMMAND with its command id to the
// parent.

#include <cstdint>

#include "platform/windows/window.h"

namespace win {

struct INITCOMMONCONTROLSEX {
  DWORD dwSize = sizeof(INITCOMMONCONTROLSEX);
  DWORD dwICC = 0;
};
inline constexpr DWORD ICC_BAR_CLASSES = 0x4;
inline constexpr DWORD ICC_WIN95_CLASSES = 0xFF;
// Registers the classes of the groups asked for.
bool InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc);

inline constexpr const wchar_t* STATUSCLASSNAMEW = L"msctls_statusbar32";
inline constexpr const wchar_t* TOOLBARCLASSNAMEW = L"ToolbarWindow32";

enum StatusBarMessage : UINT {
  SB_SETPARTS = WM_USER + 4,
  SB_GETPARTS = WM_USER + 6,
  SB_SIMPLE = WM_USER + 9,
  SB_SETTEXTW = WM_USER + 11,
  SB_GETTEXTLENGTHW = WM_USER + 12,
  SB_GETTEXTW = WM_USER + 13,
  SB_ISSIMPLE = WM_USER + 14,
};
constexpr WPARAM SB_SIMPLEID = 0xFF;

enum ToolbarMessage : UINT {
  TB_SETSTATE = WM_USER + 17,
  TB_GETSTATE = WM_USER + 18,
  TB_GETBUTTON = WM_USER + 23,
  TB_BUTTONCOUNT = WM_USER + 24,
  TB_COMMANDTOINDEX = WM_USER + 25,
  TB_GETITEMRECT = WM_USER + 29,
  TB_BUTTONSTRUCTSIZE = WM_USER + 30,
  TB_AUTOSIZE = WM_USER + 33,
  TB_LOADIMAGES = WM_USER + 50,
  TB_ADDBUTTONSW = WM_USER + 68,
  TB_GETBUTTONTEXTW = WM_USER + 75,
  TB_ADDSTRINGW = WM_USER + 77,
};

inline constexpr BYTE TBSTATE_CHECKED = 0x01;
inline constexpr BYTE TBSTATE_PRESSED = 0x02;
inline constexpr BYTE TBSTATE_ENABLED = 0x04;
inline constexpr BYTE TBSTATE_HIDDEN = 0x08;
inline constexpr BYTE TBSTATE_INDETERMINATE = 0x10;
inline constexpr DWORD TBSTYLE_FLAT = 0x0800;
inline constexpr DWORD TBSTYLE_TRANSPARENT = 0x8000;
inline constexpr BYTE BTNS_BUTTON = 0x00;
inline constexpr BYTE BTNS_SEP = 0x01;
enum ToolbarImages : WPARAM { IDB_STD_SMALL_COLOR = 0, IDB_STD_LARGE_COLOR = 1 };
// The instance that stands for the common controls' own bitmaps.
inline HINSTANCE HINST_COMMCTRL() { return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(-1)); }
enum StandardBitmap : int { STD_PRINT = 14 };

// Layout of the Linux ABI (the platform's 32-bit layout is 20 bytes);
// TB_BUTTONSTRUCTSIZE must be given sizeof(TBBUTTON).
struct TBBUTTON {
  int iBitmap = 0;
  int idCommand = 0;
  BYTE fsState = 0;
  BYTE fsStyle = 0;
  BYTE bReserved[6] = {};
  uintptr_t dwData = 0;
  intptr_t iString = 0;  // index of an added string, or a text pointer
};

enum NotifyCode : WORD { BN_CLICKED = 0 };

}  // namespace win

#pragma once
// Menus and accelerator tables.
//
// A menu is a list of items: commands (an id and a text), separators and
// popups (a sub-menu). Items are found by command id anywhere below a menu
// (MF_BYCOMMAND) or by position in one menu (MF_BYPOSITION).

#include <string>
#include <vector>

#include "platform/windows/window.h"

namespace win {

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT kMenuItemNotFound = 0xFFFFFFFF;

HMENU CreateMenu();
HMENU CreatePopupMenu();
bool DestroyMenu(HMENU menu);  // destroys its popups too
bool IsMenu(HMENU menu);
// `idOrPopup`: the command id, or the HMENU of a popup with MF_POPUP.
bool AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, const wchar_t* text);
// Returns the item's previous MF_GRAYED/MF_DISABLED bits, or
// kMenuItemNotFound when there is no such item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
// The item's flags, or kMenuItemNotFound.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);  // kMenuItemNotFound for popups
HMENU GetSubMenu(HMENU menu, int position);
std::wstring GetMenuStringW(HMENU menu, UINT item, UINT flags);

// ---- accelerators

inline constexpr BYTE FVIRTKEY = 0x01;
inline constexpr BYTE FSHIFT = 0x04;
inline constexpr BYTE FCONTROL = 0x08;
inline constexpr BYTE FALT = 0x10;
struct ACCEL {
  BYTE fVirt = 0;  // FVIRTKEY: `key` is a virtual key; else a character code
  WORD key = 0;
  WORD cmd = 0;
};

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
bool DestroyAcceleratorTable(HACCEL table);
// Matches WM_KEYDOWN/WM_SYSKEYDOWN against virtual-key entries (with the
// Shift, Ctrl and Alt states) and WM_CHAR/WM_SYSCHAR against character
// entries. A match sends WM_COMMAND (high word 1) to `hwnd` unless the
// command is a greyed or disabled item of the window's menu, and returns
// true either way.
bool TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg);

}  // namespace win

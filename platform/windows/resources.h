#pragma once
// Program resources and libraries.
//
// A program's resources (its resource script on the platform) are added at
// start-up under its instance handle, then loaded by id as on the platform.
// Libraries such as the rich edit control register themselves under their
// file name; LoadLibraryW runs their attach function once.
//
// ORN_FAIL_LOAD: comma-separated library names whose LoadLibraryW fails
// with ERROR_MOD_NOT_FOUND (for tests of a missing library).

#include <string>
#include <vector>

#include "platform/windows/menu.h"
#include "platform/windows/window.h"

namespace win {

// The instance of the program itself (null name); other names: the handle of
// a loaded library, else null.
HMODULE GetModuleHandleW(const wchar_t* name);

struct MenuTemplateItem {
  std::wstring text;  // empty with MF_SEPARATOR
  UINT id = 0;
  UINT flags = 0;     // MF_POPUP with `popup`, MF_SEPARATOR, MF_GRAYED ...
  std::vector<MenuTemplateItem> popup;
};

struct DialogItemTemplate {
  std::wstring className;  // "Static", "Button"
  std::wstring text;
  int id = -1;
  DWORD style = 0;         // BS_DEFPUSHBUTTON marks the default button
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct DialogTemplate {
  std::wstring title;
  std::wstring font;
  int pointSize = 8;
  int cx = 0, cy = 0;  // dialog units
  DWORD style = 0;
  std::vector<DialogItemTemplate> items;
};

inline constexpr DWORD BS_PUSHBUTTON = 0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 1;
inline constexpr DWORD SS_ICON = 3;

void AddIconResource(HINSTANCE instance, int id);
void AddMenuResource(HINSTANCE instance, int id, std::vector<MenuTemplateItem> items);
void AddAcceleratorResource(HINSTANCE instance, int id, std::vector<ACCEL> entries);
void AddDialogResource(HINSTANCE instance, int id, DialogTemplate dialog);

// Null with ERROR_RESOURCE_NAME_NOT_FOUND when the resource is missing.
HICON LoadIconW(HINSTANCE instance, const wchar_t* name);
HMENU LoadMenuW(HINSTANCE instance, const wchar_t* name);
HACCEL LoadAcceleratorsW(HINSTANCE instance, const wchar_t* name);
const DialogTemplate* FindDialogResource(HINSTANCE instance, const wchar_t* name);

using LibraryAttach = void (*)(HMODULE library);
// Makes `fileName` loadable; `attach` runs at its first load.
void RegisterLibrary(const wchar_t* fileName, LibraryAttach attach);
HMODULE LoadLibraryW(const wchar_t* fileName);
bool FreeLibrary(HMODULE library);

}  // namespace win

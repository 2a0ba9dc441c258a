#pragma once
// Message boxes and modal dialogs, answered by the operator script.
//
// A message box takes the next queued answer of the script when the box
// offers it, else its default button (uiscript::MessageBox writes the
// transcript line). A modal dialog is built from its template, gets
// WM_INITDIALOG, then one WM_COMMAND with the queued answer's id when one of
// its buttons has it, else (on a real screen, display.h) with the id of the
// button the operator pressed, else with its default button's id; a dialog that does
// not end on that gets IDCANCEL, and one that still does not end is
// destroyed with the result -1. Transcript line of a dialog:
//   dialog | <title> | <static texts joined by "\n"> | <answer>

#include "platform/windows/resources.h"
#include "platform/windows/window.h"

namespace win {

enum DialogResult : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_DEFBUTTON1 = 0x000;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr UINT MB_DEFBUTTON3 = 0x200;
inline constexpr UINT MB_APPLMODAL = 0x0000;
inline constexpr UINT MB_SYSTEMMODAL = 0x1000;
inline constexpr UINT MB_TASKMODAL = 0x2000;
inline constexpr UINT MB_TOPMOST = 0x40000;

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

using DLGPROC = intptr_t (*)(HWND, UINT, WPARAM, LPARAM);

// -1 when the template is missing (ERROR_RESOURCE_NAME_NOT_FOUND).
intptr_t DialogBoxParamW(HINSTANCE instance, const wchar_t* templateName, HWND owner, DLGPROC proc,
                         LPARAM param);
bool EndDialog(HWND dialog, intptr_t result);

}  // namespace win

#pragma once
// The print dialog, answered by the operator script.
//
// The dialog takes the choice of the script's next "printer" step: a
// printer's name, or cancel; without one, on a real screen (display.h), the
// operator chooses from the printers in a real dialog; headless it takes its
// default button (print on the default printer). Transcript line:
//   printdlg | <printer names joined by ","> | <name>|cancel [(default)]
// A name that is not configured is an error of the script (ScriptError).

#include "platform/printing/gdi.h"

namespace win {

inline constexpr DWORD PD_COLLATE = 0x00000010;
inline constexpr DWORD PD_NOSELECTION = 0x00000004;
inline constexpr DWORD PD_NOPAGENUMS = 0x00000008;
inline constexpr DWORD PD_RETURNDC = 0x00000100;
inline constexpr DWORD PD_RETURNDEFAULT = 0x00000400;
inline constexpr DWORD PD_USEDEVMODECOPIESANDCOLLATE = 0x00040000;
inline constexpr DWORD PD_HIDEPRINTTOFILE = 0x00100000;

// The device mode and names of the platform are not kept here: hDevMode and
// hDevNames must be null and stay null. The copies and collation the
// operator chooses (the script's "printer NAME copies=N collate") go, with
// PD_USEDEVMODECOPIESANDCOLLATE, into the context PD_RETURNDC makes (the
// printer makes them; nCopies is 1); without it into nCopies and PD_COLLATE,
// for the caller to print that often.
struct PRINTDLGW {
  DWORD lStructSize = sizeof(PRINTDLGW);
  HWND hwndOwner = nullptr;
  void* hDevMode = nullptr;
  void* hDevNames = nullptr;
  HDC hDC = nullptr;
  DWORD Flags = 0;
  WORD nFromPage = 0, nToPage = 0, nMinPage = 0, nMaxPage = 0;
  WORD nCopies = 1;
};

enum CommDlgError : DWORD {
  CDERR_STRUCTSIZE = 0x0001,
  CDERR_INITIALIZATION = 0x0002,
  PDERR_NODEFAULTPRN = 0x1008,
};

// True when a printer was chosen (with PD_RETURNDC its new context is in
// hDC, to be deleted by the caller). PD_RETURNDEFAULT asks for the default
// printer without a dialog. False on cancel (CommDlgExtendedError 0) or
// failure (its code).
bool PrintDlgW(PRINTDLGW* pd);
DWORD CommDlgExtendedError();

}  // namespace win

#pragma once
// Resource and command ids of Lumoret.

#include "platform/windows/window.h"

inline constexpr int IDD_ABOUTBOX = 103;
inline constexpr int IDM_ABOUT = 104;
inline constexpr int IDI_LUMORET = 107;
inline constexpr int IDR_MAINFRAME = 109;  // menu and accelerator table
inline constexpr int ID_FILE_CLOSE = 500;
inline constexpr int ID_FILE_PRINT = 501;

// Child window ids of the frame.
inline constexpr int IDC_STATUSBAR = 1001;
inline constexpr int IDC_TOOLBAR = 1002;
inline constexpr int IDC_RICHEDIT = 1003;

// Adds the program's resources (icon, menu, accelerators, About dialog)
// under its instance, as the platform finds them in the program file.
void AddLumoretResources(win::HINSTANCE instance);

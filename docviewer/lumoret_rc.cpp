// The resource script of Lumoret.
#include "docviewer/resource.h"
#include "platform/windows/resources.h"

using namespace win;

void AddLumoretResources(HINSTANCE instance) {
  AddIconResource(instance, IDI_LUMORET);

  AddMenuResource(instance, IDR_MAINFRAME,
                  {
                      {L"&Datei", 0, MF_POPUP,
                       {
                           {L"&Drucken...\tCtrl+P", ID_FILE_PRINT, MF_STRING, {}},
                           {L"", 0, MF_SEPARATOR, {}},
                           {L"S&chließen\tAlt+F4", ID_FILE_CLOSE, MF_STRING, {}},
                       }},
                      {L"&?", 0, MF_POPUP, {{L"&Info...", IDM_ABOUT, MF_STRING, {}}}},
                  });

  // Ctrl+P as the character it types (16), not as a virtual key.
  AddAcceleratorResource(instance, IDR_MAINFRAME, {{0, 16, ID_FILE_PRINT}});

  DialogTemplate about;
  about.title = L"About";
  about.font = L"MS Sans Serif";
  about.pointSize = 8;
  about.cx = 230;
  about.cy = 75;
  about.items = {
      {L"Static", L"", -1, SS_ICON, 11, 17, 20, 20},
      {L"Static", L"Kalmoor ORN", -1, 0, 40, 10, 119, 8},
      {L"Static", L"ORN RTF Viewer", -1, 0, 40, 22, 119, 8},
      {L"Static", L"Version 1.0", -1, 0, 40, 34, 119, 8},
      {L"Static", L"Copyright (C) Kalmoor. Alle Rechte vorbehalten.", -1, 0, 40, 46, 180, 8},
      {L"Button", L"OK", 1, BS_DEFPUSHBUTTON, 173, 6, 50, 14},
  };
  AddDialogResource(instance, IDD_ABOUTBOX, about);
}

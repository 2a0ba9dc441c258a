#pragma once
// The toolkit's toolbar library: a floating tool palette window with
// buttons, reporting button presses to a registered callback. Calls answer 1
// for success or a negative toolkit result; the platform's ordinals are given
// beside them.

#include <cstdint>

#include "platform/activex/picture.h"
#include "platform/activex/window.h"

extern "C" {

struct PXTOOLBAR;  // the library's toolbar state
using pTOOLBARHANDLE = PXTOOLBAR*;
using TOOLBARBUTTONID = int32_t;

inline constexpr int32_t TOOLBAR_TOOLTIP_MAX_TEXT = 255;

// 24 bytes on both platforms: the size asked of the button pictures.
struct ButtonBitmapInfo {
  uint32_t StructSize;  // 24
  int32_t BitmapWidth;
  int32_t BitmapHeight;
  uint32_t LibraryData[3];  // the library's own
};
static_assert(sizeof(ButtonBitmapInfo) == 24);

// One button as exchanged with the library. The bitmap handle is
// pointer-sized here, so the record is 288 bytes instead of 276.
struct ButtonInfoRecord {
  uint32_t Reserved1;
  int32_t ButtonID;
  uint32_t Reserved2;
  ax::HBITMAP ButtonBitmap;  // owned by the record
  char ToolTipText[TOOLBAR_TOOLTIP_MAX_TEXT + 1];
  int32_t UserTag;
};

// The library reports a press of button `id` (-1: the palette was left
// without a tool) with `dwData` and the registered user data.
using TOOLBARCALLBACK = int32_t (*)(pTOOLBARHANDLE toolbar, TOOLBARBUTTONID id, uint32_t dwData, void* userData);

int32_t PXTB_IsToolbar(pTOOLBARHANDLE toolbar);                                // 101: 1 valid, 0 not
int32_t PXTB_InitToolbar(pTOOLBARHANDLE* toolbar);                             // 102
int32_t PXTB_FreeToolbar(pTOOLBARHANDLE* toolbar);                             // 103
int32_t PXTB_CreateToolbar(pTOOLBARHANDLE toolbar, ax::HWND parent, const char* title, uint32_t flags);  // 104
int32_t PXTB_FreeButtonBitmapInfo(ButtonBitmapInfo* info);                     // 105
int32_t PXTB_IsVisible(pTOOLBARHANDLE toolbar, int32_t* visible);              // 106
int32_t PXTB_IsButtonEnabled(pTOOLBARHANDLE toolbar, int32_t id, int32_t* enabled);  // 107
int32_t PXTB_IsButtonVisible(pTOOLBARHANDLE toolbar, int32_t id, int32_t* visible);  // 108
int32_t PXTB_SetVisible(pTOOLBARHANDLE toolbar, int16_t visible);              // 109
int32_t PXTB_SetPosition(pTOOLBARHANDLE toolbar, const int32_t xy[2], uint32_t flags);  // 110
int32_t PXTB_SetRows(pTOOLBARHANDLE toolbar, int32_t rows);                    // 111
int32_t PXTB_SetButtonChecked(pTOOLBARHANDLE toolbar, int32_t id);             // 112
int32_t PXTB_EnableButton(pTOOLBARHANDLE toolbar, int32_t id, int16_t enable); // 113
int32_t PXTB_ShowButton(pTOOLBARHANDLE toolbar, int32_t id, int16_t show);     // 114
int32_t PXTB_SetButtonBitmapInfo(pTOOLBARHANDLE toolbar, const ButtonBitmapInfo* info);  // 115
int32_t PXTB_SetButtonCallback(pTOOLBARHANDLE toolbar, TOOLBARCALLBACK callback, void* userData);  // 116
int32_t PXTB_GetPosition(pTOOLBARHANDLE toolbar, int32_t xy[2], uint32_t flags);  // 117
int32_t PXTB_GetRows(pTOOLBARHANDLE toolbar, int32_t* rows);                   // 118
int32_t PXTB_GetButtonChecked(pTOOLBARHANDLE toolbar, int32_t* id);            // 119
int32_t PXTB_GetButtonBitmapInfo(pTOOLBARHANDLE toolbar, ButtonBitmapInfo* info);  // 120
// 301: adds a button before or after `refId` (flags 1 before, 2 after; no
// such button or flag: at the end); the library keeps a copy of the bitmap.
int32_t PXTB_AddButton(pTOOLBARHANDLE toolbar, int32_t refId, const ButtonInfoRecord* record, uint32_t flags);
int32_t PXTB_RemoveButton(pTOOLBARHANDLE toolbar, int32_t id);                 // 302
// 303: fills `record` for button `id`, with a bitmap copy the record owns.
int32_t PXTB_GetButtonInfo(pTOOLBARHANDLE toolbar, int32_t id, ButtonInfoRecord* record);
// 304: stores `record` as button `id` (the record's id may be new).
int32_t PXTB_SetButtonInfo(pTOOLBARHANDLE toolbar, int32_t id, const ButtonInfoRecord* record);

// The operator's press of a button as the window would report it: makes it
// the checked one (a positive id; -1 leaves none checked) and calls the registered callback;
// answers the callback's answer, -661 when none is registered.
int32_t PXTB_PressButtonForTest(pTOOLBARHANDLE toolbar, int32_t id, uint32_t dwData);
// The window title and flags given at creation, the button ids in order.
const char* PXTB_TitleForTest(pTOOLBARHANDLE toolbar);
int32_t PXTB_ButtonCountForTest(pTOOLBARHANDLE toolbar);
int32_t PXTB_ButtonIdForTest(pTOOLBARHANDLE toolbar, int32_t index);
}

#pragma once
// The toolbar control library: identities, dispatch ids and the exports
// its container and the toolbar library call.

#include <cstdint>

#include "platform/activex/dispatch.h"
#include "platform/pixokit/pixobar.h"

namespace toolbar {

inline constexpr ax::Guid LIBID_PXTLBLib{0x00120623, 0xB1BA, 0x11CE, {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr ax::CLSID CLSID_PIXOToolBar{0x00120620, 0xB1BA, 0x11CE,
                                             {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr ax::IID IID_IPIXOToolBar{0x00120621, 0xB1BA, 0x11CE, {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr ax::IID DIID__PIXOToolBarEvents{0x00120622, 0xB1BA, 0x11CE,
                                                 {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr ax::CLSID CLSID_PXToolBarButton{0x00120625, 0xB1BA, 0x11CE,
                                                 {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr ax::IID IID_IPXToolBarButton{0x00120624, 0xB1BA, 0x11CE,
                                              {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};

inline constexpr char kToolBarProgId[] = "PIXOToolBar.PIXOToolBarCtrl.121";
inline constexpr char kButtonProgId[] = "PXToolBarButton.PXToolBarButton.121";

// IPIXOToolBar
enum ToolBarDispid : ax::DISPID {
  DISPID_EnableMethodErrors = 1,
  DISPID_Visible = 4,
  DISPID_CreateToolbar = 5,
  DISPID_XPosition = 6,
  DISPID_YPosition = 7,
  DISPID_RowCount = 8,
  DISPID_ButtonBitmapWidth = 9,
  DISPID_ButtonBitmapHeight = 10,
  DISPID_hToolbar = 14,
  DISPID_AddButton = 15,
  DISPID_RemoveButton = 16,
  DISPID_Button = 17,
};
// _PIXOToolBarEvents
inline constexpr ax::DISPID DISPID_ToolBarButton = 1;
// IPXToolBarButton
enum ButtonDispid : ax::DISPID {
  DISPID_BtnVisible = 1,
  DISPID_BtnEnabled = 2,
  DISPID_BtnChecked = 3,
  DISPID_BtnID = 4,
  DISPID_BtnPicture = 6,
  DISPID_BtnToolTipText = 7,
  DISPID_BtnUserTag = 8,
};

// tagToolBarAddFlags, tagToolBarType, tagToolBarPosition
enum : int32_t { TOOLBAR_ADD_BEFORE = 1, TOOLBAR_ADD_AFTER = 2, TOOLBAR_ADD_TOOL = 4 };
enum : int32_t { TOOLBAR_ANNOTATION = 1, TOOLBAR_PAINT = 2, TOOLBAR_VECTOR = 4, TOOLBAR_EMPTY = 8 };
enum : int32_t { TOOLBAR_POSITION_TOP = 1, TOOLBAR_POSITION_LEFT = 2, TOOLBAR_POSITION_RIGHT = 4,
                 TOOLBAR_POSITION_BOTTOM = 8 };
// tagPXToolBarButtonID (the first and last of each palette; the others lie between)
enum : int32_t {
  BUTTON_ID_TOOL_PAINT_BRUSH = 30001,
  BUTTON_ID_TOOL_PAINT_SHAPE_LINE = 30002,
  BUTTON_ID_TOOL_PAINT_SHAPE_RECT = 30003,
  BUTTON_ID_TOOL_PAINT_SHAPE_ELLIPSE = 30005,
  BUTTON_ID_TOOL_PAINT_MOVER = 30021,
  BUTTON_ID_TOOL_PAINT_COUNT = 21,
  BUTTON_ID_TOOL_VECTOR_NONE = 30101,
  BUTTON_ID_TOOL_VECTOR_SELECT = 30102,
  BUTTON_ID_TOOL_VECTOR_PAN = 30117,
  BUTTON_ID_TOOL_VECTOR_COUNT = 17,
};

// The library's type information.
extern const ax::TypeLibDesc kTypeLib;
extern const ax::InterfaceDesc kToolBarInterface;
extern const ax::InterfaceDesc kButtonInterface;

}  // namespace toolbar

extern "C" {
// Called by the toolbar library for each button report; `userData` is the
// control that registered it. 1 handled, -1 failure, or the library's result.
int32_t ToolBarCB(pTOOLBARHANDLE toolbar, TOOLBARBUTTONID id, uint32_t dwData, void* userData);

int32_t DllMain(void* instance, uint32_t reason, void* reserved);
ax::HRESULT DllCanUnloadNow();
ax::HRESULT DllGetClassObject(const ax::CLSID& clsid, const ax::IID& iid, void** out);
ax::HRESULT DllRegisterServer();
ax::HRESULT DllUnregisterServer();
}

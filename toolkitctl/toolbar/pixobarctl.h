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

// The type library's enumerations as (name, value) lists: the C++ constants
// below and the library's description (kTypeLib) are both made from them.
#define PXTLB_TOOLBAR_ADD_FLAGS(X) X(TOOLBAR_ADD_BEFORE, 1) X(TOOLBAR_ADD_AFTER, 2) X(TOOLBAR_ADD_TOOL, 4)
#define PXTLB_TOOLBAR_TYPE(X) \
  X(TOOLBAR_ANNOTATION, 1) X(TOOLBAR_PAINT, 2) X(TOOLBAR_VECTOR, 4) X(TOOLBAR_EMPTY, 8)
#define PXTLB_TOOLBAR_MAX_TEXT(X) X(TOOLBAR_TOOLTIP_MAX_TEXT, 255)
#define PXTLB_TOOLBAR_POSITION(X) \
  X(TOOLBAR_POSITION_TOP, 1) X(TOOLBAR_POSITION_LEFT, 2) X(TOOLBAR_POSITION_RIGHT, 4) X(TOOLBAR_POSITION_BOTTOM, 8)
#define PXTLB_BUTTON_ID(X)                                                                                        \
  X(BUTTON_ID_TOOL_PAINT_BRUSH, 30001) X(BUTTON_ID_TOOL_PAINT_SHAPE_LINE, 30002)                                 \
  X(BUTTON_ID_TOOL_PAINT_SHAPE_RECT, 30003) X(BUTTON_ID_TOOL_PAINT_SHAPE_ROUNDRECT, 30004)                       \
  X(BUTTON_ID_TOOL_PAINT_SHAPE_ELLIPSE, 30005) X(BUTTON_ID_TOOL_PAINT_SHAPE_POLYGON, 30006)                      \
  X(BUTTON_ID_TOOL_PAINT_SHAPE_BEZIER, 30007) X(BUTTON_ID_TOOL_PAINT_REGION_RECT, 30008)                         \
  X(BUTTON_ID_TOOL_PAINT_REGION_ROUNDRECT, 30009) X(BUTTON_ID_TOOL_PAINT_REGION_ELLIPSE, 30010)                  \
  X(BUTTON_ID_TOOL_PAINT_REGION_POLYGON, 30011) X(BUTTON_ID_TOOL_PAINT_REGION_SURFACE, 30012)                    \
  X(BUTTON_ID_TOOL_PAINT_REGION_BORDER, 30013) X(BUTTON_ID_TOOL_PAINT_REGION_COLOR, 30014)                       \
  X(BUTTON_ID_TOOL_PAINT_FILL_SURFACE, 30015) X(BUTTON_ID_TOOL_PAINT_FILL_BORDER, 30016)                         \
  X(BUTTON_ID_TOOL_PAINT_FILL_COLORREPLACE, 30017) X(BUTTON_ID_TOOL_PAINT_TEXT, 30018)                           \
  X(BUTTON_ID_TOOL_PAINT_ZOOM, 30019) X(BUTTON_ID_TOOL_PAINT_BORDERCOLORPICKER, 30020)                           \
  X(BUTTON_ID_TOOL_PAINT_MOVER, 30021) X(BUTTON_ID_TOOL_PAINT_COUNT, 21)                                         \
  X(BUTTON_ID_TOOL_VECTOR_NONE, 30101) X(BUTTON_ID_TOOL_VECTOR_SELECT, 30102)                                    \
  X(BUTTON_ID_TOOL_VECTOR_VERTEX, 30103) X(BUTTON_ID_TOOL_VECTOR_LINE, 30104)                                    \
  X(BUTTON_ID_TOOL_VECTOR_RECTANGLE, 30105) X(BUTTON_ID_TOOL_VECTOR_POLYLINE, 30106)                             \
  X(BUTTON_ID_TOOL_VECTOR_POLYBEZIER, 30107) X(BUTTON_ID_TOOL_VECTOR_POLYGON, 30108)                             \
  X(BUTTON_ID_TOOL_VECTOR_ELLIPSE, 30109) X(BUTTON_ID_TOOL_VECTOR_CIRCLE, 30110)                                 \
  X(BUTTON_ID_TOOL_VECTOR_ARC, 30111) X(BUTTON_ID_TOOL_VECTOR_TEXT, 30112) X(BUTTON_ID_TOOL_VECTOR_PIE, 30113)   \
  X(BUTTON_ID_TOOL_VECTOR_CHORD, 30114) X(BUTTON_ID_TOOL_VECTOR_RASTER, 30115)                                   \
  X(BUTTON_ID_TOOL_VECTOR_ROTATE, 30116) X(BUTTON_ID_TOOL_VECTOR_PAN, 30117) X(BUTTON_ID_TOOL_VECTOR_COUNT, 17)

#define PXTLB_CONSTANT(name, value) inline constexpr int32_t name = value;
PXTLB_TOOLBAR_ADD_FLAGS(PXTLB_CONSTANT)
PXTLB_TOOLBAR_TYPE(PXTLB_CONSTANT)
PXTLB_TOOLBAR_POSITION(PXTLB_CONSTANT)
PXTLB_BUTTON_ID(PXTLB_CONSTANT)
#undef PXTLB_CONSTANT
// TOOLBAR_TOOLTIP_MAX_TEXT is the toolbar library's own (pixobar.h).

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
// The library's type-library resource (typelib.h).
extern const ax::TypeLibDesc* const TypeLibResource;
ax::HRESULT DllCanUnloadNow();
ax::HRESULT DllGetClassObject(const ax::CLSID& clsid, const ax::IID& iid, void** out);
ax::HRESULT DllRegisterServer();
ax::HRESULT DllUnregisterServer();
}

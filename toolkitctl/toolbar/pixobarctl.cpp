// The toolbar control library's module: class table, type information,
// registry scripts and exports.

#include "toolkitctl/toolbar/pixobarctl.h"

#include <new>

#include "platform/activex/activation.h"
#include "toolkitctl/common/registration.h"
#include "toolkitctl/toolbar/toolbar_ctrl.h"

namespace toolbar {
namespace {

using ax::DISPATCH_METHOD;
using ax::DISPATCH_PROPERTYGET;
using ax::DISPATCH_PROPERTYPUT;
using ax::DISPATCH_PROPERTYPUTREF;
constexpr uint16_t kGetPut = DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT;

constexpr ax::MemberDesc kToolBarMembers[] = {
    {"EnableMethodErrors", DISPID_EnableMethodErrors, kGetPut},
    {"Visible", DISPID_Visible, kGetPut},
    {"CreateToolbar", DISPID_CreateToolbar, DISPATCH_METHOD},
    {"XPosition", DISPID_XPosition, kGetPut},
    {"YPosition", DISPID_YPosition, kGetPut},
    {"RowCount", DISPID_RowCount, kGetPut},
    {"ButtonBitmapWidth", DISPID_ButtonBitmapWidth, kGetPut},
    {"ButtonBitmapHeight", DISPID_ButtonBitmapHeight, kGetPut},
    {"hToolbar", DISPID_hToolbar, DISPATCH_PROPERTYGET, true},
    {"AddButton", DISPID_AddButton, DISPATCH_METHOD},
    {"RemoveButton", DISPID_RemoveButton, DISPATCH_METHOD},
    {"Button", DISPID_Button, DISPATCH_PROPERTYGET},
};
constexpr ax::MemberDesc kEventMembers[] = {{"ToolBarButton", DISPID_ToolBarButton, DISPATCH_METHOD}};
constexpr ax::MemberDesc kButtonMembers[] = {
    {"Visible", DISPID_BtnVisible, kGetPut},
    {"Enabled", DISPID_BtnEnabled, kGetPut},
    {"Checked", DISPID_BtnChecked, kGetPut},
    {"ID", DISPID_BtnID, kGetPut},
    {"Picture", DISPID_BtnPicture, DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUTREF},
    {"ToolTipText", DISPID_BtnToolTipText, kGetPut},
    {"UserTag", DISPID_BtnUserTag, kGetPut},
};

const ax::InterfaceDesc kEventInterface{"_PIXOToolBarEvents", DIID__PIXOToolBarEvents, kEventMembers};


ax::HRESULT CreateToolBar(const ax::IID& iid, void** out) {
  auto* ctl = new (std::nothrow) PIXOToolBarCtrl;
  if (!ctl) return ax::E_OUTOFMEMORY;
  ctl->AddRef();
  ax::HRESULT hr = ctl->QueryInterface(iid, out);
  ctl->Release();
  return hr;
}

// Button objects are made by the control; created alone they have no record
// and answer every member with S_OK.
ax::HRESULT CreateButton(const ax::IID& iid, void** out) {
  auto* button = new (std::nothrow) ToolBarButtonObject(nullptr, nullptr, ax::VARIANT_TRUE);
  if (!button) return ax::E_OUTOFMEMORY;
  button->AddRef();
  ax::HRESULT hr = button->QueryInterface(iid, out);
  button->Release();
  return hr;
}

const ax::ClassEntry kClasses[] = {{CLSID_PIXOToolBar, CreateToolBar}, {CLSID_PXToolBarButton, CreateButton}};

// Resource 101: the toolbar control's script.
const std::vector<ax::ScriptKey>& ToolBarScript() {
  static const std::vector<ax::ScriptKey> script =
      toolkitctl::ControlClassScript("PIXOToolBar.PIXOToolBarCtrl", "PIXOToolBar.PIXOToolBarCtrl", "Both");
  return script;
}

// Resource 102: the button class's script.
const std::vector<ax::ScriptKey>& ButtonScript() {
  using toolkitctl::ForceRemove;
  using toolkitctl::Key;
  using toolkitctl::NoRemove;
  static const std::vector<ax::ScriptKey> script = {
      Key("%VER_PXTOOLBARBUTTON_ID%", "%VER_PXTOOLBARBUTTON_NAME%", {Key("CLSID", "{%VER_PXTOOLBARBUTTON_UID%}")}),
      Key("PXToolBarButton.PXToolBarButton", "%VER_PXTOOLBARBUTTON_NAME%",
          {Key("CurVer", "%VER_PXTOOLBARBUTTON_ID%"), Key("CLSID", "{%VER_PXTOOLBARBUTTON_UID%}")}),
      NoRemove(Key("CLSID", std::nullopt,
                   {ForceRemove(Key("{%VER_PXTOOLBARBUTTON_UID%}", "%VER_PXTOOLBARBUTTON_NAME%",
                                    {Key("ProgID", "%VER_PXTOOLBARBUTTON_ID%"),
                                     Key("VersionIndependentProgID", "PXToolBarButton.PXToolBarButton"),
                                     Key("Programmable"),
                                     Key("InprocServer32", "%MODULE%", {}, {{"ThreadingModel", "Both"}})}))})),
  };
  return script;
}

std::vector<toolkitctl::ClassScript> Scripts() {
  return {
      {&ToolBarScript(),
       {{"VER_CONTROL_ID", kToolBarProgId},
        {"VER_CONTROL_NAME", "PIXO ToolBar Control (12.1)"},
        {"VER_CONTROL_UID", ax::GuidTextNoBraces(CLSID_PIXOToolBar)},
        {"VER_LIB_UID", ax::GuidTextNoBraces(LIBID_PXTLBLib)}}},
      {&ButtonScript(),
       {{"VER_PXTOOLBARBUTTON_ID", kButtonProgId},
        {"VER_PXTOOLBARBUTTON_NAME", "PXToolBarButton Class"},
        {"VER_PXTOOLBARBUTTON_UID", ax::GuidTextNoBraces(CLSID_PXToolBarButton)}}},
  };
}

std::string ModulePath() { return ax::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)); }

}  // namespace

const ax::InterfaceDesc kToolBarInterface{"IPIXOToolBar", IID_IPIXOToolBar, kToolBarMembers};
const ax::InterfaceDesc kButtonInterface{"IPXToolBarButton", IID_IPXToolBarButton, kButtonMembers};
namespace {
const ax::InterfaceDesc kInterfaces[] = {kToolBarInterface, kEventInterface, kButtonInterface};
const ax::CoClassDesc kCoClasses[] = {
    {"PIXOToolBar", CLSID_PIXOToolBar, IID_IPIXOToolBar, DIID__PIXOToolBarEvents},
    {"PXToolBarButton", CLSID_PXToolBarButton, IID_IPXToolBarButton, com::kGuidNull},
};
#define PXTLB_VALUE(name, value) {#name, value},
constexpr ax::EnumValueDesc kAddFlags[] = {PXTLB_TOOLBAR_ADD_FLAGS(PXTLB_VALUE)};
constexpr ax::EnumValueDesc kToolBarTypes[] = {PXTLB_TOOLBAR_TYPE(PXTLB_VALUE)};
constexpr ax::EnumValueDesc kMaxText[] = {PXTLB_TOOLBAR_MAX_TEXT(PXTLB_VALUE)};
constexpr ax::EnumValueDesc kPositions[] = {PXTLB_TOOLBAR_POSITION(PXTLB_VALUE)};
constexpr ax::EnumValueDesc kButtonIds[] = {PXTLB_BUTTON_ID(PXTLB_VALUE)};
#undef PXTLB_VALUE
constexpr ax::EnumDesc kEnums[] = {
    {"tagToolBarAddFlags", kAddFlags},     {"tagToolBarType", kToolBarTypes},
    {"tagToolBarMaxText", kMaxText},       {"tagToolBarPosition", kPositions},
    {"tagPXToolBarButtonID", kButtonIds},
};
}  // namespace
const ax::TypeLibDesc kTypeLib{"PXTLBLib", LIBID_PXTLBLib, 1, 0, kInterfaces, kCoClasses, kEnums};

ax::Module& ToolBarModule() {
  static ax::Module module;
  return module;
}

}  // namespace toolbar

namespace {
// The loader's process attach and detach.
__attribute__((constructor)) void Attach() { DllMain(nullptr, 1, nullptr); }
__attribute__((destructor)) void Detach() { DllMain(nullptr, 0, nullptr); }
}  // namespace

extern "C" {

const ax::TypeLibDesc* const TypeLibResource = &toolbar::kTypeLib;

int32_t ToolBarCB(pTOOLBARHANDLE toolbar, TOOLBARBUTTONID id, uint32_t dwData, void* userData) {
  if (!userData) return -1;
  return static_cast<toolbar::PIXOToolBarCtrl*>(userData)->OnToolBarButton(toolbar, id, dwData);
}

int32_t DllMain(void*, uint32_t reason, void*) {
  if (reason == 1) toolbar::ToolBarModule().Init(toolbar::kClasses);
  if (reason == 0) toolbar::ToolBarModule().Term();
  return 1;
}

ax::HRESULT DllCanUnloadNow() { return toolbar::ToolBarModule().CanUnloadNow(); }

ax::HRESULT DllGetClassObject(const ax::CLSID& clsid, const ax::IID& iid, void** out) {
  return toolbar::ToolBarModule().GetClassObject(clsid, iid, out);
}

ax::HRESULT DllRegisterServer() {
  return toolkitctl::ControlCategoryRegistration(toolbar::Scripts(), toolbar::kTypeLib, toolbar::CLSID_PIXOToolBar,
                                                 toolbar::ModulePath());
}

ax::HRESULT DllUnregisterServer() {
  return toolkitctl::ControlCategoryUnregistration(toolbar::Scripts(), toolbar::kTypeLib, toolbar::CLSID_PIXOToolBar,
                                                   toolbar::ModulePath());
}
}

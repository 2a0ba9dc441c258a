// The binding control library's module: class table, type information,
// registry script and exports.

#include "toolkitctl/dbbind/pixobindctl.h"

#include <new>

#include "platform/activex/activation.h"
#include "toolkitctl/common/registration.h"
#include "toolkitctl/dbbind/oledb_ctrl.h"

namespace dbbind {
namespace {

using ax::DISPATCH_METHOD;
using ax::DISPATCH_PROPERTYGET;
using ax::DISPATCH_PROPERTYPUT;
using ax::DISPATCH_PROPERTYPUTREF;
constexpr uint16_t kGetPut = DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT;

constexpr ax::MemberDesc kBindMembers[] = {
    {"DataSource", DISPID_DataSource, DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUTREF},
    {"DataMember", DISPID_DataMember, kGetPut},
    {"DataField", DISPID_DataField, kGetPut},
    {"Bitmap", DISPID_Bitmap, kGetPut},
    {"EnableMethodErrors", DISPID_EnableMethodErrors, kGetPut},
    {"AnnContainer", DISPID_AnnContainer, kGetPut},
    {"DataDirty", DISPID_DataDirty, kGetPut},
    {"DataLoadBits", DISPID_DataLoadBits, kGetPut},
    {"DataSaveBits", DISPID_DataSaveBits, kGetPut},
    {"DataSaveFormat", DISPID_DataSaveFormat, kGetPut},
    {"DataSaveQuality", DISPID_DataSaveQuality, kGetPut},
    {"EnableProgressEvent", DISPID_EnableProgressEvent, kGetPut},
};
constexpr ax::MemberDesc kEventMembers[] = {
    {"DataLoaded", DISPID_DataLoaded, DISPATCH_METHOD},
    {"DataSaved", DISPID_DataSaved, DISPATCH_METHOD},
    {"ProgressStatus", DISPID_ProgressStatus, DISPATCH_METHOD},
};
const ax::InterfaceDesc kEventInterface{"_IpxodbctlEvents", DIID__IpxodbctlEvents, kEventMembers};

ax::HRESULT CreateBinding(const ax::IID& iid, void** out) {
  auto* ctl = new (std::nothrow) PixoOleDBCtrl;
  if (!ctl) return ax::E_OUTOFMEMORY;
  ctl->AddRef();
  ax::HRESULT hr = ctl->QueryInterface(iid, out);
  ctl->Release();
  return hr;
}

const ax::ClassEntry kClasses[] = {{CLSID_PIXOOLEDB, CreateBinding}};

// Resource 102: the binding control's script.
const std::vector<ax::ScriptKey>& BindScript() {
  static const std::vector<ax::ScriptKey> script =
      toolkitctl::ControlClassScript("Pxodb.pxodbctl", "PIXOOLEDB.PixoOleDBCtrl", "Apartment");
  return script;
}

std::vector<toolkitctl::ClassScript> Scripts() {
  return {{&BindScript(),
           {{"VER_CONTROL_ID", kBindProgId},
            {"VER_CONTROL_NAME", "PIXO OLE DB Control (12.1) (OLEDB)"},
            {"VER_CONTROL_UID", ax::GuidTextNoBraces(CLSID_PIXOOLEDB)},
            {"VER_LIB_UID", ax::GuidTextNoBraces(LIBID_PXODBLib)}}}};
}

std::string ModulePath() { return ax::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)); }

}  // namespace

const ax::InterfaceDesc kBindInterface{"Ipxodbctl", IID_Ipxodbctl, kBindMembers};
namespace {
const ax::InterfaceDesc kInterfaces[] = {kBindInterface, kEventInterface};
const ax::CoClassDesc kCoClasses[] = {{"PIXOOLEDB", CLSID_PIXOOLEDB, IID_Ipxodbctl, DIID__IpxodbctlEvents}};
}  // namespace
const ax::TypeLibDesc kTypeLib{"PXODBLib", LIBID_PXODBLib, 1, 0, kInterfaces, kCoClasses};

ax::Module& BindModule() {
  static ax::Module module;
  return module;
}

}  // namespace dbbind

namespace {
// The loader's process attach and detach.
__attribute__((constructor)) void Attach() { DllMain(nullptr, 1, nullptr); }
__attribute__((destructor)) void Detach() { DllMain(nullptr, 0, nullptr); }
}  // namespace

extern "C" {

int32_t DllMain(void*, uint32_t reason, void*) {
  if (reason == 1) dbbind::BindModule().Init(dbbind::kClasses);
  if (reason == 0) dbbind::BindModule().Term();
  return 1;
}

ax::HRESULT DllCanUnloadNow() { return dbbind::BindModule().CanUnloadNow(); }

ax::HRESULT DllGetClassObject(const ax::CLSID& clsid, const ax::IID& iid, void** out) {
  return dbbind::BindModule().GetClassObject(clsid, iid, out);
}

ax::HRESULT DllRegisterServer() {
  return toolkitctl::ControlCategoryRegistration(dbbind::Scripts(), dbbind::kTypeLib, dbbind::CLSID_PIXOOLEDB,
                                                 dbbind::ModulePath());
}

ax::HRESULT DllUnregisterServer() {
  return toolkitctl::ControlCategoryUnregistration(dbbind::Scripts(), dbbind::kTypeLib, dbbind::CLSID_PIXOOLEDB,
                                                   dbbind::ModulePath());
}
}

#include "toolkitctl/common/registration.h"

#include "platform/activex/activation.h"
#include "platform/activex/categories.h"
#include "platform/activex/variant.h"

namespace toolkitctl {
namespace {

constexpr uint32_t kLocaleEnglishUs = 1033;

ax::HRESULT WithCatRegister(ax::ICatRegister** out) {
  return ax::CoCreateInstance(ax::CLSID_StdComponentCategoriesMgr, nullptr, ax::IID_ICatRegister,
                              reinterpret_cast<void**>(out));
}

ax::Replacements WithModule(ax::Replacements vars, const std::string& modulePath) {
  vars.emplace_back("MODULE", modulePath);
  return vars;
}

}  // namespace

ax::HRESULT RegisterCategory(const ax::Guid& catid, const std::string& description) {
  ax::ICatRegister* cat = nullptr;
  ax::HRESULT hr = WithCatRegister(&cat);
  if (ax::Failed(hr)) return hr;
  ax::CATEGORYINFO info;
  info.catid = catid;
  info.lcid = kLocaleEnglishUs;
  std::u16string text = ax::Widen(description.substr(0, 127));
  text.copy(info.szDescription, text.size());
  hr = cat->RegisterCategories(1, &info);
  cat->Release();
  return hr;
}

ax::HRESULT AddClassToCategory(const ax::CLSID& clsid, const ax::Guid& catid) {
  ax::ICatRegister* cat = nullptr;
  ax::HRESULT hr = WithCatRegister(&cat);
  if (ax::Failed(hr)) return hr;
  hr = cat->RegisterClassImplCategories(clsid, 1, &catid);
  cat->Release();
  return hr;
}

ax::HRESULT RemoveClassFromCategory(const ax::CLSID& clsid, const ax::Guid& catid) {
  ax::ICatRegister* cat = nullptr;
  ax::HRESULT hr = WithCatRegister(&cat);
  if (ax::Failed(hr)) return hr;
  hr = cat->UnRegisterClassImplCategories(clsid, 1, &catid);
  cat->Release();
  return hr;
}

ax::HRESULT ControlCategoryRegistration(const std::vector<ClassScript>& classes, const ax::TypeLibDesc& lib,
                                        const ax::CLSID& control, const std::string& modulePath) {
  for (const ClassScript& c : classes) {
    ax::HRESULT hr = ax::UpdateRegistryFromScript(*c.script, WithModule(c.vars, modulePath), true);
    if (ax::Failed(hr)) return hr;
  }
  ax::HRESULT hr = ax::RegisterTypeLib(lib, modulePath);
  if (ax::Failed(hr)) return hr;
  hr = RegisterCategory(CATID_SafeForInitializing, kSafeForInitializingText);
  if (ax::Failed(hr)) return hr;
  hr = AddClassToCategory(control, CATID_SafeForInitializing);
  if (ax::Failed(hr)) return hr;
  hr = RegisterCategory(CATID_SafeForScripting, kSafeForScriptingText);
  if (ax::Failed(hr)) return hr;
  hr = AddClassToCategory(control, CATID_SafeForScripting);
  if (ax::Failed(hr)) return hr;
  return ax::S_OK;
}

ax::HRESULT ControlCategoryUnregistration(const std::vector<ClassScript>& classes, const ax::TypeLibDesc& lib,
                                          const ax::CLSID& control, const std::string& modulePath) {
  ax::HRESULT hr = ax::UnRegisterTypeLib(lib.libid, lib.major, lib.minor, 0, ax::SYS_WIN32);
  if (ax::Failed(hr)) return hr;
  hr = RemoveClassFromCategory(control, CATID_SafeForInitializing);
  if (ax::Failed(hr)) return hr;
  hr = RemoveClassFromCategory(control, CATID_SafeForScripting);
  if (ax::Failed(hr)) return hr;
  for (const ClassScript& c : classes) {
    hr = ax::UpdateRegistryFromScript(*c.script, WithModule(c.vars, modulePath), false);
    if (ax::Failed(hr)) return hr;
  }
  return ax::S_OK;
}

}  // namespace toolkitctl

namespace toolkitctl {

std::vector<ax::ScriptKey> ControlClassScript(const std::string& progIdKey, const std::string& versionIndependentProgId,
                                              const std::string& threadingModel) {
  return {
      Key("%VER_CONTROL_ID%", "%VER_CONTROL_NAME%", {Key("CLSID", "{%VER_CONTROL_UID%}")}),
      Key(progIdKey, "%VER_CONTROL_NAME%", {Key("CurVer", "%VER_CONTROL_ID%"), Key("CLSID", "{%VER_CONTROL_UID%}")}),
      NoRemove(Key("CLSID", std::nullopt,
                   {ForceRemove(Key("{%VER_CONTROL_UID%}", "%VER_CONTROL_NAME%",
                                    {
                                        Key("ProgID", "%VER_CONTROL_ID%"),
                                        Key("VersionIndependentProgID", versionIndependentProgId),
                                        ForceRemove(Key("Programmable")),
                                        Key("InprocServer32", "%MODULE%", {}, {{"ThreadingModel", threadingModel}}),
                                        ForceRemove(Key("Control")),
                                        ForceRemove(Key("Implemented Categories")),
                                        ForceRemove(Key("Insertable")),
                                        Key("ToolboxBitmap32", "%MODULE%, 1"),
                                        Key("MiscStatus", "0", {Key("1", "132497")}),
                                        Key("TypeLib", "{%VER_LIB_UID%}"),
                                        Key("Version", "1.0"),
                                    }))})),
  };
}

}  // namespace toolkitctl

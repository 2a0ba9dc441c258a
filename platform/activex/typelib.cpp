#include "platform/activex/typelib.h"

#include <cstdio>

#include <map>
#include <mutex>

#include "platform/activex/regscript.h"
#include "platform/com/errorinfo.h"
#include "platform/dynload/dynload.h"
#include "platform/registry/registry.h"

namespace ax {
namespace {

// The standard marshaller of dispatch interfaces.
constexpr Guid kPSDispatch{0x00020420, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::string Version(uint16_t major, uint16_t minor) {
  char text[16];
  std::snprintf(text, sizeof text, "%x.%x", major, minor);
  return text;
}

HRESULT SetKey(const std::string& path, const std::string& name, const std::string& value) {
  reg::Key key = 0;
  reg::Status st = reg::CreateKey(reg::Hive::ClassesRoot, path, &key);
  if (st == reg::kSuccess) {
    st = reg::SetString(key, name, value);
    reg::CloseKey(key);
  }
  return st == reg::kSuccess ? S_OK : TYPE_E_REGISTRYACCESS;
}

// The library id an interface key names, or an empty text.
std::string InterfaceLibrary(const std::string& iidKey) {
  std::string out;
  com::ReadClassesRootDefault("Interface\\" + iidKey + "\\TypeLib", &out);
  return out;
}

}  // namespace

HRESULT RegisterTypeLib(const TypeLibDesc& lib, const std::string& modulePath) {
  const std::string libKey = "TypeLib\\" + com::GuidText(lib.libid) + "\\" + Version(lib.major, lib.minor);
  HRESULT hr = SetKey(libKey, "", std::string(lib.name));
  if (Succeeded(hr)) hr = SetKey(libKey + "\\0\\win32", "", modulePath);
  if (Succeeded(hr)) hr = SetKey(libKey + "\\FLAGS", "", "0");
  if (Succeeded(hr)) {
    size_t slash = modulePath.find_last_of('/');
    hr = SetKey(libKey + "\\HELPDIR", "", slash == std::string::npos ? "" : modulePath.substr(0, slash));
  }
  for (const InterfaceDesc& itf : lib.interfaces) {
    if (Failed(hr)) break;
    const std::string key = "Interface\\" + com::GuidText(itf.iid);
    hr = SetKey(key, "", std::string(itf.name));
    if (Succeeded(hr)) hr = SetKey(key + "\\ProxyStubClsid32", "", com::GuidText(kPSDispatch));
    if (Succeeded(hr)) hr = SetKey(key + "\\TypeLib", "", com::GuidText(lib.libid));
    if (Succeeded(hr)) hr = SetKey(key + "\\TypeLib", "Version", Version(lib.major, lib.minor));
  }
  return hr;
}

HRESULT UnRegisterTypeLib(const Guid& libid, uint16_t major, uint16_t minor, uint32_t lcid, int32_t syskind) {
  if (syskind != SYS_WIN32 || lcid != 0) return TYPE_E_REGISTRYACCESS;
  const std::string lib = "TypeLib\\" + com::GuidText(libid);
  reg::Key key = 0;
  if (reg::OpenKey(reg::Hive::ClassesRoot, lib + "\\" + Version(major, minor), &key) != reg::kSuccess)
    return TYPE_E_REGISTRYACCESS;
  reg::CloseKey(key);
  // Interface keys that point at this library go with it.
  std::vector<std::string> mine;
  if (reg::OpenKey(reg::Hive::ClassesRoot, "Interface", &key) == reg::kSuccess) {
    std::string name;
    for (uint32_t i = 0; reg::EnumKey(key, i, &name) == reg::kSuccess; ++i)
      if (InterfaceLibrary(name) == com::GuidText(libid)) mine.push_back(name);
    reg::CloseKey(key);
  }
  for (const std::string& name : mine) {
    HRESULT hr = DeleteKeyTree("Interface\\" + name);
    if (Failed(hr)) return hr;
  }
  HRESULT hr = DeleteKeyTree(lib + "\\" + Version(major, minor));
  if (Failed(hr)) return hr;
  std::string any;
  if (reg::OpenKey(reg::Hive::ClassesRoot, lib, &key) == reg::kSuccess) {
    bool empty = reg::EnumKey(key, 0, &any) != reg::kSuccess;
    reg::CloseKey(key);
    if (empty) return DeleteKeyTree(lib);
  }
  return S_OK;
}

HRESULT LoadRegTypeLib(const Guid& libid, uint16_t major, uint16_t minor, uint32_t /*lcid*/,
                       const TypeLibDesc** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::string path;
  if (!com::ReadClassesRootDefault("TypeLib\\" + com::GuidText(libid) + "\\" + Version(major, minor) + "\\0\\win32", &path) ||
      path.empty())
    return TYPE_E_LIBNOTREGISTERED;
  // Loaded once per path and kept, as the platform keeps a library while
  // its type information is in use.
  static std::mutex mu;
  static auto* servers = new std::map<std::string, dynload::Library>;
  dynload::Library server = nullptr;
  {
    std::lock_guard lock(mu);
    auto it = servers->find(path);
    if (it != servers->end()) {
      server = it->second;
    } else {
      server = dynload::Load(path.c_str());
      if (!server) return TYPE_E_CANTLOADLIBRARY;
      (*servers)[path] = server;
    }
  }
  auto* resource = static_cast<const TypeLibDesc* const*>(dynload::Symbol(server, kTypeLibResource));
  if (!resource || !*resource || (*resource)->libid != libid) return TYPE_E_CANTLOADLIBRARY;
  *out = *resource;
  return S_OK;
}

}  // namespace ax

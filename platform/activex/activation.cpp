#include "platform/activex/activation.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <map>
#include <mutex>
#include <vector>

#include "platform/activex/categories.h"
#include "platform/com/errorinfo.h"
#include "platform/dynload/dynload.h"
#include "platform/registry/registry.h"

namespace ax {
namespace {

std::mutex g_mu;
std::map<std::string, dynload::Library>& Servers() {
  static std::map<std::string, dynload::Library> servers;
  return servers;
}

}  // namespace

HRESULT CLSIDFromProgID(std::string_view progId, CLSID* out) {
  if (!out) return E_POINTER;
  std::string text;
  if (progId.empty() || !com::ReadClassesRootDefault(std::string(progId) + "\\CLSID", &text) || !GuidFromText(text, out))
    return CO_E_CLASSSTRING;
  return S_OK;
}

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::string path;
  if (!com::ReadClassesRootDefault("CLSID\\" + com::GuidText(clsid) + "\\InprocServer32", &path) || path.empty())
    return REGDB_E_CLASSNOTREG;
  dynload::Library lib = nullptr;
  {
    std::lock_guard lock(g_mu);
    auto it = Servers().find(path);
    if (it != Servers().end()) {
      lib = it->second;
    } else {
      lib = dynload::Load(path.c_str());
      if (!lib) return CO_E_DLLNOTFOUND;
      Servers()[path] = lib;
    }
  }
  auto get = reinterpret_cast<DllGetClassObjectFn>(dynload::Symbol(lib, "DllGetClassObject"));
  if (!get) return CO_E_ERRORINDLL;
  return get(clsid, iid, out);
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid == CLSID_StdComponentCategoriesMgr) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return CreateStdComponentCategoriesMgr(iid, out);
  }
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (Failed(hr)) return hr;
  hr = factory->CreateInstance(outer, iid, out);
  factory->Release();
  return hr;
}

void CoFreeUnusedLibraries() {
  std::lock_guard lock(g_mu);
  for (auto it = Servers().begin(); it != Servers().end();) {
    auto can = reinterpret_cast<DllCanUnloadNowFn>(dynload::Symbol(it->second, "DllCanUnloadNow"));
    if (can && can() == S_OK) {
      dynload::Free(it->second);
      it = Servers().erase(it);
    } else {
      ++it;
    }
  }
}

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || !info.dli_fname) return {};
  char full[PATH_MAX];
  return realpath(info.dli_fname, full) ? std::string(full) : std::string(info.dli_fname);
}

}  // namespace ax

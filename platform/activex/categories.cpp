#include "platform/activex/categories.h"

#include <cstdio>

#include "platform/activex/module.h"
#include "platform/activex/regscript.h"
#include "platform/activex/variant.h"
#include "platform/registry/registry.h"

namespace ax {
namespace {

const char kCategories[] = "Component Categories\\";

std::string ImplPath(const CLSID& clsid) { return "CLSID\\" + com::GuidText(clsid) + "\\Implemented Categories"; }

bool HasSubkeys(const std::string& path) {
  reg::Key key = 0;
  if (reg::OpenKey(reg::Hive::ClassesRoot, path, &key) != reg::kSuccess) return false;
  std::string name;
  bool any = reg::EnumKey(key, 0, &name) == reg::kSuccess;
  reg::CloseKey(key);
  return any;
}

class CategoriesMgr final : public ICatRegister, public RefCounted {
 public:
  CategoriesMgr() : RefCounted(nullptr) {}
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ICatRegister) {
      *out = static_cast<ICatRegister*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT RegisterCategories(uint32_t count, const CATEGORYINFO* infos) override {
    if (count && !infos) return E_POINTER;
    for (uint32_t i = 0; i < count; ++i) {
      reg::Key key = 0;
      reg::Status st = reg::CreateKey(reg::Hive::ClassesRoot, kCategories + com::GuidText(infos[i].catid), &key);
      if (st != reg::kSuccess) return HrFromStatus(st);
      char locale[16];
      std::snprintf(locale, sizeof locale, "%x", infos[i].lcid);
      // The description is read up to its terminator or the buffer's end.
      std::u16string_view text(infos[i].szDescription);
      if (text.size() > 127) text = text.substr(0, 127);
      st = reg::SetString(key, locale, Narrow(text));
      reg::CloseKey(key);
      if (st != reg::kSuccess) return HrFromStatus(st);
    }
    return S_OK;
  }
  HRESULT UnRegisterCategories(uint32_t count, const Guid* catids) override {
    if (count && !catids) return E_POINTER;
    for (uint32_t i = 0; i < count; ++i) {
      HRESULT hr = DeleteKeyTree(kCategories + com::GuidText(catids[i]));
      if (Failed(hr)) return hr;
    }
    return S_OK;
  }
  HRESULT RegisterClassImplCategories(const CLSID& clsid, uint32_t count, const Guid* catids) override {
    if (count && !catids) return E_POINTER;
    for (uint32_t i = 0; i < count; ++i) {
      reg::Key key = 0;
      reg::Status st = reg::CreateKey(reg::Hive::ClassesRoot, ImplPath(clsid) + "\\" + com::GuidText(catids[i]), &key);
      if (st != reg::kSuccess) return HrFromStatus(st);
      reg::CloseKey(key);
    }
    return S_OK;
  }
  HRESULT UnRegisterClassImplCategories(const CLSID& clsid, uint32_t count, const Guid* catids) override {
    if (count && !catids) return E_POINTER;
    for (uint32_t i = 0; i < count; ++i) {
      HRESULT hr = DeleteKeyTree(ImplPath(clsid) + "\\" + com::GuidText(catids[i]));
      if (Failed(hr)) return hr;
    }
    // The platform drops the list key with its last category.
    if (!HasSubkeys(ImplPath(clsid))) return DeleteKeyTree(ImplPath(clsid));
    return S_OK;
  }
};

}  // namespace

HRESULT CreateStdComponentCategoriesMgr(const IID& iid, void** out) {
  auto* mgr = new CategoriesMgr;
  mgr->AddRef();
  HRESULT hr = mgr->QueryInterface(iid, out);
  mgr->Release();
  return hr;
}

}  // namespace ax

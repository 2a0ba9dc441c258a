#include "platform/activex/module.h"

namespace ax {
namespace {

class ClassFactory final : public IClassFactory, public RefCounted {
 public:
  ClassFactory(Module* module, CreateFn create) : RefCounted(nullptr), module_(module), create_(create) {}

  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(iid, out);
  }
  HRESULT LockServer(bool lock) override {
    lock ? module_->Lock() : module_->Unlock();
    return S_OK;
  }

 private:
  Module* module_;
  CreateFn create_;
};

}  // namespace

HRESULT Module::GetClassObject(const CLSID& clsid, const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const ClassEntry& entry : classes_) {
    if (entry.clsid != clsid) continue;
    auto* factory = new ClassFactory(this, entry.create);
    factory->AddRef();
    HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

ULONG RefCounted::ReleaseImpl() {
  ULONG n = --m_cRef;
  if (n == 0) delete this;
  return n;
}

}  // namespace ax

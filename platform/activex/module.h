#pragma once
// An in-process COM server: its class table, class factories and the counts
// that tell whether it may be unloaded.

#include <atomic>
#include <span>

#include "platform/activex/com.h"

namespace ax {

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) = 0;
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// Creates a new object of one class and asks it for `iid`.
using CreateFn = HRESULT (*)(const IID& iid, void** out);

struct ClassEntry {
  CLSID clsid;
  CreateFn create;
};

class Module {
 public:
  // Set up at load (the platform's process attach) with the class table,
  // which must outlive the module.
  void Init(std::span<const ClassEntry> classes) { classes_ = classes; }
  void Term() { classes_ = {}; }

  // Live objects and server locks; every object of the module counts itself.
  void ObjectCreated() { ++objects_; }
  void ObjectDestroyed() { --objects_; }
  void Lock() { ++locks_; }
  void Unlock() { --locks_; }
  long Objects() const { return objects_; }

  // S_OK when no object and no lock is alive, else S_FALSE.
  HRESULT CanUnloadNow() const { return objects_ == 0 && locks_ == 0 ? S_OK : S_FALSE; }
  // The class factory of `clsid`; CLASS_E_CLASSNOTAVAILABLE for a class not
  // in the table.
  HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** out);

 private:
  std::span<const ClassEntry> classes_;
  std::atomic<long> objects_{0};
  std::atomic<long> locks_{0};
};

// The base of an object's reference count, tied to its module's count.
class RefCounted {
 public:
  explicit RefCounted(Module* module) : module_(module) {
    if (module_) module_->ObjectCreated();
  }
  virtual ~RefCounted() {
    if (module_) module_->ObjectDestroyed();
  }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 protected:
  ULONG AddRefImpl() { return ++m_cRef; }
  // Out of line: inlined into a class with several bases, g++ 12 at -O2
  // mistakes the deleting destructor's base adjustment for a bad free.
  ULONG ReleaseImpl();
  std::atomic<ULONG> m_cRef{0};

 private:
  Module* module_;
};

}  // namespace ax

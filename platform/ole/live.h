#pragma once
// Counting of live stand-in objects (see LiveObjectCount); not for system code.

#include "platform/ole/com.h"

namespace ole::detail {

void CountLive(int delta);

// QueryInterface of an object with one interface (besides IUnknown).
template <class Interface>
HRESULT QueryOne(Interface* self, REFIID riid, const IID& own, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == own) {
    *out = self;
    self->AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

// Base of the stand-in's objects: counts itself and carries the reference
// count; the object deletes itself when the count reaches 0.
template <class Self>
class Counted {
 public:
  Counted() { CountLive(1); }
  virtual ~Counted() { CountLive(-1); }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;

 protected:
  unsigned long AddRefImpl() { return ++refs_; }
  unsigned long ReleaseImpl() {
    unsigned long n = --refs_;
    if (n == 0) delete this;
    return n;
  }

 private:
  unsigned long refs_ = 1;
};

}  // namespace ole::detail

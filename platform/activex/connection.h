#pragma once
// Connection points: how a control sends events to the sinks its container
// connects, and how it tells property changes.

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include "platform/activex/dispatch.h"

namespace ax {

class IConnectionPoint : public IUnknown {
 public:
  virtual HRESULT GetConnectionInterface(IID* out) = 0;
  // Connects `sink` (it must answer the connection's interface or IDispatch);
  // *cookie names the connection for Unadvise. Cookies start at 1.
  virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(uint32_t cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
 public:
  virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

class IPropertyNotifySink : public IUnknown {
 public:
  virtual HRESULT OnChanged(DISPID dispid) = 0;
  virtual HRESULT OnRequestEdit(DISPID dispid) = 0;

 protected:
  ~IPropertyNotifySink() = default;
};

// One connection point of an object, living inside it: its reference count
// is the owner's.
class ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(IUnknown* owner, const IID& iid) : owner_(owner), iid_(iid) {}
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT QueryInterface(const IID& iid, void** out) override;
  ULONG AddRef() override { return owner_->AddRef(); }
  ULONG Release() override { return owner_->Release(); }
  HRESULT GetConnectionInterface(IID* out) override;
  HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;

  // Calls method `dispid` on every connected dispatch sink, with the
  // connection list locked while the event is sent.
  void FireDispatch(DISPID dispid, std::span<const Variant> args);
  // Tells every connected property sink that `dispid` changed.
  void FireChanged(DISPID dispid);
  size_t Count();
  // The connected sinks, each with a reference the caller releases.
  std::vector<IUnknown*> Sinks();

 private:
  IUnknown* owner_;
  IID iid_;
  std::recursive_mutex mu_;
  uint32_t nextCookie_ = 1;
  std::map<uint32_t, IUnknown*> sinks_;  // each holds a reference
};

}  // namespace ax

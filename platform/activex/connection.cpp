#include "platform/activex/connection.h"

namespace ax {

ConnectionPoint::~ConnectionPoint() {
  for (auto& [cookie, sink] : sinks_) sink->Release();
}

HRESULT ConnectionPoint::QueryInterface(const IID& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* out) {
  if (!out) return E_POINTER;
  *out = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
  if (!sink || !cookie) return E_POINTER;
  // Keep the sink's answer for the connection's interface (or IDispatch for
  // an event interface); a sink that gives neither cannot be connected.
  IUnknown* itf = nullptr;
  if (Failed(sink->QueryInterface(iid_, reinterpret_cast<void**>(&itf))) &&
      (iid_ == IID_IPropertyNotifySink || Failed(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&itf)))))
    return CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(mu_);
  *cookie = nextCookie_++;
  sinks_[*cookie] = itf;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
  IUnknown* sink = nullptr;
  {
    std::lock_guard lock(mu_);
    auto it = sinks_.find(cookie);
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sink = it->second;
    sinks_.erase(it);
  }
  sink->Release();
  return S_OK;
}

void ConnectionPoint::FireDispatch(DISPID dispid, std::span<const Variant> args) {
  std::lock_guard lock(mu_);
  // A copy per sink: a handler may change by-reference arguments.
  std::vector<IUnknown*> sinks;
  for (auto& [cookie, sink] : sinks_) {
    sink->AddRef();
    sinks.push_back(sink);
  }
  for (IUnknown* sink : sinks) {
    std::vector<Variant> copy(args.begin(), args.end());
    Variant result;
    static_cast<IDispatch*>(sink)->Invoke(dispid, DISPATCH_METHOD, copy, &result);
    sink->Release();
  }
}

void ConnectionPoint::FireChanged(DISPID dispid) {
  std::lock_guard lock(mu_);
  std::vector<IUnknown*> sinks;
  for (auto& [cookie, sink] : sinks_) {
    sink->AddRef();
    sinks.push_back(sink);
  }
  for (IUnknown* sink : sinks) {
    static_cast<IPropertyNotifySink*>(sink)->OnChanged(dispid);
    sink->Release();
  }
}

std::vector<IUnknown*> ConnectionPoint::Sinks() {
  std::lock_guard lock(mu_);
  std::vector<IUnknown*> sinks;
  for (auto& [cookie, sink] : sinks_) {
    sink->AddRef();
    sinks.push_back(sink);
  }
  return sinks;
}

size_t ConnectionPoint::Count() {
  std::lock_guard lock(mu_);
  return sinks_.size();
}

}  // namespace ax

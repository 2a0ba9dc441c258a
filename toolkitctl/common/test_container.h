#pragma once
// A container for the controls' tests: a private registry, a site that
// answers the ambient UserMode, event and property-change sinks, and the
// server loading a container does (register, create by program id).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/activex/activation.h"
#include "platform/activex/connection.h"
#include "platform/activex/control.h"
#include "platform/dynload/dynload.h"
#include "platform/registry/registry.h"
#include "tests/support/scratch_dir.h"

namespace toolkitctl::testing {

// A dispatch object with a fixed count (it lives on the test's stack).
class StackDispatch : public ax::IDispatch {
 public:
  ax::HRESULT QueryInterface(const ax::IID& iid, void** out) override {
    if (iid == ax::IID_IUnknown || iid == ax::IID_IDispatch || iid == iid_) {
      *out = static_cast<ax::IDispatch*>(this);
      return ax::S_OK;
    }
    *out = nullptr;
    return ax::E_NOINTERFACE;
  }
  ax::ULONG AddRef() override { return 2; }
  ax::ULONG Release() override { return 1; }
  const ax::InterfaceDesc* GetTypeInfo() override { return nullptr; }

 protected:
  explicit StackDispatch(const ax::IID& iid) : iid_(iid) {}
  ax::IID iid_;
};

// The control's client site; `userMode` false puts the container in design view.
class Site final : public StackDispatch {
 public:
  Site() : StackDispatch(ax::IID_IDispatch) {}
  ax::HRESULT Invoke(ax::DISPID dispid, uint16_t, std::span<ax::Variant>, ax::Variant* result) override {
    if (dispid != ax::DISPID_AMBIENT_USERMODE) return ax::DISP_E_MEMBERNOTFOUND;
    *result = ax::Variant::Bool(userMode);
    return ax::S_OK;
  }
  bool userMode = true;
};

// Records every event: its dispatch id and arguments. `onEvent` runs inside
// the event, as a handler in the container would.
class EventSink final : public StackDispatch {
 public:
  explicit EventSink(const ax::IID& eventIid) : StackDispatch(eventIid) {}
  struct Event {
    ax::DISPID dispid;
    std::vector<ax::Variant> args;
  };
  ax::HRESULT Invoke(ax::DISPID dispid, uint16_t, std::span<ax::Variant> args, ax::Variant*) override {
    events.push_back({dispid, std::vector<ax::Variant>(args.begin(), args.end())});
    if (onEvent) onEvent(events.back());
    return ax::S_OK;
  }
  std::vector<Event> events;
  std::function<void(const Event&)> onEvent;
};

class PropertySink final : public ax::IPropertyNotifySink {
 public:
  ax::HRESULT QueryInterface(const ax::IID& iid, void** out) override {
    if (iid == ax::IID_IUnknown || iid == ax::IID_IPropertyNotifySink) {
      *out = static_cast<ax::IPropertyNotifySink*>(this);
      return ax::S_OK;
    }
    *out = nullptr;
    return ax::E_NOINTERFACE;
  }
  ax::ULONG AddRef() override { return 2; }
  ax::ULONG Release() override { return 1; }
  ax::HRESULT OnChanged(ax::DISPID dispid) override {
    changed.push_back(dispid);
    return ax::S_OK;
  }
  ax::HRESULT OnRequestEdit(ax::DISPID) override { return ax::S_OK; }
  std::vector<ax::DISPID> changed;
};

// Connects `sink` to connection point `iid` of `object`; the cookie, 0 on failure.
inline uint32_t Connect(ax::IUnknown* object, const ax::IID& iid, ax::IUnknown* sink) {
  ax::IConnectionPointContainer* cpc = nullptr;
  if (ax::Failed(object->QueryInterface(ax::IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))))
    return 0;
  ax::IConnectionPoint* cp = nullptr;
  uint32_t cookie = 0;
  if (ax::Succeeded(cpc->FindConnectionPoint(iid, &cp))) {
    if (ax::Failed(cp->Advise(sink, &cookie))) cookie = 0;
    cp->Release();
  }
  cpc->Release();
  return cookie;
}

// A fresh registry directory per test and the server registered in it.
class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("ORN_REGISTRY_DIR", dir_.c_str(), 1);
    com::SetErrorInfo(nullptr);
  }
  void TearDown() override {
    ax::CoFreeUnusedLibraries();
  }

  // Calls the server's export `name` (DllRegisterServer, DllUnregisterServer).
  static ax::HRESULT CallServer(const std::string& path, const char* name) {
    dynload::Library lib = dynload::Load(path.c_str());
    if (!lib) return ax::CO_E_DLLNOTFOUND;
    auto fn = reinterpret_cast<ax::DllRegisterServerFn>(dynload::Symbol(lib, name));
    ax::HRESULT hr = fn ? fn() : ax::CO_E_ERRORINDLL;
    dynload::Free(lib);
    return hr;
  }
  // Creates the class registered for `progId`, asking for `iid`.
  template <class T>
  static ax::HRESULT Create(const std::string& progId, const ax::IID& iid, T** out) {
    ax::CLSID clsid;
    ax::HRESULT hr = ax::CLSIDFromProgID(progId, &clsid);
    if (ax::Failed(hr)) return hr;
    return ax::CoCreateInstance(clsid, nullptr, iid, reinterpret_cast<void**>(out));
  }
  static bool KeyExists(const std::string& path) {
    reg::Key k = 0;
    if (reg::OpenKey(reg::Hive::ClassesRoot, path, &k) != reg::kSuccess) return false;
    reg::CloseKey(k);
    return true;
  }
  // A string value, "<none>" when the key or value is missing.
  static std::string Value(const std::string& path, const std::string& name = "") {
    reg::Key k = 0;
    if (reg::OpenKey(reg::Hive::ClassesRoot, path, &k) != reg::kSuccess) return "<none>";
    std::vector<uint8_t> buf(1024);
    uint32_t size = static_cast<uint32_t>(buf.size());
    reg::ValueType t = reg::kNone;
    std::string out = "<none>";
    if (reg::QueryValue(k, name, &t, buf.data(), &size) == reg::kSuccess)
      out.assign(reinterpret_cast<const char*>(buf.data()), size ? size - 1 : 0);
    reg::CloseKey(k);
    return out;
  }
  // Every key path and value below HKEY_CLASSES_ROOT, for comparing states.
  static std::vector<std::string> Dump(const std::string& path = "") {
    std::vector<std::string> out;
    reg::Key k = 0;
    if (reg::OpenKey(reg::Hive::ClassesRoot, path, &k) != reg::kSuccess) return out;
    out.push_back(path + "=" + Value(path));
    std::vector<std::string> subs;
    std::string name;
    for (uint32_t i = 0; reg::EnumKey(k, i, &name) == reg::kSuccess; ++i) subs.push_back(name);
    for (uint32_t i = 0;; ++i) {
      char vname[256];
      uint32_t vsize = sizeof vname;
      uint8_t data[1024];
      uint32_t dsize = sizeof data;
      reg::ValueType t;
      if (reg::EnumValue(k, i, vname, &vsize, &t, data, &dsize) != reg::kSuccess) break;
      out.push_back(path + "|" + std::string(vname, vsize) + "=" +
                    std::string(reinterpret_cast<char*>(data), dsize ? dsize - 1 : 0));
    }
    reg::CloseKey(k);
    for (const std::string& s : subs) {
      auto more = Dump(path.empty() ? s : path + "\\" + s);
      out.insert(out.end(), more.begin(), more.end());
    }
    return out;
  }

  orn_test::ScratchDir scratch_{"toolkitctl"};
  std::filesystem::path dir_;
};

// Property get / put / method call through IDispatch.
inline ax::HRESULT Get(ax::IDispatch* d, ax::DISPID id, ax::Variant* out, std::vector<ax::Variant> args = {}) {
  return d->Invoke(id, ax::DISPATCH_PROPERTYGET, args, out);
}
inline ax::HRESULT Put(ax::IDispatch* d, ax::DISPID id, ax::Variant v) {
  ax::Variant args[1] = {std::move(v)};
  return d->Invoke(id, ax::DISPATCH_PROPERTYPUT, args, nullptr);
}
inline ax::HRESULT PutRef(ax::IDispatch* d, ax::DISPID id, ax::Variant v) {
  ax::Variant args[1] = {std::move(v)};
  return d->Invoke(id, ax::DISPATCH_PROPERTYPUTREF, args, nullptr);
}
inline ax::HRESULT Call(ax::IDispatch* d, ax::DISPID id, std::vector<ax::Variant> args, ax::Variant* out = nullptr) {
  return d->Invoke(id, ax::DISPATCH_METHOD, args, out);
}
inline ax::IOleObject* SiteControl(ax::IDispatch* control, ax::IUnknown* site) {
  ax::IOleObject* ole = nullptr;
  if (ax::Succeeded(control->QueryInterface(ax::IID_IOleObject, reinterpret_cast<void**>(&ole)))) {
    ole->SetClientSite(site);
    ole->Release();
  }
  return ole;
}
inline std::string LastErrorText() {
  auto info = com::GetErrorInfo();
  return info ? ax::Narrow(info->description) : "<none>";
}

}  // namespace toolkitctl::testing

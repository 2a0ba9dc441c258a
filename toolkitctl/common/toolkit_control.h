#pragma once
// The control framework both toolkit controls stand on: one object that
// answers the dispatch, siting, rich-error, connection-point, persistence,
// property-browsing and drawing interfaces, with the toolkit error scheme
// bound to the control's identity.

#include <span>
#include <string>
#include <vector>

#include "platform/activex/connection.h"
#include "platform/activex/control.h"
#include "platform/activex/module.h"
#include "toolkitctl/common/toolkit_error.h"

namespace toolkitctl {

struct ControlIdentity {
  ax::CLSID clsid;
  ax::IID dispatchIid;
  ax::IID eventIid;
  const ax::InterfaceDesc* typeInfo;
};

class ToolkitControl : public ax::IDispatch,
                       public ax::IOleObject,
                       public ax::ISupportErrorInfo,
                       public ax::IConnectionPointContainer,
                       public ax::IPersistPropertyBag,
                       public ax::IPerPropertyBrowsing,
                       public ax::IViewObject,
                       public ax::RefCounted {
 public:
  ToolkitControl(ax::Module* module, const ControlIdentity& id);
  ~ToolkitControl() override;

  ax::HRESULT QueryInterface(const ax::IID& iid, void** out) override;
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }

  const ax::InterfaceDesc* GetTypeInfo() override { return id_.typeInfo; }

  ax::HRESULT SetClientSite(ax::IUnknown* site) override;
  ax::HRESULT GetClientSite(ax::IUnknown** out) override;

  // S_OK for the control's own dispatch interface, S_FALSE for any other.
  ax::HRESULT InterfaceSupportsErrorInfo(const ax::IID& iid) override;

  ax::HRESULT FindConnectionPoint(const ax::IID& iid, ax::IConnectionPoint** out) override;

  ax::HRESULT InitNew() override { return ax::S_OK; }
  ax::HRESULT Load(ax::IPropertyBag* bag) override;
  ax::HRESULT Save(ax::IPropertyBag* bag, bool clearDirty) override;
  ax::HRESULT IsDirty() override { return dirty_ ? ax::S_OK : ax::S_FALSE; }

  ax::HRESULT GetPredefinedStrings(ax::DISPID dispid, std::vector<std::u16string>* texts,
                                   std::vector<uint32_t>* cookies) override;
  ax::HRESULT GetPredefinedValue(ax::DISPID dispid, uint32_t cookie, ax::Variant* value) override;
  ax::HRESULT MapPropertyToPage(ax::DISPID dispid, ax::CLSID* page) override;

 protected:
  // A property the container persists: its bag name, dispatch id and a
  // pointer to the member holding it (16-bit; Booleans as -1/0).
  struct PersistedProperty {
    const char* name;
    ax::DISPID dispid;
    int16_t* value;
  };
  virtual std::vector<PersistedProperty> PersistedProperties() = 0;
  // Predefined values for the grid: (text, value) pairs.
  struct Choice {
    std::u16string text;
    int16_t value;
  };
  virtual std::vector<Choice> Choices(ax::DISPID dispid) = 0;
  // Dispatch ids edited in the container's grid (no property page).
  virtual std::span<const ax::DISPID> GridOnlyProperties() = 0;

  bool IsDesignMode() { return toolkitctl::IsDesignMode(site_); }
  // S_OK in run mode; in design mode the refusal's HRESULT.
  ax::HRESULT DesignModeGuard(bool put);
  ax::HRESULT Report(int32_t result, int16_t* code = nullptr, bool force = false) {
    return reporter_.Report(result, code, force, enableMethodErrors_ != 0);
  }
  // Marks the persistent state changed and tells the property sinks.
  void PropertyChanged(ax::DISPID dispid);
  void FireEvent(ax::DISPID dispid, std::span<const ax::Variant> args) { events_.FireDispatch(dispid, args); }

  // The EnableMethodErrors get and put (-1/0).
  ax::HRESULT EnableMethodErrorsMember(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args,
                                       ax::Variant* result);

  int16_t enableMethodErrors_ = ax::VARIANT_TRUE;
  ToolkitErrorReporter reporter_;

 private:
  ControlIdentity id_;
  ax::IUnknown* site_ = nullptr;
  bool dirty_ = false;
  ax::ConnectionPoint events_;
  ax::ConnectionPoint propertyNotify_;
};

// Argument helpers of Invoke: the put value (last argument), numbers and
// strings; DISP_E_TYPEMISMATCH / DISP_E_BADPARAMCOUNT when they do not fit.
ax::HRESULT PutValue(std::span<ax::Variant> args, const ax::Variant** value);
ax::HRESULT IntArg(std::span<ax::Variant> args, size_t index, int64_t* out);

}  // namespace toolkitctl

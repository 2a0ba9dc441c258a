#include "toolkitctl/common/toolkit_control.h"

#include <algorithm>

namespace toolkitctl {

ToolkitControl::ToolkitControl(ax::Module* module, const ControlIdentity& id)
    : RefCounted(module),
      reporter_(id.clsid, id.dispatchIid),
      id_(id),
      events_(static_cast<ax::IDispatch*>(this), id.eventIid),
      propertyNotify_(static_cast<ax::IDispatch*>(this), ax::IID_IPropertyNotifySink) {}

ToolkitControl::~ToolkitControl() { ax::SafeRelease(site_); }

ax::HRESULT ToolkitControl::QueryInterface(const ax::IID& iid, void** out) {
  if (!out) return ax::E_POINTER;
  void* p = nullptr;
  if (iid == ax::IID_IUnknown || iid == ax::IID_IDispatch || iid == id_.dispatchIid)
    p = static_cast<ax::IDispatch*>(this);
  else if (iid == ax::IID_IOleObject) p = static_cast<ax::IOleObject*>(this);
  else if (iid == ax::IID_ISupportErrorInfo) p = static_cast<ax::ISupportErrorInfo*>(this);
  else if (iid == ax::IID_IConnectionPointContainer) p = static_cast<ax::IConnectionPointContainer*>(this);
  else if (iid == ax::IID_IPersistPropertyBag) p = static_cast<ax::IPersistPropertyBag*>(this);
  else if (iid == ax::IID_IPerPropertyBrowsing) p = static_cast<ax::IPerPropertyBrowsing*>(this);
  else if (iid == ax::IID_IViewObject) p = static_cast<ax::IViewObject*>(this);
  *out = p;
  if (!p) return ax::E_NOINTERFACE;
  AddRef();
  return ax::S_OK;
}

ax::HRESULT ToolkitControl::SetClientSite(ax::IUnknown* site) {
  if (site) site->AddRef();
  ax::SafeRelease(site_);
  site_ = site;
  return ax::S_OK;
}

ax::HRESULT ToolkitControl::GetClientSite(ax::IUnknown** out) {
  if (!out) return ax::E_POINTER;
  *out = site_;
  if (site_) site_->AddRef();
  return ax::S_OK;
}

ax::HRESULT ToolkitControl::InterfaceSupportsErrorInfo(const ax::IID& iid) {
  return iid == id_.dispatchIid ? ax::S_OK : ax::S_FALSE;
}

ax::HRESULT ToolkitControl::FindConnectionPoint(const ax::IID& iid, ax::IConnectionPoint** out) {
  if (!out) return ax::E_POINTER;
  *out = nullptr;
  ax::ConnectionPoint* cp = iid == id_.eventIid                 ? &events_
                            : iid == ax::IID_IPropertyNotifySink ? &propertyNotify_
                                                                 : nullptr;
  if (!cp) return ax::CONNECT_E_NOCONNECTION;
  cp->AddRef();
  *out = cp;
  return ax::S_OK;
}

ax::HRESULT ToolkitControl::Load(ax::IPropertyBag* bag) {
  if (!bag) return ax::E_POINTER;
  for (const PersistedProperty& p : PersistedProperties()) {
    ax::Variant v;
    // A property missing from the bag keeps its default.
    if (ax::Succeeded(bag->Read(p.name, &v)) && v.IsNumeric()) *p.value = static_cast<int16_t>(v.AsInt());
  }
  dirty_ = false;
  return ax::S_OK;
}

ax::HRESULT ToolkitControl::Save(ax::IPropertyBag* bag, bool clearDirty) {
  if (!bag) return ax::E_POINTER;
  for (const PersistedProperty& p : PersistedProperties()) {
    ax::HRESULT hr = bag->Write(p.name, ax::Variant::I2(*p.value));
    if (ax::Failed(hr)) return hr;
  }
  if (clearDirty) dirty_ = false;
  return ax::S_OK;
}

ax::HRESULT ToolkitControl::GetPredefinedStrings(ax::DISPID dispid, std::vector<std::u16string>* texts,
                                                 std::vector<uint32_t>* cookies) {
  if (!texts || !cookies) return ax::E_POINTER;
  texts->clear();
  cookies->clear();
  std::vector<Choice> choices = Choices(dispid);
  if (choices.empty()) return ax::E_NOTIMPL;
  for (size_t i = 0; i < choices.size(); ++i) {
    texts->push_back(choices[i].text);
    cookies->push_back(static_cast<uint32_t>(i));
  }
  return ax::S_OK;
}

ax::HRESULT ToolkitControl::GetPredefinedValue(ax::DISPID dispid, uint32_t cookie, ax::Variant* value) {
  if (!value) return ax::E_POINTER;
  std::vector<Choice> choices = Choices(dispid);
  if (cookie >= choices.size()) return ax::E_INVALIDARG;
  *value = ax::Variant::I2(choices[cookie].value);
  return ax::S_OK;
}

ax::HRESULT ToolkitControl::MapPropertyToPage(ax::DISPID dispid, ax::CLSID* page) {
  if (!page) return ax::E_POINTER;
  *page = com::kGuidNull;
  auto grid = GridOnlyProperties();
  if (std::find(grid.begin(), grid.end(), dispid) != grid.end()) return ax::PERPROP_E_NOPAGEAVAILABLE;
  return ax::E_NOTIMPL;
}

ax::HRESULT ToolkitControl::DesignModeGuard(bool put) {
  return IsDesignMode() ? reporter_.DesignModeRefusal(put) : ax::S_OK;
}

void ToolkitControl::PropertyChanged(ax::DISPID dispid) {
  dirty_ = true;
  propertyNotify_.FireChanged(dispid);
}

ax::HRESULT ToolkitControl::EnableMethodErrorsMember(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args,
                                                     ax::Variant* result) {
  if (flags & ax::DISPATCH_PROPERTYGET) {
    if (result) *result = ax::Variant::Bool(enableMethodErrors_ != 0);
    return ax::S_OK;
  }
  const ax::Variant* v = nullptr;
  ax::HRESULT hr = PutValue(args, &v);
  if (ax::Failed(hr)) return hr;
  enableMethodErrors_ = v->AsInt() != 0 ? ax::VARIANT_TRUE : ax::VARIANT_FALSE;
  PropertyChanged(dispid);
  return ax::S_OK;
}

ax::HRESULT PutValue(std::span<ax::Variant> args, const ax::Variant** value) {
  if (args.empty()) return ax::DISP_E_BADPARAMCOUNT;
  *value = &args.back();
  return ax::S_OK;
}

ax::HRESULT IntArg(std::span<ax::Variant> args, size_t index, int64_t* out) {
  if (index >= args.size()) return ax::DISP_E_BADPARAMCOUNT;
  if (!args[index].IsNumeric()) return ax::DISP_E_TYPEMISMATCH;
  *out = args[index].AsInt();
  return ax::S_OK;
}

}  // namespace toolkitctl

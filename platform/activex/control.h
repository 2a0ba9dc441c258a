#pragma once
// The ActiveX control side of the stand-in: the client site that gives a
// control its ambient properties, rich error support, property persistence,
// property browsing and drawing in the container's design view.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/activex/dispatch.h"

namespace ax {

// The part of IOleObject a container uses to site a control. The site
// answers ambient properties through IDispatch (see GetAmbientProperty).
class IOleObject : public IUnknown {
 public:
  virtual HRESULT SetClientSite(IUnknown* site) = 0;  // null: unsite
  virtual HRESULT GetClientSite(IUnknown** out) = 0;

 protected:
  ~IOleObject() = default;
};

class ISupportErrorInfo : public IUnknown {
 public:
  virtual HRESULT InterfaceSupportsErrorInfo(const IID& iid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

// A container's property bag: named values.
class IPropertyBag {
 public:
  virtual HRESULT Read(const std::string& name, Variant* value) = 0;
  virtual HRESULT Write(const std::string& name, const Variant& value) = 0;

 protected:
  ~IPropertyBag() = default;
};

// A property bag in memory, for containers and tests.
class MemoryPropertyBag final : public IPropertyBag {
 public:
  HRESULT Read(const std::string& name, Variant* value) override;
  HRESULT Write(const std::string& name, const Variant& value) override;
  std::map<std::string, Variant> values;
};

class IPersistPropertyBag : public IUnknown {
 public:
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag) = 0;
  virtual HRESULT Save(IPropertyBag* bag, bool clearDirty) = 0;
  // S_OK when the persistent state changed since the last save, else S_FALSE.
  virtual HRESULT IsDirty() = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

class IPerPropertyBrowsing : public IUnknown {
 public:
  // The values offered for `dispid` in the property grid: display texts with
  // their cookies.
  virtual HRESULT GetPredefinedStrings(DISPID dispid, std::vector<std::u16string>* texts,
                                       std::vector<uint32_t>* cookies) = 0;
  virtual HRESULT GetPredefinedValue(DISPID dispid, uint32_t cookie, Variant* value) = 0;
  // PERPROP_E_NOPAGEAVAILABLE when the property is edited in the grid.
  virtual HRESULT MapPropertyToPage(DISPID dispid, CLSID* page) = 0;

 protected:
  ~IPerPropertyBrowsing() = default;
};

// What a control draws into the container's design view, recorded: one line
// per operation ("pen black", "brush null", "rectangle 0 0 100 20",
// "icon 101 0 0").
struct DrawContext {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // the control's bounds
  std::vector<std::string> ops;
};

class IViewObject : public IUnknown {
 public:
  virtual HRESULT Draw(DrawContext* dc) = 0;

 protected:
  ~IViewObject() = default;
};

// Sets the calling thread's rich error information (source class id given
// as the program id the registry holds for it, or the class id's text).
void SetRichError(const CLSID& source, const IID& iid, const std::string& description);

}  // namespace ax

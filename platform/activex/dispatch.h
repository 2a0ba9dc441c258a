#pragma once
// Automation: IDispatch, the type-library description that names its
// members, and the ids of the stock and ambient properties.
//
// Arguments come in their natural order (the platform passes them reversed);
// for a property put the new value is the last argument.

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/activex/variant.h"

namespace ax {

enum InvokeFlags : uint16_t {
  DISPATCH_METHOD = 1,
  DISPATCH_PROPERTYGET = 2,
  DISPATCH_PROPERTYPUT = 4,
  DISPATCH_PROPERTYPUTREF = 8,
};

inline constexpr DISPID DISPID_AMBIENT_USERMODE = -709;
inline constexpr DISPID DISPID_UNKNOWN = -1;

// One member of a dispatch interface as its type library lists it.
struct MemberDesc {
  std::string_view name;
  DISPID dispid;
  uint16_t flags;  // InvokeFlags the member answers
  bool hidden = false;
};

struct InterfaceDesc {
  std::string_view name;
  IID iid;
  std::span<const MemberDesc> members;
};

struct CoClassDesc {
  std::string_view name;
  CLSID clsid;
  IID defaultInterface;
  IID eventInterface;  // kGuidNull: none
};

// An enumeration of a type library (a typedef enum) and its named values.
struct EnumValueDesc {
  std::string_view name;
  int32_t value;
};

struct EnumDesc {
  std::string_view name;
  std::span<const EnumValueDesc> values;
};

// What a type library describes: registered by RegisterTypeLib and loaded
// by LoadRegTypeLib (typelib.h), read by GetIDsOfNames.
struct TypeLibDesc {
  std::string_view name;
  Guid libid;
  uint16_t major, minor;
  std::span<const InterfaceDesc> interfaces;
  std::span<const CoClassDesc> coclasses;
  std::span<const EnumDesc> enums = {};
};

class IDispatch : public IUnknown {
 public:
  // The description of the object's default interface; null when it has none.
  virtual const InterfaceDesc* GetTypeInfo() = 0;
  // The dispatch id of member `name` (compared without regard to case).
  virtual HRESULT GetIDsOfNames(std::u16string_view name, DISPID* out);
  virtual HRESULT Invoke(DISPID dispid, uint16_t flags, std::span<Variant> args, Variant* result) = 0;

 protected:
  ~IDispatch() = default;
};

inline Variant Variant::Dispatch(IDispatch* p) { return Iface(VarType::Dispatch, p); }

// Reads an ambient property from a container site (an object answering
// IDispatch); false when the site is null or does not answer.
bool GetAmbientProperty(IUnknown* site, DISPID dispid, Variant* out);

}  // namespace ax

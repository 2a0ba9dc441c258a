#pragma once
// The COM basics every stand-in shares: result type and codes, ids and
// IUnknown. The facility headers (OLE, ActiveX) bring these names into their
// own namespaces and add the codes and ids only they use.
//
// Interfaces are abstract classes whose operations are in the platform's slot
// order; objects delete themselves when their count reaches 0, so interface
// destructors are protected and not virtual. Layout and calling convention
// follow the Linux ABI.

#include <cstdint>

namespace com {

using HRESULT = int32_t;
using ULONG = uint32_t;

constexpr HRESULT Hr(uint32_t v) { return static_cast<HRESULT>(v); }
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0, data3 = 0;
  uint8_t data4[8] = {};

  bool operator==(const Guid&) const = default;
};
using IID = Guid;
using CLSID = Guid;

inline constexpr Guid kGuidNull{};
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

}  // namespace com

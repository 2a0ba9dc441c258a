#pragma once
// Component categories: the standard categories manager (built into the
// activation stand-in) and its registration interface.
//
// Categories live below HKEY_CLASSES_ROOT "Component Categories\{catid}"
// with one value per locale (hex, "409"); a class's categories below
// "CLSID\{clsid}\Implemented Categories\{catid}".

#include <cstdint>

#include "platform/activex/com.h"

namespace ax {

inline constexpr CLSID CLSID_StdComponentCategoriesMgr{0x0002E005, 0x0000, 0x0000,
                                                       {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ICatRegister{0x0002E012, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct CATEGORYINFO {
  Guid catid;
  uint32_t lcid = 0;
  char16_t szDescription[128] = {};  // terminated
};

class ICatRegister : public IUnknown {
 public:
  virtual HRESULT RegisterCategories(uint32_t count, const CATEGORYINFO* infos) = 0;
  virtual HRESULT UnRegisterCategories(uint32_t count, const Guid* catids) = 0;
  virtual HRESULT RegisterClassImplCategories(const CLSID& clsid, uint32_t count, const Guid* catids) = 0;
  virtual HRESULT UnRegisterClassImplCategories(const CLSID& clsid, uint32_t count, const Guid* catids) = 0;

 protected:
  ~ICatRegister() = default;
};

// Creates the manager (what CoCreateInstance does for its class id).
HRESULT CreateStdComponentCategoriesMgr(const IID& iid, void** out);

}  // namespace ax

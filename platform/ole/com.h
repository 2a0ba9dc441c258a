#pragma once
// COM basics: result codes, interface ids, IUnknown, COM initialisation and
// global memory.
//
// Interfaces are abstract classes whose operations are in the platform's slot
// order; objects delete themselves when their count reaches 0, so interface
// destructors are protected and not virtual. Calling convention and layout
// follow the Linux ABI.

#include <cstdint>
#include <cstring>

namespace ole {

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using WORD = uint16_t;

constexpr HRESULT MakeHr(uint32_t v) { return static_cast<HRESULT>(v); }
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHr(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHr(0x80004003);
inline constexpr HRESULT E_FAIL = MakeHr(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHr(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHr(0x800401F0);
inline constexpr HRESULT CO_E_RELEASED = MakeHr(0x800401FF);
inline constexpr HRESULT DV_E_FORMATETC = MakeHr(0x80040064);
inline constexpr HRESULT OLE_E_NOTRUNNING = MakeHr(0x80040005);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};
  bool operator==(const GUID& o) const {
    return Data1 == o.Data1 && Data2 == o.Data2 && Data3 == o.Data3 && std::memcmp(Data4, o.Data4, 8) == 0;
  }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};
// The platform's ids of the interfaces the stand-ins implement.
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStorage{0x0000000B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ILockBytes{0x0000000A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleObject{0x00000112, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDataObject{0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID riid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// Initialises COM for the thread: S_OK the first time, S_FALSE when it is
// already initialised; every successful call needs one CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
bool IsComInitializedForTest();
// Test hook: the next CoInitialize fails with `hr` (S_OK = off).
void FailCoInitializeForTest(HRESULT hr);

// ---- global memory: numbered blocks of bytes that can grow.
struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;
inline constexpr uint32_t GMEM_FIXED = 0;
inline constexpr uint32_t GMEM_MOVEABLE = 2;
inline constexpr uint32_t GMEM_ZEROINIT = 0x40;
HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, uint32_t flags);
// Null when `mem` was freed; freeing a freed block returns it again.
HGLOBAL GlobalFree(HGLOBAL mem);
size_t GlobalSize(HGLOBAL mem);  // 0 for a freed or unknown block
void* GlobalLock(HGLOBAL mem);
bool GlobalUnlock(HGLOBAL mem);

// Objects of the stand-ins alive now (lock bytes, storages, streams, data
// objects), for leak checks in tests.
int LiveObjectCount();

}  // namespace ole

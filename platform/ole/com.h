#pragma once
// COM basics of the OLE stand-in: the shared result codes, ids and IUnknown,
// the codes and interface ids only OLE uses, COM initialisation and global
// memory.
//
// Interfaces are abstract classes in the platform's slot order that delete
// themselves when their count reaches 0 (see IUnknown in com_types.h).

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/com/com_types.h"

namespace ole {

using com::HRESULT;
using com::ULONG;
using DWORD = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using WORD = uint16_t;

using com::Failed;
using com::Hr;
using com::Succeeded;
using com::S_OK;
using com::S_FALSE;
using com::E_NOTIMPL;
using com::E_NOINTERFACE;
using com::E_POINTER;
using com::E_FAIL;
using com::E_UNEXPECTED;
using com::E_OUTOFMEMORY;
using com::E_INVALIDARG;
inline constexpr HRESULT CO_E_NOTINITIALIZED = Hr(0x800401F0);
inline constexpr HRESULT CO_E_RELEASED = Hr(0x800401FF);
inline constexpr HRESULT DV_E_FORMATETC = Hr(0x80040064);
inline constexpr HRESULT OLE_E_NOTRUNNING = Hr(0x80040005);


using GUID = com::Guid;
using com::IID;
using com::CLSID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};
// The platform's ids of the interfaces the stand-ins implement.
using com::IID_IUnknown;
inline constexpr IID IID_IStorage{0x0000000B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ILockBytes{0x0000000A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleObject{0x00000112, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDataObject{0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

using com::IUnknown;

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

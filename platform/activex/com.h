#pragma once
// COM basics of the ActiveX stand-in: the shared result codes, ids and
// IUnknown, and the codes and interface ids the controls and their
// containers use.
//
// Interfaces are abstract classes; an object deletes itself when its count
// reaches 0. Layout and calling convention follow the Linux ABI, so only
// code built against these headers can call the objects.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/com_types.h"
#include "platform/com/errorinfo.h"

namespace ax {

using com::HRESULT;
using com::ULONG;
using DISPID = int32_t;
using com::Guid;
using com::CLSID;
using com::IID;

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
inline constexpr HRESULT E_ACCESSDENIED = Hr(0x80070005);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = Hr(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = Hr(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = Hr(0x80040154);
inline constexpr HRESULT CO_E_CLASSSTRING = Hr(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = Hr(0x8004015F);
inline constexpr HRESULT CO_E_ERRORINDLL = Hr(0x800401F9);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = Hr(0x80020003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = Hr(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = Hr(0x80020006);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = Hr(0x8002000E);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = Hr(0x80040200);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = Hr(0x80040202);
inline constexpr HRESULT CONNECT_E_NOCONNECTIONPOINT = Hr(0x80040200);
inline constexpr HRESULT PERPROP_E_NOPAGEAVAILABLE = Hr(0x80040200);
inline constexpr HRESULT TYPE_E_REGISTRYACCESS = Hr(0x8002801C);
inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = Hr(0x8002801D);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = Hr(0x80029C4A);

// A registry status as an HRESULT of the Win32 facility (0 stays S_OK).
constexpr HRESULT HrFromStatus(int32_t status) {
  return status == 0 ? S_OK : Hr(0x80070000u | (static_cast<uint32_t>(status) & 0xFFFF));
}

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces required, any case).
bool GuidFromText(std::string_view text, Guid* out);
// The same text without braces.
std::string GuidTextNoBraces(const Guid& guid);

using com::IUnknown;

// The platform's ids of the interfaces this stand-in knows.
using com::IID_IUnknown;
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleObject{0x00000112, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IConnectionPointContainer{0xB196B284, 0xBAB4, 0x101A,
                                                   {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IConnectionPoint{0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_ISupportErrorInfo{0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_IPropertyNotifySink{0x9BFBBC02, 0xEFF1, 0x101A,
                                             {0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IPerPropertyBrowsing{0x376BD3AA, 0x3845, 0x101B,
                                              {0x84, 0xED, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
inline constexpr IID IID_IPersistPropertyBag{0x37D84F60, 0x42CB, 0x11CE,
                                             {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IPicture{0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
inline constexpr IID IID_IViewObject{0x0000010D, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Releases an interface pointer and clears it.
template <class T>
void SafeRelease(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

}  // namespace ax

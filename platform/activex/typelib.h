#pragma once
// Type libraries. The platform keeps a binary type library in the server's
// resources; here the library is the TypeLibDesc compiled into the server,
// which exports its address as the data symbol "TypeLibResource" (a
// `const TypeLibDesc*`). Registration writes the keys a container reads:
//   TypeLib\{libid}\<major>.<minor>         = library name
//   TypeLib\{libid}\<major>.<minor>\0\win32 = module path (FLAGS "0", HELPDIR)
//   Interface\{iid}                          = interface name, with
//       ProxyStubClsid32 and TypeLib (and its Version)

#include <string>

#include "platform/activex/dispatch.h"

namespace ax {

inline constexpr int32_t SYS_WIN32 = 1;
inline constexpr char kTypeLibResource[] = "TypeLibResource";

HRESULT RegisterTypeLib(const TypeLibDesc& lib, const std::string& modulePath);
// Removes the library's version key (the whole library key when no version
// is left) and the interface keys that name this library.
HRESULT UnRegisterTypeLib(const Guid& libid, uint16_t major, uint16_t minor, uint32_t lcid, int32_t syskind);
// The registered library, as a container's object browser reads it: the
// server named by "TypeLib\{libid}\<major>.<minor>\0\win32" is loaded and
// its type-library resource returned (the server stays loaded, so the
// description outlives the call). TYPE_E_LIBNOTREGISTERED when the version is
// not registered, TYPE_E_CANTLOADLIBRARY when the server cannot be loaded or
// holds no library of that id.
HRESULT LoadRegTypeLib(const Guid& libid, uint16_t major, uint16_t minor, uint32_t lcid, const TypeLibDesc** out);

}  // namespace ax
